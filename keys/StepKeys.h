// Keys for the steps: 0 and 1 (main row or keypad) press the enabled state button that drives
// TMS 0 or 1 with the plain button's TDI; with Shift, the "1" button beside it; R presses
// TEST-LOGIC-RESET. Key codes, not characters, so that every keyboard layout has them.
#pragma once

#include <windows.h>

struct StepKey
{
    enum Kind
    {
        None,
        Tms,    // a step with TMS nTms
        Reset,  // TEST-LOGIC-RESET
    };
    Kind kind = None;
    int nTms = 0;
    bool bOne = false;  // the "1" button beside the plain one
};

// What a key-down message asks for. bShift: whether Shift is held; bNumLock: whether Num Lock
// is on. With Num Lock off the keypad's keys are Insert, End and the arrows, no step keys.
StepKey ReadStepKey(WPARAM nVirtualKey, LPARAM lParam, bool bShift, bool bNumLock);

// Whether the button is one of the "1" buttons (TDI 1 beside a Shift or Exit1 button).
bool IsOneButton(UINT nID);
