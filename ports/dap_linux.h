// CMSIS-DAP probes on Linux: CMSIS-DAP v1 through hidapi (libhidapi-hidraw.so.0, else
// libhidapi-libusb.so.0), v2 through libusb-1.0 (libusb-1.0.so.0). Each library is loaded when
// first needed, so that one missing is a message about a probe, never a program that cannot
// start. The calls each takes are a table, declared from the library's documentation, so that the
// tests put a simulated probe behind them. This header and its file see no Windows header.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dap_port.h"

// hidapi's device list entry, as its documentation gives the fields; later versions add fields
// after next, which this never reads.
struct hid_device_info
{
    char* path;
    unsigned short vendor_id;
    unsigned short product_id;
    wchar_t* serial_number;
    unsigned short release_number;
    wchar_t* manufacturer_string;
    wchar_t* product_string;
    unsigned short usage_page;
    unsigned short usage;
    int interface_number;
    hid_device_info* next;
};
struct hid_device_;
typedef hid_device_ hid_device;

struct HidapiApi
{
    int (*pfnInit)();
    // vendor and product 0: every HID device.
    hid_device_info* (*pfnEnumerate)(unsigned short nVendor, unsigned short nProduct);
    void (*pfnFreeEnumeration)(hid_device_info* pDevices);
    hid_device* (*pfnOpenPath)(const char* pszPath);
    // The report number first (0: the device has only one), then the report.
    int (*pfnWrite)(hid_device* pDevice, const unsigned char* pData, size_t nLength);
    // The bytes read, 0 where none came in time, -1 on failure.
    int (*pfnReadTimeout)(hid_device* pDevice, unsigned char* pData, size_t nLength, int nMilliseconds);
    void (*pfnClose)(hid_device* pDevice);
    const wchar_t* (*pfnError)(hid_device* pDevice);
};

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_device_descriptor;
struct libusb_config_descriptor;

struct LibusbApi
{
    int (*pfnInit)(libusb_context** ppContext);
    ssize_t (*pfnGetDeviceList)(libusb_context* pContext, libusb_device*** pppList);
    void (*pfnFreeDeviceList)(libusb_device** ppList, int bUnref);
    int (*pfnGetDeviceDescriptor)(libusb_device* pDevice, libusb_device_descriptor* pDescriptor);
    int (*pfnGetActiveConfigDescriptor)(libusb_device* pDevice, libusb_config_descriptor** ppConfig);
    void (*pfnFreeConfigDescriptor)(libusb_config_descriptor* pConfig);
    uint8_t (*pfnGetBusNumber)(libusb_device* pDevice);
    uint8_t (*pfnGetDeviceAddress)(libusb_device* pDevice);
    int (*pfnOpen)(libusb_device* pDevice, libusb_device_handle** ppHandle);
    void (*pfnClose)(libusb_device_handle* pHandle);
    int (*pfnGetStringDescriptorAscii)(libusb_device_handle* pHandle, uint8_t index, unsigned char* pData, int nLength);
    int (*pfnClaimInterface)(libusb_device_handle* pHandle, int nInterface);
    int (*pfnReleaseInterface)(libusb_device_handle* pHandle, int nInterface);
    int (*pfnBulkTransfer)(libusb_device_handle* pHandle, unsigned char endpoint, unsigned char* pData, int nLength,
                           int* pnTransferred, unsigned int nTimeoutMs);
    const char* (*pfnErrorName)(int nError);
};

// The libraries as the system has them: loaded at the first call, null with why where the
// library is not installed.
const HidapiApi* SystemHidapi(std::string& strError);
const LibusbApi* SystemLibusb(std::string& strError);

// The libraries a probe is looked for through; either may be null.
struct DapLibraries
{
    const HidapiApi* pHidapi = nullptr;
    const LibusbApi* pLibusb = nullptr;
    std::string strMissing;  // what could not be loaded, and how to install it
};

// Every CMSIS-DAP probe the libraries find: v2 where a probe offers both, by its interface string
// with "CMSIS-DAP" in it and its bulk endpoint pair; v1 by its HID product string. False, with
// why, where neither library can be used. pnDenied: how many devices with a bulk pair could not be
// opened to read their strings (a probe the user has no access to is one).
bool FindDapProbes(const DapLibraries& libraries, std::vector<DapProbeFound>& probes, std::string& strError,
                   size_t* pnDenied = nullptr);

// How probes are looked for and opened through these libraries.
DapFinder DapFinderOf(const DapLibraries& libraries);
// The packets of the probe with that serial number, or of the first found where serial is
// empty; the probe is looked for at each Open, so that one plugged in again is found.
std::unique_ptr<IDapLink> MakeDapLink(const DapLibraries& libraries, const std::string& serial);
