// The simulated board on a parallel port at 0x378: its data and status registers. Nothing
// answers at any other address.
#pragma once

#include "../cable/port.h"
#include "../simboard/jtag_device.h"

CPort& SimulatedPort();
CJtagDevice& SimulatedBoard();

// The byte last written to the data register (0 before any write).
unsigned char SimulatedDataRegister();
