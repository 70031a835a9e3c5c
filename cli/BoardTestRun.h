// --board-test FILE: the board's nets tested through the chips on the chain, without a window.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "../cable/cable.h"
#include "ShiftRun.h"

class CBsdlLibrary;

struct BoardTestWork
{
    ICable* pCable = nullptr;
    std::string strPath;  // the netlist (KiCad or CSV), or a board file that names one
    // Which device each chip is: --ref U3=1 as given; and the settings file's [board], taken where
    // neither the command line nor a board file names any.
    std::vector<std::string> refs;
    std::string strSettingsPath;
    std::vector<int> irLengths;  // given, from the TDI side; empty: none
    std::string strIrLengthsFrom;
    CBsdlLibrary* pLibrary = nullptr;
    bool bExtest = false;  // the person's yes to driving the nets, given beforehand
};

// The chain scanned and matched to the board (a difference said, and no EXTEST), then the test:
// the nets not tested with why, one line a fault, the notes and the summary, on standard output.
// EXIT_DONE for no fault, EXIT_TDO_DIFFERS for faults, EXIT_NOT_DONE, with why, for a test not run
// (without bExtest, the nets it would drive are named).
int BoardTestCommand(const BoardTestWork& work, const std::string& strTracePath, const SAY_LINE& say);
