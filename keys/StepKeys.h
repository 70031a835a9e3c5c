// Keys for the steps: 0 and 1 (main row or keypad) press the enabled state button that drives
// TMS 0 or 1 with the plain button's TDI; with Shift, the "1" button beside it; R presses
// TEST-LOGIC-RESET. Key codes, not characters, so that every keyboard layout has them.
#pragma once

#include <windows.h>

#include "../engine/TapEngine.h"

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

// Key-down messages turned into the button presses they ask for, before any control sees them.
class CStepKeys
{
public:
    // What the keys ask of the window.
    class ITarget
    {
    public:
        virtual ~ITarget() {}
        // The button the key presses now, or 0 where it presses none.
        virtual UINT StepKeyButton(const StepKey& key) = 0;
        // Pressed as a click presses it.
        virtual void Press(UINT nID) = 0;
        // Whether keys typed into this window are text (a value list's edit field).
        virtual bool TakesText(HWND hWnd) = 0;
    };

    // A command of many clocks on the engine takes no key meanwhile.
    CStepKeys(const CTapEngine& tap, ITarget& target) : m_tap(tap), m_target(target) {}
    // True where the message was a step key: taken, whatever it pressed.
    bool PreTranslate(const MSG& msg);

private:
    const CTapEngine& m_tap;
    ITarget& m_target;
};
