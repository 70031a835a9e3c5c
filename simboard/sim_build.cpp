// MORVASIM.EXE's cable: always the simulated board, whatever the command line or settings say.
#include "../app/CableChoice.h"
#include "sim_port.h"

CPort& BuildPort()
{
    return SimulatedPort();
}

bool ChooseCable(const CommandLine&, std::string&)
{
    return true;
}
