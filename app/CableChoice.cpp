// MORVA.EXE's cable: the parallel port at 0x378 unless the command line or MORVA.INI says
// otherwise.
#include "CableChoice.h"

#include <memory>

#include "../cable/cable.h"
#include "../cable/io_port.h"
#include "../ports/d2xx_port.h"
#include "../simboard/sim_port.h"
#include "CableOptions.h"

namespace {

CIoPort g_ioPort;
std::unique_ptr<CD2xxPort> g_pFtdiPort;
CPort* g_pChosenPort = &g_ioPort;

} // namespace

CPort& BuildPort()
{
    return *g_pChosenPort;
}

bool ChooseCable(const CommandLine& options, std::string& strError)
{
    CableSpec cable;
    FtdiPinMap map;
    if (!ResolveCable(options, SettingsPath(), cable, map, strError))
        return false;
    switch (cable.kind)
    {
    case CableKind::Lpt:
        SetCableAddress(cable.address);
        g_pChosenPort = &g_ioPort;
        break;
    case CableKind::Ftdi:
        g_pFtdiPort.reset(new CD2xxPort(cable, map));
        g_pChosenPort = g_pFtdiPort.get();
        break;
    case CableKind::Sim:
        g_pChosenPort = &SimulatedPort();
        break;
    }
    return true;
}
