// MORVASIM.EXE's port: the data and status registers of a parallel port with the simulated
// board on its cable. Nothing answers at any other address.
#pragma once

#include "jtag_device.h"

CJtagDevice& SimulatedBoard();
