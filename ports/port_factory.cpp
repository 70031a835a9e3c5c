#include "port_factory.h"

#include "net_port.h"
#include "sim_port.h"

std::shared_ptr<ICable> MakeCable(const CableName& cable, const FtdiPinMap& map)
{
    if (cable.kind == CableKind::Sim && !cable.bsdl.empty())
        return std::make_shared<CParallelCable>(MakeBsdlSimulatedPort(cable.bsdl), cable.address);
    if (cable.kind == CableKind::Sim && !cable.board.empty())
        return std::make_shared<CParallelCable>(MakeBoardSimulatedPort(cable.board), cable.address);
    if (cable.kind == CableKind::Sim)
        return CableOver(cable.bChain ? SimulatedChainPort() : SimulatedPort(), cable.address);
    if (cable.kind == CableKind::RemoteBitbang)
        return std::make_shared<CRemoteBitbangPort>(cable, MakeNetLink());
    if (cable.kind == CableKind::Xvc)
        return std::make_shared<CXvcPort>(cable, MakeNetLink(), map.nKhz);
    if (cable.kind == CableKind::Dap)
        return std::make_shared<CDapCable>(MakeFoundLink(SystemDapFinder(), cable.serial), map.nKhz);
    if (cable.kind == CableKind::Ftdi)
        return MakeSystemFtdiPort(cable, map);
    return MakeSystemParallelCable(cable);
}

void AddFtdiCables(const std::vector<FtdiDevice>& devices, const char* pszLibrary, const FtdiPinMap& map,
                   std::vector<FoundCable>& cables)
{
    for (size_t i = 0; i < devices.size(); ++i)
    {
        const FtdiDevice& device = devices[i];
        std::string serial = device.serial;
        char channel = device.channel;
        // D2XX gives a channel's serial number with its letter.
        if (channel == 0 && device.nChannels > 1 && !serial.empty())
        {
            channel = serial.back();
            serial.pop_back();
        }
        FoundCable cable;
        if (!serial.empty())
            cable.strName = "ftdi:" + serial + (channel != 0 ? std::string("/") + channel : std::string());
        else if (i == 0)
            cable.strName = "ftdi";
        else
            continue;
        cable.strWhat = "FTDI " + (device.description.empty() ? std::string("device") : device.description) +
                        " (" + pszLibrary + ", " + DescribeFtdiMode(device.engine, map) + ")";
        cables.push_back(cable);
    }
}

std::vector<FoundCable> FindCables(const FtdiPinMap& map)
{
    std::vector<FoundCable> cables = FindSystemPorts();
    // FTDI devices only where the FTDI library is installed: without it there is nothing to list.
    std::vector<FtdiDevice> devices;
    std::string strError;
    const std::unique_ptr<CFtdiPort> pFtdi = MakeSystemFtdiPort(CableName(), FtdiPinMap());
    if (pFtdi->ListDevices(devices, strError))
        AddFtdiCables(devices, pFtdi->Library(), map, cables);
    // The CMSIS-DAP probes, by serial number; one without only as the first found ("dap").
    std::vector<DapProbeFound> probes;
    size_t nDenied = 0;
    if (!SystemDapFinder().find(probes, strError, nDenied))
        return cables;
    for (size_t i = 0; i < probes.size(); ++i)
    {
        if (probes[i].serial.empty() && i != 0)
            continue;
        cables.push_back({probes[i].serial.empty() ? "dap" : "dap:" + probes[i].serial, DescribeDapProbe(probes[i])});
    }
    return cables;
}
