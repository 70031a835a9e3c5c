// The TAP state diagram as the main window shows it: each state's buttons, and what each state
// button drives.
#pragma once

#include <windows.h>

#include "../tap/TapStates.h"

struct TapStateRow
{
    int nIndex;
    UINT nPrimary;      // button shown as the current state; 0 leaves the highlight as it was
    UINT nCompanion;    // its "1" button, or 0
    UINT anEnabled[6];  // buttons one clock can reach, with TEST-LOGIC-RESET; 0 ends the list
};

const int TAP_STATE_ROWS = 17;
extern const TapStateRow TAP_STATES[TAP_STATE_ROWS];

// The row of a state index, or null for an index that names no state.
const TapStateRow* FindTapState(int nIndex);

struct StepCommandRow
{
    UINT nID;
    TapStep step;
};

// Every state button but TEST-LOGIC-RESET, which runs the reset sequence instead.
const int STEP_COMMAND_ROWS = 19;
extern const StepCommandRow STEP_COMMANDS[STEP_COMMAND_ROWS];

const StepCommandRow* FindStepCommand(UINT nID);

// Whether the button is one of the "1" buttons (TDI 1 beside a Shift or Exit1 button).
bool IsOneButton(UINT nID);

// The twenty state buttons, TEST-LOGIC-RESET first.
const int STATE_BUTTON_COUNT = 20;
extern const UINT STATE_BUTTONS[STATE_BUTTON_COUNT];
