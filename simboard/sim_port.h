// MORVASIM.EXE's port: the data and status registers of a parallel port with the simulated
// board on its cable. Nothing answers at any other address.
#pragma once

#include "jtag_device.h"

CJtagDevice& SimulatedBoard();

// The byte last written to the data register (0 before any write).
unsigned char SimulatedDataRegister();
