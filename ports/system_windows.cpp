// Windows' ways to a cable: the parallel port's registers through the processor's I/O
// instructions (or InpOut's driver), and FTDI cables through FTDI's D2XX library.
#include "port_factory.h"

#include "d2xx_port.h"
#include "io_port.h"

std::shared_ptr<CPort> MakeSystemPort(const CableSpec& cable, const FtdiPinMap& map)
{
    if (cable.kind == CableKind::Ftdi)
        return std::make_shared<CD2xxPort>(cable, map);
    return std::make_shared<CIoPort>();
}

std::vector<FoundCable> FindCables()
{
    // Windows 95 to 11 share no call that names the parallel ports with their addresses; LPT1's
    // address is where nearly every one is.
    std::vector<FoundCable> cables = {{"lpt", "parallel port at 0x378 (LPT1)"}};
    std::vector<FtdiDevice> devices;
    std::string strError;
    // Only when FTDI's library is installed: without it there is nothing to list.
    if (CD2xxPort(CableSpec(), FtdiPinMap()).ListDevices(devices, strError))
        AddFtdiCables(devices, "D2XX", cables);
    return cables;
}
