// A stand-in for the kernel's ppdev driver, for tests: one parallel port with the simulated
// board on its data and status registers, behind the same open, ioctl and close calls.
#pragma once

#include <string>
#include <vector>

#include "ports/ppdev_port.h"
#include "standin/call_log.h"
#include "simboard/jtag_device.h"

// The calls, one line each in log: "open /dev/parport0", "PPEXCL", "PPCLAIM", "PPWDATA 14",
// "PPRSTATUS 7F", "PPRELEASE", "close".
struct PpdevStandin : CallLog
{
    std::string device = "/dev/parport0";
    int nOpenErrno = 0;     // open fails with this
    int nClaimErrno = 0;    // PPCLAIM fails with this
    bool bPresent = true;   // false: the port is gone (open ENODEV; ioctls on an open one ENODEV)
    bool bLpLoaded = false; // the printer driver has the port: PPCLAIM after PPEXCL gives ENXIO
    bool bExclusive = false;
    bool bClaimed = false;
    int nOpenFiles = 0;
    CJtagDevice board;
};

PpdevStandin& Ppdev();
// Starts the stand-in afresh and gives its calls.
const PpdevCalls& StandinPpdevCalls();
