// What the state buttons must do, written out from the state diagram for the tests to check
// the program against, and the matching state of the simulated board.
#pragma once

#include <vector>

#include "res/resource.h"
#include "simboard/jtag_device.h"

struct ExpectedCommand
{
    UINT nID;
    int nTms;
    int nTdi;  // -1: TDI stays as it was
    int nState;
};

const ExpectedCommand EXPECTED_COMMANDS[] = {
    {IDC_RUN_TEST_IDLE, 0, 1, 1},  {IDC_SELECT_DR, 1, -1, 2},   {IDC_CAPTURE_DR, 0, -1, 3},
    {IDC_SHIFT_DR, 0, 0, 4},       {IDC_SHIFT_DR_1, 0, 1, 4},   {IDC_EXIT1_DR, 1, 0, 5},
    {IDC_EXIT1_DR_1, 1, 1, 5},     {IDC_PAUSE_DR, 0, 1, 6},     {IDC_EXIT2_DR, 1, -1, 7},
    {IDC_UPDATE_DR, 1, 1, 8},      {IDC_SELECT_IR, 1, -1, 12},  {IDC_CAPTURE_IR, 0, -1, 13},
    {IDC_SHIFT_IR, 0, 0, 14},      {IDC_SHIFT_IR_1, 0, 1, 14},  {IDC_EXIT1_IR, 1, 0, 15},
    {IDC_EXIT1_IR_1, 1, 1, 15},    {IDC_PAUSE_IR, 0, 1, 16},    {IDC_EXIT2_IR, 1, -1, 17},
    {IDC_UPDATE_IR, 1, 1, 18},
};

struct ExpectedState
{
    int nIndex;
    TapState board;
    const char* pszCode;
    std::vector<UINT> path;  // clicks that lead there from Test-Logic-Reset
};

inline const std::vector<ExpectedState>& ExpectedStates()
{
    using S = TapState;
    static const std::vector<ExpectedState> states = {
        {0, S::TestLogicReset, "TLR", {}},
        {1, S::RunTestIdle, "RTI", {IDC_RUN_TEST_IDLE}},
        {2, S::SelectDrScan, "SDS", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR}},
        {3, S::CaptureDr, "CDR", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR}},
        {4, S::ShiftDr, "SDR", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR}},
        {5, S::Exit1Dr, "E1D", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_EXIT1_DR}},
        {6, S::PauseDr, "PDR",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_EXIT1_DR, IDC_PAUSE_DR}},
        {7, S::Exit2Dr, "E2D",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_EXIT1_DR, IDC_PAUSE_DR, IDC_EXIT2_DR}},
        {8, S::UpdateDr, "UDR",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_EXIT1_DR, IDC_UPDATE_DR}},
        {12, S::SelectIrScan, "SIS", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR}},
        {13, S::CaptureIr, "CIR", {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR}},
        {14, S::ShiftIr, "SIR",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR}},
        {15, S::Exit1Ir, "E1I",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_EXIT1_IR}},
        {16, S::PauseIr, "RIR",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_EXIT1_IR, IDC_PAUSE_IR}},
        {17, S::Exit2Ir, "E2I",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_EXIT1_IR, IDC_PAUSE_IR,
          IDC_EXIT2_IR}},
        {18, S::UpdateIr, "UIR",
         {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_EXIT1_IR, IDC_UPDATE_IR}},
    };
    return states;
}

inline const ExpectedState* ExpectedStateFor(int nIndex)
{
    for (const ExpectedState& state : ExpectedStates())
    {
        if (state.nIndex == nIndex)
            return &state;
    }
    return nullptr;
}
