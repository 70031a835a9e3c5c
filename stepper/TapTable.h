// The TAP state diagram as the main window shows it: state indices, their codes and buttons,
// and what each state button drives.
#pragma once

#include <windows.h>

// -1 until a reset has established the state; 9 to 11 name nothing.
const int STATE_UNKNOWN = -1;
const int STATE_TEST_LOGIC_RESET = 0;
const int STATE_RUN_TEST_IDLE = 1;
const int STATE_CAPTURE_DR = 3;
const int STATE_SHIFT_DR = 4;
const int STATE_EXIT1_DR = 5;
const int STATE_PAUSE_DR = 6;
const int STATE_UPDATE_DR = 8;
const int STATE_CAPTURE_IR = 13;
const int STATE_SHIFT_IR = 14;
const int STATE_EXIT1_IR = 15;
const int STATE_PAUSE_IR = 16;
const int STATE_UPDATE_IR = 18;

struct TapStateRow
{
    int nIndex;
    const char* pszCode;  // always three characters, spelled down the trace's three code rows
    UINT nPrimary;        // button shown as the current state; 0 leaves the highlight as it was
    UINT nCompanion;      // its "1" button, or 0
    UINT anEnabled[6];    // buttons one clock can reach, with TEST-LOGIC-RESET; 0 ends the list
};

const int TAP_STATE_ROWS = 17;
extern const TapStateRow TAP_STATES[TAP_STATE_ROWS];

// The row of a state index, or null for an index that names no state.
const TapStateRow* FindTapState(int nIndex);

// The state one clock with that TMS leads to from nIndex, as the diagram has it; an unknown
// state stays unknown.
int NextTapState(int nIndex, int nTms);

const int KEEP_TDI = -1;

struct StepCommandRow
{
    UINT nID;
    BYTE nTms;
    int nTdi;  // 0, 1, or KEEP_TDI to leave TDI as the previous command set it
    int nNewState;
};

// Every state button but TEST-LOGIC-RESET, which runs the reset sequence instead.
const int STEP_COMMAND_ROWS = 19;
extern const StepCommandRow STEP_COMMANDS[STEP_COMMAND_ROWS];

const StepCommandRow* FindStepCommand(UINT nID);

// The twenty state buttons, TEST-LOGIC-RESET first.
const int STATE_BUTTON_COUNT = 20;
extern const UINT STATE_BUTTONS[STATE_BUTTON_COUNT];
