#include "TapTable.h"

#include "../res/resource.h"

const TapStateRow TAP_STATES[TAP_STATE_ROWS] = {
    {-1, "***", 0, 0, {IDC_TEST_LOGIC_RESET}},
    {0, "TLR", IDC_TEST_LOGIC_RESET, 0, {IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE}},
    {1, "RTI", IDC_RUN_TEST_IDLE, 0, {IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE, IDC_SELECT_DR}},
    {2, "SDS", IDC_SELECT_DR, 0, {IDC_TEST_LOGIC_RESET, IDC_CAPTURE_DR, IDC_SELECT_IR}},
    {3, "CDR", IDC_CAPTURE_DR, 0,
     {IDC_TEST_LOGIC_RESET, IDC_SHIFT_DR, IDC_SHIFT_DR_1, IDC_EXIT1_DR, IDC_EXIT1_DR_1}},
    {4, "SDR", IDC_SHIFT_DR, IDC_SHIFT_DR_1,
     {IDC_TEST_LOGIC_RESET, IDC_SHIFT_DR, IDC_SHIFT_DR_1, IDC_EXIT1_DR, IDC_EXIT1_DR_1}},
    {5, "E1D", IDC_EXIT1_DR, IDC_EXIT1_DR_1, {IDC_TEST_LOGIC_RESET, IDC_PAUSE_DR, IDC_UPDATE_DR}},
    {6, "PDR", IDC_PAUSE_DR, 0, {IDC_TEST_LOGIC_RESET, IDC_PAUSE_DR, IDC_EXIT2_DR}},
    {7, "E2D", IDC_EXIT2_DR, 0, {IDC_TEST_LOGIC_RESET, IDC_SHIFT_DR, IDC_SHIFT_DR_1, IDC_UPDATE_DR}},
    {8, "UDR", IDC_UPDATE_DR, 0, {IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE, IDC_SELECT_DR}},
    {12, "SIS", IDC_SELECT_IR, 0, {IDC_TEST_LOGIC_RESET, IDC_CAPTURE_IR}},
    {13, "CIR", IDC_CAPTURE_IR, 0,
     {IDC_TEST_LOGIC_RESET, IDC_SHIFT_IR, IDC_SHIFT_IR_1, IDC_EXIT1_IR, IDC_EXIT1_IR_1}},
    {14, "SIR", IDC_SHIFT_IR, IDC_SHIFT_IR_1,
     {IDC_TEST_LOGIC_RESET, IDC_SHIFT_IR, IDC_SHIFT_IR_1, IDC_EXIT1_IR, IDC_EXIT1_IR_1}},
    {15, "E1I", IDC_EXIT1_IR, IDC_EXIT1_IR_1, {IDC_TEST_LOGIC_RESET, IDC_PAUSE_IR, IDC_UPDATE_IR}},
    {16, "RIR", IDC_PAUSE_IR, 0, {IDC_TEST_LOGIC_RESET, IDC_PAUSE_IR, IDC_EXIT2_IR}},
    {17, "E2I", IDC_EXIT2_IR, 0, {IDC_TEST_LOGIC_RESET, IDC_SHIFT_IR, IDC_SHIFT_IR_1, IDC_UPDATE_IR}},
    {18, "UIR", IDC_UPDATE_IR, 0, {IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE, IDC_SELECT_DR}},
};

const StepCommandRow STEP_COMMANDS[STEP_COMMAND_ROWS] = {
    {IDC_RUN_TEST_IDLE, 0, 1, 1},
    {IDC_SELECT_DR, 1, KEEP_TDI, 2},
    {IDC_CAPTURE_DR, 0, KEEP_TDI, 3},
    {IDC_SHIFT_DR, 0, 0, 4},
    {IDC_SHIFT_DR_1, 0, 1, 4},
    {IDC_EXIT1_DR, 1, 0, 5},
    {IDC_EXIT1_DR_1, 1, 1, 5},
    {IDC_PAUSE_DR, 0, 1, 6},
    {IDC_EXIT2_DR, 1, KEEP_TDI, 7},
    {IDC_UPDATE_DR, 1, 1, 8},
    {IDC_SELECT_IR, 1, KEEP_TDI, 12},
    {IDC_CAPTURE_IR, 0, KEEP_TDI, 13},
    {IDC_SHIFT_IR, 0, 0, 14},
    {IDC_SHIFT_IR_1, 0, 1, 14},
    {IDC_EXIT1_IR, 1, 0, 15},
    {IDC_EXIT1_IR_1, 1, 1, 15},
    {IDC_PAUSE_IR, 0, 1, 16},
    {IDC_EXIT2_IR, 1, KEEP_TDI, 17},
    {IDC_UPDATE_IR, 1, 1, 18},
};

const UINT STATE_BUTTONS[STATE_BUTTON_COUNT] = {
    IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE, IDC_SELECT_DR,  IDC_SELECT_IR,  IDC_CAPTURE_DR,
    IDC_SHIFT_DR,         IDC_EXIT1_DR,      IDC_SHIFT_DR_1, IDC_EXIT1_DR_1, IDC_PAUSE_DR,
    IDC_EXIT2_DR,         IDC_UPDATE_DR,     IDC_CAPTURE_IR, IDC_SHIFT_IR,   IDC_EXIT1_IR,
    IDC_SHIFT_IR_1,       IDC_EXIT1_IR_1,    IDC_PAUSE_IR,   IDC_EXIT2_IR,   IDC_UPDATE_IR,
};

const TapStateRow* FindTapState(int nIndex)
{
    for (const TapStateRow& row : TAP_STATES)
    {
        if (row.nIndex == nIndex)
            return &row;
    }
    return nullptr;
}

const StepCommandRow* FindStepCommand(UINT nID)
{
    for (const StepCommandRow& row : STEP_COMMANDS)
    {
        if (row.nID == nID)
            return &row;
    }
    return nullptr;
}

int NextTapState(int nIndex, int nTms)
{
    const TapStateRow* pRow = FindTapState(nIndex);
    if (pRow == nullptr || nIndex < 0)
        return -1;
    // Each state's buttons hold both of its successors, but for TMS high from TEST-LOGIC-RESET
    // and SELECT-IR: that one is TEST-LOGIC-RESET, whose button is the reset sequence.
    for (UINT nID : pRow->anEnabled)
    {
        const StepCommandRow* pStep = nID != 0 ? FindStepCommand(nID) : nullptr;
        if (pStep != nullptr && pStep->nTms == nTms)
            return pStep->nNewState;
    }
    return 0;
}
