// Windows' ways to a cable: the parallel port's registers through the processor's I/O
// instructions (or InpOut's driver), FTDI cables through FTDI's D2XX library (CMSIS-DAP probes
// through the system's HID calls and WinUSB are dap_windows.cpp's).
#include "port_factory.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>

#include "d2xx_port.h"
#include "io_port.h"
#include "system_library.h"

namespace {

// The device class of serial and parallel ports, {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID PORTS_CLASS = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The Setup API's calls, from setupapi.dll where the system has it (Windows 98 and 2000 on):
// loaded at run time, so that the programs still start on Windows 95 and NT 4.0.
struct SetupApi
{
    HDEVINFO(WINAPI* pfnGetClassDevs)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* pfnEnumDeviceInfo)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
    BOOL(WINAPI* pfnGetDeviceRegistryProperty)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);
    BOOL(WINAPI* pfnDestroyDeviceInfoList)(HDEVINFO);
    CONFIGRET(WINAPI* pfnGetFirstLogConf)(PLOG_CONF, DEVINST, ULONG);
    CONFIGRET(WINAPI* pfnGetNextResDes)(PRES_DES, RES_DES, RESOURCEID, PRESOURCEID, ULONG);
    CONFIGRET(WINAPI* pfnGetResDesData)(RES_DES, PVOID, ULONG, ULONG);
    CONFIGRET(WINAPI* pfnFreeResDesHandle)(RES_DES);
    CONFIGRET(WINAPI* pfnFreeLogConfHandle)(LOG_CONF);
};

bool LoadSetupApi(SetupApi& api)
{
    HMODULE hLibrary = LoadSystemLibrary("setupapi.dll");
    if (hLibrary == nullptr)
        return false;
    std::string strMissing;
    FindCall(hLibrary, "SetupDiGetClassDevsA", api.pfnGetClassDevs, strMissing);
    FindCall(hLibrary, "SetupDiEnumDeviceInfo", api.pfnEnumDeviceInfo, strMissing);
    FindCall(hLibrary, "SetupDiGetDeviceRegistryPropertyA", api.pfnGetDeviceRegistryProperty, strMissing);
    FindCall(hLibrary, "SetupDiDestroyDeviceInfoList", api.pfnDestroyDeviceInfoList, strMissing);
    FindCall(hLibrary, "CM_Get_First_Log_Conf", api.pfnGetFirstLogConf, strMissing);
    FindCall(hLibrary, "CM_Get_Next_Res_Des", api.pfnGetNextResDes, strMissing);
    FindCall(hLibrary, "CM_Get_Res_Des_Data", api.pfnGetResDesData, strMissing);
    FindCall(hLibrary, "CM_Free_Res_Des_Handle", api.pfnFreeResDesHandle, strMissing);
    FindCall(hLibrary, "CM_Free_Log_Conf_Handle", api.pfnFreeLogConfHandle, strMissing);
    return strMissing.empty();
}

// The first I/O range the device was given: a parallel port's data register.
bool FirstIoAddress(const SetupApi& api, DEVINST device, unsigned long& address)
{
    LOG_CONF config = 0;
    if (api.pfnGetFirstLogConf(&config, device, ALLOC_LOG_CONF) != CR_SUCCESS &&
        api.pfnGetFirstLogConf(&config, device, BOOT_LOG_CONF) != CR_SUCCESS)
        return false;
    RES_DES range = 0;
    bool bFound = false;
    if (api.pfnGetNextResDes(&range, config, ResType_IO, nullptr, 0) == CR_SUCCESS)
    {
        IO_DES io = {};
        if (api.pfnGetResDesData(range, &io, sizeof(io), 0) == CR_SUCCESS)
        {
            address = static_cast<unsigned long>(io.IOD_Alloc_Base);
            bFound = true;
        }
        api.pfnFreeResDesHandle(range);
    }
    api.pfnFreeLogConfHandle(config);
    return bFound;
}

// The parallel ports Windows names ("LPT1") with their addresses; none where it cannot say.
void AddParallelPorts(std::vector<FoundCable>& cables)
{
    SetupApi api = {};
    if (!LoadSetupApi(api))
        return;
    HDEVINFO hDevices = api.pfnGetClassDevs(&PORTS_CLASS, nullptr, nullptr, DIGCF_PRESENT);
    if (hDevices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; api.pfnEnumDeviceInfo(hDevices, i, &device); ++i)
    {
        // "ECP Printer Port (LPT1)": the ports class holds the serial ports too.
        char name[128] = {};
        DWORD dwType = 0;
        if (!api.pfnGetDeviceRegistryProperty(hDevices, &device, SPDRP_FRIENDLYNAME, &dwType,
                                              reinterpret_cast<BYTE*>(name), sizeof(name) - 1, nullptr) ||
            std::string(name).find("(LPT") == std::string::npos)
            continue;
        unsigned long address = 0;
        if (!FirstIoAddress(api, device.DevInst, address))
            continue;
        char text[24] = "lpt";
        char what[180];
        if (address != 0x378)
            snprintf(text, sizeof(text), "lpt:0x%lX", address);
        snprintf(what, sizeof(what), "%s at 0x%lX", name, address);
        CableName parsed;
        std::string strWhy;
        // Only where the cable driver can reach it: the address rule of every parallel port.
        if (ParseCableName(text, parsed, strWhy))
            cables.push_back({text, what});
    }
    api.pfnDestroyDeviceInfoList(hDevices);
}

} // namespace

std::unique_ptr<CFtdiPort> MakeSystemFtdiPort(const CableName& cable, const FtdiPinMap& map)
{
    return std::unique_ptr<CFtdiPort>(new CD2xxPort(cable, map));
}

std::shared_ptr<ICable> MakeSystemParallelCable(const CableName& cable)
{
    return std::make_shared<CParallelCable>(std::make_shared<CIoPort>(cable.address), cable.address);
}

std::vector<FoundCable> FindSystemPorts()
{
    std::vector<FoundCable> cables;
    AddParallelPorts(cables);
    // Windows 95 and NT 4.0 name no port with its address; LPT1's is where nearly every one is.
    if (cables.empty())
        cables.push_back({"lpt", "parallel port at 0x378 (LPT1)"});
    return cables;
}

bool IsCableReachable(CableName& cable, std::string& strWhy)
{
    if (cable.kind == CableKind::Lpt && !cable.device.empty())
    {
        strWhy = "\"" + cable.device + "\" is a Linux device file; on Windows give the port's address in hex, as "
                 "in lpt:0xD010.";
        return false;
    }

    return true;
}

// The parallel port at 0x378: whether it answers is known only on opening it.
bool IsDefaultCablePresent(std::string& strDevice)
{
    strDevice = "lpt";
    return true;
}
