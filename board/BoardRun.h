// The board test on the chain: the board's chips matched to the scan, then every chip's boundary
// register through PRELOAD, EXTEST and the patterns at once, the other devices in BYPASS, and a
// reset at the end that gives every pin back to its chip.
#pragma once

#include <string>
#include <vector>

#include "../chain/ChainScan.h"
#include "BoardFile.h"
#include "BoardTest.h"

class CTapEngine;

// The board as strPath describes it (a netlist, or a board file naming one) with its netlist read;
// refs ("U3=1", as --ref gives them) name chips too, and where neither names any, the settings
// file's [board] does. False, with the file, line and what is wrong.
bool ReadBoardDescription(const std::string& strPath, const std::vector<std::string>& refs,
                          const std::string& strSettingsPath, BoardFile& board, Netlist& netlist, std::string& strError);

// The chips the board names, each with its device on the scanned chain and its BSDL file (the
// board's, else the one the scan found by IDCODE). False, with the difference said, where the
// chain is not as the board says: a device missing, another IDCODE, a chip without a file, a
// device whose IR length the scan could not tell.
bool BoardChips(const ChainScan& scan, const BoardFile& board, std::vector<BoardChip>& chips, std::string& strDifference);

// The nets the test drives, for the question asked before it: "SDA (U3.14), SCL (U3.15), ...".
std::string DrivenNetsText(const BoardPlan& plan);

// The test itself. Done with the report; Lost with the cable's failure (after it, no more
// clocks: the pins may be left driven until the next reset); Broken, with why and no clock, where
// a chip's file has no EXTEST or PRELOAD, or the TAP was left where no shift starts.
Outcome RunBoardTest(CTapEngine& tap, const ChainScan& scan, const BoardPlan& plan, BoardReport& report);

// The whole report, one line each: the nets not tested with why, the faults, the notes, and the
// summary last.
std::vector<std::string> BoardReportLines(const BoardReport& report);
