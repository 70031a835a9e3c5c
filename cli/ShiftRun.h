// Work from the command line, without a window, through the same engine the window drives: the
// chain scanned, then values sent, each SEND in order from wherever the TAP is.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ShiftRequest
{
    bool bIr;  // SEND-IR, else SEND-DR
    std::string strValue;
    std::vector<unsigned char> bits;  // bit 0 first
};

// Says a line: standard output, or standard error where bError.
typedef std::function<void(const std::string& strLine, bool bError)> SAY_LINE;

struct CommandLineWork
{
    bool bScan = false;           // --scan: one line a device, first
    std::vector<int> irLengths;   // the devices' IR lengths the user gave, from the TDI side
    std::vector<ShiftRequest> shifts;
};

// The chain scanned where asked, one line a device (a length the scan cannot tell, said on
// standard error), then the shifts as RunShifts sends them. 1, with what went wrong said, for a
// broken chain as for a lost cable.
int RunCommandLineWork(const CommandLineWork& work, const std::string& strTracePath, const SAY_LINE& say);

// Runs the shifts on the cable the program chose, switched on here and off at the end, and says
// each value that came out as the value display shows it ("32'h149511C3"), one a line; every
// clock goes to the trace file as it happens, if one is named. 0 when every shift was made; 1,
// with what went wrong said, when the trace file could not be made or failed, or the cable was
// lost (the values before it are said).
int RunShifts(const std::vector<ShiftRequest>& shifts, const std::string& strTracePath, const SAY_LINE& say);
