// Linux's ways to a cable: parallel ports through ppdev by their device files, FTDI cables
// through libftdi (CMSIS-DAP probes through hidapi and libusb are dap_linux.cpp's).
#include "port_factory.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>

#include "libftdi_port.h"
#include "ppdev_port.h"

namespace {

const char DEFAULT_DEVICE[] = "/dev/parport0";

} // namespace

std::unique_ptr<CFtdiPort> MakeSystemFtdiPort(const CableName& cable, const FtdiPinMap& map)
{
    return std::unique_ptr<CFtdiPort>(new CLibftdiPort(cable, map));
}

std::shared_ptr<ICable> MakeSystemParallelCable(const CableName& cable)
{
    return std::make_shared<CParallelCable>(
        std::make_shared<CPpdevPort>(cable.device.empty() ? DEFAULT_DEVICE : cable.device, cable.address),
        cable.address);
}

std::vector<FoundCable> FindSystemPorts()
{
    std::vector<std::string> ports;
    if (DIR* pDir = opendir("/dev"))
    {
        while (const dirent* pEntry = readdir(pDir))
        {
            const std::string name = pEntry->d_name;
            if (name.compare(0, 7, "parport") == 0 && name.size() > 7)
                ports.push_back("/dev/" + name);
        }
        closedir(pDir);
    }
    std::sort(ports.begin(), ports.end());
    std::vector<FoundCable> cables;
    for (const std::string& device : ports)
        cables.push_back({"lpt:" + device, "parallel port (ppdev)"});
    return cables;
}

bool IsCableReachable(CableName& cable, std::string& strWhy)
{
    // ppdev reaches ports by device file: the kernel says which one has the address.
    if (cable.kind == CableKind::Lpt && cable.device.empty() && cable.address != CableName().address)
    {
        std::string strDevice;
        if (!FindParportAt(cable.address, PARPORT_PROC_FOLDER, strDevice, strWhy))
            return false;
        cable.device = strDevice;
        cable.address = CableName().address;
    }
    // "lpt" alone is the first port's device file: named so wherever the cable is described.
    if (cable.kind == CableKind::Lpt && cable.device.empty())
        cable.device = DEFAULT_DEVICE;
    return true;
}

bool IsDefaultCablePresent(std::string& strDevice)
{
    strDevice = "/dev/parport0";
    return access(strDevice.c_str(), F_OK) == 0;
}
