// MORVASIM.EXE: its port is the simulated board, whatever the command line or settings say.
#include "CableChoice.h"

const bool ONLY_THE_SIMULATED_BOARD = true;
