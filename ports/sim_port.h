// The simulated board on a parallel port at 0x378: its data and status registers. Nothing
// answers at any other address.
#pragma once

#include <memory>
#include <string>

#include "parallel_port.h"
#include "../simboard/jtag_device.h"

CParallelPort& SimulatedPort();
// The same cable on a chain of three: device 1 (IR 4, an IDCODE), device 2 (IR 6, an IDCODE) and
// device 3 (IR 8, none, capturing 00000101, which leaves the lengths open to a scan).
CParallelPort& SimulatedChainPort();
CJtagDevice& SimulatedBoard();
// The devices behind SimulatedChainPort().
CJtagDevice& SimulatedChainBoard();

// A simulated chip as a BSDL file describes it, alone on its chain: made when first opened.
// IsAccessible is false, with the file's problem, where the file cannot be read or the chip
// cannot be simulated.
std::shared_ptr<CParallelPort> MakeBsdlSimulatedPort(const std::string& strPath);
// A simulated board as a board file describes it: its chips on the chain, their pins joined by
// the netlist's nets, and the faults it plants. Made when first opened, as above.
std::shared_ptr<CParallelPort> MakeBoardSimulatedPort(const std::string& strPath);
// The chips of the last such board opened; null before one was.
CJtagDevice* SimulatedBoardChips();
// The chip of the last such port opened; null before one was.
CJtagDevice* SimulatedBsdlChip();

// The byte last written to the data register (0 before any write).
unsigned char SimulatedDataRegister();
