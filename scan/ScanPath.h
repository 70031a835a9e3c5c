// What a SEND clicks: the buttons of the shortest way through the TAP diagram to a Shift state,
// the buttons that shift a bit, and which bits came out of TDO.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The two registers a SEND can shift, with the states and buttons of their column.
struct ScanRegister
{
    const char* pszName;   // "SEND-DR"
    const char* pszPause;  // "PAUSE-DR", where a stopped SEND leaves the TAP
    int nShift;
    UINT anShift[2];  // the button that shifts a 0, and its "1"
    UINT anExit1[2];  // the same, leaving Shift with the last bit
    UINT nPauseButton;
    UINT nUpdateButton;
};

extern const ScanRegister SCAN_DR;
extern const ScanRegister SCAN_IR;

// Test-Logic-Reset, Run-Test/Idle and the Pause and Update states: where a SEND may start.
bool IsSendStart(int nState);

// The state buttons that take the TAP from nFrom to nTo by the fewest clocks, each with the TDI
// its plain button drives; empty when nFrom is nTo or nTo cannot be reached.
std::vector<UINT> ShortestPath(int nFrom, int nTo);

// Collects what comes out of TDO while a register shifts, from its Capture on, across Pause and
// Exit2, and gives it when the TAP enters that register's Exit1.
class CShiftOut
{
public:
    // One recorded clock from state nFrom into state nTo. True when nTo is an Exit1 state: the
    // value that came out is then Shown().
    bool OnClock(int nFrom, int nTo, unsigned char tdo);
    const std::string& Shown() const { return m_strShown; }

private:
    std::vector<unsigned char> m_dr;
    std::vector<unsigned char> m_ir;
    std::string m_strShown;
};
