// MORVA.EXE and the Linux program: they drive the cable a person chooses.
#include "CableChoice.h"

const bool ONLY_THE_SIMULATED_BOARD = false;
