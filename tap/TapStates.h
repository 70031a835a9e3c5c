// The TAP controller's sixteen states as MORVA numbers them, and the diagram that joins them.
#pragma once

#include <string>
#include <vector>

// -1 until a reset has established the state; 9 to 11 name nothing.
const int STATE_UNKNOWN = -1;
const int STATE_TEST_LOGIC_RESET = 0;
const int STATE_RUN_TEST_IDLE = 1;
const int STATE_SELECT_DR = 2;
const int STATE_CAPTURE_DR = 3;
const int STATE_SHIFT_DR = 4;
const int STATE_EXIT1_DR = 5;
const int STATE_PAUSE_DR = 6;
const int STATE_EXIT2_DR = 7;
const int STATE_UPDATE_DR = 8;
const int STATE_SELECT_IR = 12;
const int STATE_CAPTURE_IR = 13;
const int STATE_SHIFT_IR = 14;
const int STATE_EXIT1_IR = 15;
const int STATE_PAUSE_IR = 16;
const int STATE_EXIT2_IR = 17;
const int STATE_UPDATE_IR = 18;

const int KEEP_TDI = -1;

// One clock as a step through the diagram: the levels it drives and the state it enters.
struct TapStep
{
    unsigned char nTms;
    int nTdi;  // 0, 1, or KEEP_TDI to leave TDI as the step before set it
    int nNewState;

    bool operator==(const TapStep& other) const
    {
        return nTms == other.nTms && nTdi == other.nTdi && nNewState == other.nNewState;
    }
};

// A state's three-letter code, as the trace spells it down its code rows ("***" for a state
// nobody knows), or null for an index that names no state.
const char* TapStateCode(int nIndex);
// The name a person reads, as sigrok's JTAG decoder spells it ("PAUSE-DR"); "UNKNOWN" for -1 and
// for an index that names no state.
const char* TapStateName(int nIndex);

// The state one clock with that TMS leads to from nIndex; an unknown state stays unknown.
int NextTapState(int nIndex, int nTms);

// The step into nTo from the state before it, with the TDI a plain step there drives: 0 into
// Shift and Exit1, 1 into Run-Test/Idle, Pause, Update and Test-Logic-Reset, TDI kept elsewhere.
TapStep StepInto(int nFrom, int nTo);

// The steps that take the TAP from nFrom to nTo by the fewest clocks, TMS 0 tried first where two
// ways are as short; empty when nFrom is nTo or nTo cannot be reached. Test-Logic-Reset is never
// a step on the way; as the end, it is reached by TMS high from where the TAP is.
std::vector<TapStep> ShortestPath(int nFrom, int nTo);

// Test-Logic-Reset, Run-Test/Idle and the Pause and Update states: where a whole shift may start.
bool IsShiftStart(int nState);
