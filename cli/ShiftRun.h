// Work from the command line, without a window, through the same engine the window drives: the
// chain scanned, then values sent, each SEND in order from wherever the TAP is.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../bsdl/Bsdl.h"
#include "../cable/cable.h"
#include "../tap/Outcome.h"

class CBsdlLibrary;
class CLiveVcd;
class CTapEngine;

struct ShiftRequest
{
    bool bIr;  // SEND-IR, else SEND-DR
    std::string strValue;
    CBits bits;  // bit 0 first; empty: an instruction by name, from the device's BSDL file
};

// Says a line: standard output, or standard error where bError.
typedef std::function<void(const std::string& strLine, bool bError)> SAY_LINE;


struct CommandLineWork
{
    ICable* pCable = nullptr;     // the cable chosen; none: every clock is lost
    bool bScan = false;           // --scan: one line a device, first
    std::vector<int> irLengths;   // the devices' IR lengths the user gave, from the TDI side
    std::string strIrLengthsFrom;  // where they were given, as a message says it ("on the command line")
    // Where lengths typed for a chain are kept, and the cable's name that recognises the chain;
    // empty: none are looked for.
    std::string strKeptIrLengthsPath;
    std::string strCable;
    size_t nDevice = 0;           // --device N: the values to that device alone; 0: the whole chain
    std::vector<ShiftRequest> shifts;
    CBsdlLibrary* pLibrary = nullptr;  // where the scan looks for the devices' BSDL files
    std::shared_ptr<const BsdlFile> pDeviceFile;  // device nDevice's file, given by hand
    bool bSample = false;  // device nDevice's pins read once, one a line, after the values
    // Device nDevice's pins driven under EXTEST after the values ("LED(0)=1", as --drive gives
    // them), only where bExtest says the person agreed; then each pin read, one a line.
    std::vector<std::string> drives;
    bool bExtest = false;
    bool bLeaveExtest = false;  // the TAP reset at the end: every device back to its own logic
    bool bSrst = false;         // the target's system reset pulsed before anything else
    std::string strSvfOut;  // every clock made, written here as SVF at the end; empty: none
};

// The chain scanned where asked, one line a device (a length the scan cannot tell, said on
// standard error), then the shifts as RunShifts sends them; to one device, the chain is scanned
// first in any case, and only that device's bits are said. EXIT_NOT_DONE, with what went wrong
// said, for a broken chain, a device that cannot be spoken to alone, or a lost cable.
int RunCommandLineWork(const CommandLineWork& work, const std::string& strTracePath, const SAY_LINE& say);

// The command line's engine: its clocks unpaced (nobody watches them one by one), each to the
// trace file as it happens where one is named. False, with why said, where the file cannot be
// made.
bool StartCommandLineEngine(CTapEngine& engine, CLiveVcd& trace, const std::string& strTracePath, const SAY_LINE& say);

// --bsdl FILE alone: the file read and described, one line a fact; EXIT_NOT_DONE, with file:line
// and what was expected, for a file that cannot be read.
int DescribeBsdlCommand(const std::string& strPath, const SAY_LINE& say);

// --svf FILE: the file played on the cable chosen, switched on here and off at the end, every
// clock to the trace file where one is named. 0 when every TDO matched (a line says how much was
// played); EXIT_TDO_DIFFERS with the first mismatch on standard error (its line, the bits expected,
// read and compared); EXIT_NOT_DONE, with why, for a file that cannot be played, a cable lost, or a
// play stopped: stop
// is asked between runs of clocks and while a RUNTEST waits (Ctrl-C), and a line says where the
// play is once a second while one command runs that long.
int PlaySvfCommand(ICable& cable, const std::string& strPath, const std::string& strTracePath, const SAY_LINE& say,
                   const std::function<bool()>& stop = nullptr);

// Runs the shifts on the cable the program chose, switched on here and off at the end, and says
// each value that came out as the value display shows it ("32'h149511C3"), one a line; every
// clock goes to the trace file as it happens, if one is named. EXIT_DONE when every shift was made;
// EXIT_NOT_DONE, with what went wrong said, when the trace file could not be made or failed, or the
// cable was lost (the values before it are said).
int RunShifts(ICable& cable, const std::vector<ShiftRequest>& shifts, const std::string& strTracePath, const SAY_LINE& say);
