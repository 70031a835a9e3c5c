// Stand-ins for hidapi and libusb-1.0, for tests: each serves a CMSIS-DAP probe (the simulated
// probe, the board on its JTAG pins) behind the calls the real library takes, as its
// documentation describes them. hidapi has a v1 probe and a keyboard; libusb a v2 probe and a
// vendor-specific device of another kind.
#pragma once

#include <string>
#include <vector>

#include "ports/dap_linux.h"
#include "standin/dap_link.h"

struct DapStandin : DapProbePair
{
    // The v2 probe offers v1 as well: hidapi lists it too, with its serial number.
    bool bBothOnOne = false;
    int nOpenResult = 0;  // what opening the v2 probe answers (LIBUSB_ERROR_ACCESS: refused)
};

DapStandin& Dap();
// Starts both stand-ins afresh and gives the libraries with their calls.
DapLibraries StandinDapLibraries();
