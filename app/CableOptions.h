// What the person says on the command line and in the settings file (SystemCables.h). The cable:
// /cable:CABLE (or --cable=CABLE, --cable CABLE) on the command line, else cable=CABLE in the [cable]
// section of the file, else the system's default; the FTDI pin map in the [ftdi] section.
// A file that gets every clock as it happens: /trace:FILE (or --trace=FILE, --trace FILE). Values to
// send without a window: --ir VALUE and --dr VALUE (also /ir:VALUE, --ir=VALUE).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../cli/ShiftRun.h"
#include "../ports/ftdi_port.h"
#include "../ports/cable_name.h"
#include "SettingsFile.h"
#include "SystemCables.h"

struct CommandLine
{
    bool bHelp = false;     // --help, -h, /?: what the program takes, and nothing else
    bool bVersion = false;  // --version
    bool bCable = false;
    std::string strCable;
    std::string strTrace;  // empty: no trace file
    std::vector<ShiftRequest> shifts;  // in the order given
    bool bScan = false;  // --scan: the chain listed, before any value is sent
    std::vector<int> irLengths;  // --irlen 4,6,8: the devices' IR lengths from the TDI side
    size_t nDevice = 0;  // --device N: values to that device alone; 0: the whole chain
    std::string strBsdl;  // --bsdl FILE: alone, the file checked and described; with --device, that device's
    std::vector<std::string> bsdlFolders;  // --bsdl-folder DIR, in the order given
    bool bSample = false;  // --sample: the device's pins read once, one a line
    std::vector<std::string> drives;  // --drive PORT=1 (0, off, safe): pins of device N driven under EXTEST
    bool bExtest = false;       // --extest: the person's yes to driving pins, as the pin view asks it
    bool bLeaveExtest = false;  // --leave-extest: the TAP reset at the end, every device back to its logic
    std::string strSvf;    // --svf FILE: the file played, without a window
    std::string strSvfOut;  // --svf-out FILE: the command line's own clocks written as SVF
    unsigned nKhz = 0;      // --khz N: TCK for a cable whose clock can be set; 0: not given
    bool bSrst = false;     // --srst: the target's system reset pulsed first
    std::string strBoardTest;       // --board-test FILE: the board's nets tested, a netlist or a board file
    std::vector<std::string> refs;  // --ref U3=1: which device a chip of the board is
    bool bNoWindow = false;  // --scan, --device, --ir, --dr, --bsdl, --sample or --svf is there, even where the line is refused
};

// False, with the reason, for a word MORVA does not know, an option without its value, or an
// option given twice.
bool ParseCommandLine(LPCSTR pszCommandLine, CommandLine& options, std::string& strError);

// What --help says: the options and the cable forms.
std::string CommandLineHelp();
// Its lines of options, one or two an option, from the table the command line is read by.
std::string OptionsHelp();

// The command line over the settings file over the default. False with a message for the person:
// what was wrong, where it came from, and the accepted forms.
bool ResolveCable(const CommandLine& options, const std::string& strIniPath, CableName& cable, FtdiPinMap& map,
                  std::string& strError);
