// A stand-in for the Windows calls CMSIS-DAP probes take (setupapi.dll's device lists, hid.dll,
// WinUSB and the file calls), for tests: a v1 probe and a keyboard among the HID devices, a v2
// probe behind WinUSB, each the simulated probe with the board on its JTAG pins, behind the calls
// as their documentation describes them.
#pragma once

#include <string>
#include <vector>

#include "ports/dap_windows.h"
#include "dap_link.h"

struct WinDapStandin : DapProbePair
{
    bool bUsbBusy = false;    // another program has the v2 probe open
    bool bHidSilent = false;  // the v1 probe takes reports but answers none
};

WinDapStandin& WinDap();
// Starts the stand-in afresh and gives its calls.
const WinDapApi& StandinWinDap();
