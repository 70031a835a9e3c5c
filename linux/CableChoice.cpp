// The Linux program's cable: a parallel port through ppdev, an FTDI cable through libftdi, or the
// simulated board. With none chosen it takes /dev/parport0 when the computer has one.
#include "../app/CableChoice.h"

#include <memory>

#include <unistd.h>

#include "../app/CableOptions.h"
#include "../cable/cable.h"
#include "../simboard/sim_port.h"
#include "libftdi_port.h"
#include "ppdev_port.h"

namespace {

const char DEFAULT_DEVICE[] = "/dev/parport0";

std::unique_ptr<CPort> g_pPort;
CPort* g_pChosenPort = nullptr;

} // namespace

CPort& BuildPort()
{
    return g_pChosenPort != nullptr ? *g_pChosenPort : SimulatedPort();
}

bool ChooseCable(const CommandLine& options, std::string& strError)
{
    CableSpec cable;
    FtdiPinMap map;
    if (!ResolveCable(options, SettingsPath(), cable, map, strError))
        return false;
    if (!cable.bChosen && access(DEFAULT_DEVICE, F_OK) != 0)
    {
        strError = std::string("No cable is chosen, and this computer has no parallel port ") + DEFAULT_DEVICE +
                   ".\n\n" + CABLE_CHOICE_HOW + " CABLE is one of:\n" + CABLE_SPEC_FORMS +
                   "\n\nTo try MORVA without a cable: morva --cable sim";
        return false;
    }
    switch (cable.kind)
    {
    case CableKind::Lpt:
        g_pPort.reset(new CPpdevPort(cable.device.empty() ? DEFAULT_DEVICE : cable.device, CableDataAddress()));
        g_pChosenPort = g_pPort.get();
        break;
    case CableKind::Ftdi:
        g_pPort.reset(new CLibftdiPort(cable, map));
        g_pChosenPort = g_pPort.get();
        break;
    case CableKind::Sim:
        g_pChosenPort = &SimulatedPort();
        break;
    }
    return true;
}
