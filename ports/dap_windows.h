// CMSIS-DAP probes on Windows: v1 through the system's own HID calls (hid.dll, with setupapi.dll
// listing the devices), v2 through WinUSB (winusb.dll), so that nothing needs installing. Each
// DLL is loaded when a probe is first looked for: a Windows without one says so about the probe,
// and MORVA.EXE still starts everywhere. The calls are a table, typed from the system's own
// declarations, so that the tests put a simulated probe behind them.
#pragma once

#include <windows.h>

#include <setupapi.h>

#include <hidsdi.h>
#include <winusb.h>

#include <string>
#include <vector>

#include "dap_port.h"

struct WinDapApi
{
    // setupapi.dll: the devices with an interface of a class.
    decltype(&SetupDiGetClassDevsA) pfnGetClassDevs;
    decltype(&SetupDiEnumDeviceInterfaces) pfnEnumDeviceInterfaces;
    decltype(&SetupDiGetDeviceInterfaceDetailA) pfnGetDeviceInterfaceDetail;
    decltype(&SetupDiDestroyDeviceInfoList) pfnDestroyDeviceInfoList;
    // hid.dll: HID's class and a device's strings.
    decltype(&HidD_GetHidGuid) pfnHidGuid;
    decltype(&HidD_GetProductString) pfnHidProduct;
    decltype(&HidD_GetSerialNumberString) pfnHidSerial;
    // winusb.dll: the interface, its pipes and descriptors, transfers.
    decltype(&WinUsb_Initialize) pfnUsbInitialize;
    decltype(&WinUsb_Free) pfnUsbFree;
    decltype(&WinUsb_QueryInterfaceSettings) pfnUsbInterface;
    decltype(&WinUsb_QueryPipe) pfnUsbPipe;
    decltype(&WinUsb_GetDescriptor) pfnUsbDescriptor;
    decltype(&WinUsb_SetPipePolicy) pfnUsbPolicy;
    decltype(&WinUsb_WritePipe) pfnUsbWrite;
    decltype(&WinUsb_ReadPipe) pfnUsbRead;
    // kernel32: a device opened, and HID reports moved with a time limit.
    decltype(&CreateFileA) pfnCreateFile;
    decltype(&WriteFile) pfnWriteFile;
    decltype(&ReadFile) pfnReadFile;
    decltype(&WaitForSingleObject) pfnWait;
    decltype(&GetOverlappedResult) pfnOverlappedResult;
    decltype(&CancelIo) pfnCancelIo;
    decltype(&CloseHandle) pfnCloseHandle;
    // Whether hid.dll and winusb.dll were found; why not, and what to do.
    bool bHid = false;
    bool bUsb = false;
    std::string strMissing;
};

// The system's calls, loaded at the first call.
const WinDapApi& SystemWinDap();

// The CMSIS-DAP v2 interface class WinUSB gives its probes, from Arm's CMSIS-DAP documentation.
extern const GUID DAP_V2_INTERFACE;

// Every probe the calls find: v2 through WinUSB where a probe offers both, v1 by its HID product
// string with "CMSIS-DAP" in it.
bool FindWinDapProbes(const WinDapApi& api, std::vector<DapProbeFound>& probes, std::string& strError,
                      size_t& nDenied);
// How probes are looked for and opened through these calls.
DapFinder WinDapFinderOf(const WinDapApi& api);
// The packets of the probe with that serial number, or of the first found.
std::unique_ptr<IDapLink> MakeWinDapLink(const WinDapApi& api, const std::string& serial);
