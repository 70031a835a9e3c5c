// The board test on the chain: the board's chips matched to the scan, then every chip's boundary
// register through PRELOAD, EXTEST and the patterns at once, the other devices in BYPASS, and a
// reset at the end that gives every pin back to its chip.
#pragma once

#include <string>
#include <vector>

#include "../chain/ChainScan.h"
#include "BoardFile.h"
#include "BoardTest.h"

class CBsdlLibrary;
class CTapEngine;

// The board's BSDL files given to the library, before the chain is scanned: they tell the scan
// the chips' IR lengths, as files found by IDCODE do. False, with the file's problem.
bool AddBoardFiles(const BoardFile& board, CBsdlLibrary& library, std::string& strError);

// The test planned for the board on the scanned chain. Each chip the board names is matched to
// its device, with its BSDL file (the board's, as AddBoardFiles gave it to the library, else the
// one the scan found by IDCODE). Broken, with the difference and nothing driven, where the chain
// is not as the board says: a device missing, another IDCODE, a chip without a file, a device
// whose IR length the scan could not tell. Refused, with why, where no net can be tested.
Outcome PlanBoard(const ChainScan& scan, const BoardFile& board, const Netlist& netlist, const CBsdlLibrary& library,
                  BoardPlan& plan);

// The nets the test drives, for the question asked before it: "SDA (U3.14), SCL (U3.15), ...".
std::string DrivenNetsText(const BoardPlan& plan);

// The test itself. Done with the report; Lost with the cable's failure (after it, no more
// clocks: the pins may be left driven until the next reset); Broken, with why and no clock, where
// a chip's file has no EXTEST or PRELOAD, or the TAP was left where no shift starts.
Outcome RunBoardTest(CTapEngine& tap, const ChainScan& scan, const BoardPlan& plan, BoardReport& report);

// The whole report, one line each: the nets not tested with why, the faults, the notes, and the
// summary last.
std::vector<std::string> BoardReportLines(const BoardReport& report);
