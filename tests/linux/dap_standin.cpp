// This file sees no Windows header: it is compiled as Linux code, with libusb's own structures.
#include "dap_standin.h"

#include <libusb.h>

#include <cstdio>
#include <cstring>
#include <deque>

namespace {

struct Queued
{
    std::deque<std::vector<uint8_t>> answers;
};

Queued& HidAnswers()
{
    static Queued s_queued;
    return s_queued;
}

Queued& UsbAnswers()
{
    static Queued s_queued;
    return s_queued;
}

std::string Line(const char* pszWhat, const uint8_t* pData, size_t nCount)
{
    std::string line = std::string(pszWhat) + " " + std::to_string(nCount) + ":";
    for (size_t i = 0; i < nCount; ++i)
    {
        char hex[4];
        snprintf(hex, sizeof(hex), " %02X", pData[i]);
        line += hex;
    }
    return line;
}

// --- hidapi ---

wchar_t g_hidSerial[32], g_hidProduct[64], g_usbSerial[32], g_usbProduct[64], g_keyboard[32];
char g_hidPath[] = "/dev/hidraw-dap", g_bothPath[] = "/dev/hidraw-both", g_keyboardPath[] = "/dev/hidraw-keys";
hid_device_info g_hidList[3];
char g_hidDevice, g_bothDevice;

void Wide(wchar_t* pTo, size_t nRoom, const std::string& text)
{
    size_t i = 0;
    for (; i + 1 < nRoom && i < text.size(); ++i)
        pTo[i] = static_cast<wchar_t>(text[i]);
    pTo[i] = 0;
}

int HidInit()
{
    return 0;
}

hid_device_info* HidEnumerate(unsigned short, unsigned short)
{
    DapStandin& dap = Dap();
    Wide(g_hidSerial, 32, dap.hidProbe.Probe().serial);
    Wide(g_hidProduct, 64, dap.hidProbe.Probe().product);
    Wide(g_usbSerial, 32, dap.usbProbe.Probe().serial);
    Wide(g_usbProduct, 64, dap.usbProbe.Probe().product + " CMSIS-DAP");
    Wide(g_keyboard, 32, "USB Keyboard");
    std::vector<hid_device_info> entries;
    hid_device_info keyboard = {};
    keyboard.path = g_keyboardPath;
    keyboard.product_string = g_keyboard;
    entries.push_back(keyboard);
    if (dap.bHidPresent)
    {
        hid_device_info probe = {};
        probe.path = g_hidPath;
        probe.serial_number = g_hidSerial;
        probe.product_string = g_hidProduct;
        entries.push_back(probe);
    }
    if (dap.bBothOnOne && dap.bUsbPresent)
    {
        hid_device_info probe = {};
        probe.path = g_bothPath;
        probe.serial_number = g_usbSerial;
        probe.product_string = g_usbProduct;
        entries.push_back(probe);
    }
    for (size_t i = 0; i < entries.size(); ++i)
    {
        g_hidList[i] = entries[i];
        g_hidList[i].next = i + 1 < entries.size() ? &g_hidList[i + 1] : nullptr;
    }
    return g_hidList;
}

void HidFreeEnumeration(hid_device_info*) {}

hid_device* HidOpenPath(const char* pszPath)
{
    DapStandin& dap = Dap();
    Dap().log.push_back(std::string("open ") + pszPath);
    if (strcmp(pszPath, g_hidPath) == 0 && dap.bHidPresent)
        return reinterpret_cast<hid_device*>(&g_hidDevice);
    if (strcmp(pszPath, g_bothPath) == 0 && dap.bUsbPresent)
        return reinterpret_cast<hid_device*>(&g_bothDevice);
    return nullptr;
}

CDapProbe& HidProbeOf(hid_device* pDevice)
{
    return pDevice == reinterpret_cast<hid_device*>(&g_bothDevice) ? Dap().usbProbe : Dap().hidProbe;
}

int HidWrite(hid_device* pDevice, const unsigned char* pData, size_t nLength)
{
    Dap().CountWrite();
    CDapProbe& probe = HidProbeOf(pDevice);
    const bool bPresent = &probe == &Dap().hidProbe ? Dap().bHidPresent : Dap().bUsbPresent;
    if (!bPresent || nLength < 2)
        return -1;
    Dap().log.push_back(Line("hid", pData, nLength));
    // The report's padding goes to the probe with it, as it does on the wire.
    std::vector<uint8_t> answer = probe.Answer(pData + 1, nLength - 1);
    answer.resize(probe.Probe().nPacketSize, 0);
    HidAnswers().answers.push_back(answer);
    return static_cast<int>(nLength);
}

int HidReadTimeout(hid_device* pDevice, unsigned char* pData, size_t nLength, int)
{
    CDapProbe& probe = HidProbeOf(pDevice);
    const bool bPresent = &probe == &Dap().hidProbe ? Dap().bHidPresent : Dap().bUsbPresent;
    if (!bPresent)
        return -1;
    if (HidAnswers().answers.empty())
        return 0;
    const std::vector<uint8_t> answer = HidAnswers().answers.front();
    HidAnswers().answers.pop_front();
    const size_t nCopied = std::min(nLength, answer.size());
    memcpy(pData, answer.data(), nCopied);
    return static_cast<int>(nCopied);
}

void HidClose(hid_device*)
{
    HidAnswers().answers.clear();
    Dap().log.push_back("close hid");
}

const wchar_t* HidError(hid_device*)
{
    return L"the device is gone";
}

// --- libusb ---

char g_usbDevices[2];  // the probe and another vendor-specific device
libusb_device* g_usbList[3];
char g_usbHandle;

libusb_endpoint_descriptor g_endpoints[2];
libusb_interface_descriptor g_settings[2];
libusb_interface g_interfaces[2];
libusb_config_descriptor g_config;

libusb_device* Token(int i)
{
    return reinterpret_cast<libusb_device*>(&g_usbDevices[i]);
}

int UsbInit(libusb_context**)
{
    return 0;
}

ssize_t UsbGetDeviceList(libusb_context*, libusb_device*** pppList)
{
    size_t n = 0;
    if (Dap().bUsbPresent)
        g_usbList[n++] = Token(0);
    g_usbList[n++] = Token(1);
    g_usbList[n] = nullptr;
    *pppList = g_usbList;
    return static_cast<ssize_t>(n);
}

void UsbFreeDeviceList(libusb_device**, int) {}

int UsbGetDeviceDescriptor(libusb_device* pDevice, libusb_device_descriptor* pDescriptor)
{
    *pDescriptor = {};
    pDescriptor->idVendor = pDevice == Token(0) ? 0x2E8A : 0x0403;
    pDescriptor->idProduct = pDevice == Token(0) ? 0x000C : 0x6010;
    pDescriptor->iProduct = 2;
    pDescriptor->iSerialNumber = 3;
    return 0;
}

// Both devices: interface 0 a HID one, interface 1 vendor-specific with a bulk pair, whose
// string (4) is "CMSIS-DAP v2 Interface" on the probe only.
int UsbGetActiveConfigDescriptor(libusb_device*, libusb_config_descriptor** ppConfig)
{
    g_endpoints[0] = {};
    g_endpoints[0].bEndpointAddress = 0x04;
    g_endpoints[0].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    g_endpoints[1] = g_endpoints[0];
    g_endpoints[1].bEndpointAddress = 0x85;
    g_settings[0] = {};
    g_settings[0].bInterfaceNumber = 0;
    g_settings[0].bInterfaceClass = LIBUSB_CLASS_HID;
    g_settings[1] = {};
    g_settings[1].bInterfaceNumber = 1;
    g_settings[1].bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    g_settings[1].bNumEndpoints = 2;
    g_settings[1].endpoint = g_endpoints;
    g_settings[1].iInterface = 4;
    for (int i = 0; i < 2; ++i)
    {
        g_interfaces[i].altsetting = &g_settings[i];
        g_interfaces[i].num_altsetting = 1;
    }
    g_config = {};
    g_config.bNumInterfaces = 2;
    g_config.interface = g_interfaces;
    *ppConfig = &g_config;
    return 0;
}

void UsbFreeConfigDescriptor(libusb_config_descriptor*) {}

uint8_t UsbGetBusNumber(libusb_device*)
{
    return 1;
}

uint8_t UsbGetDeviceAddress(libusb_device* pDevice)
{
    return pDevice == Token(0) ? 7 : 8;
}

libusb_device* g_opened = nullptr;

int UsbOpen(libusb_device* pDevice, libusb_device_handle** ppHandle)
{
    if (pDevice == Token(0) && Dap().nOpenResult != 0)
        return Dap().nOpenResult;
    g_opened = pDevice;
    *ppHandle = reinterpret_cast<libusb_device_handle*>(&g_usbHandle);
    return 0;
}

void UsbClose(libusb_device_handle*)
{
    UsbAnswers().answers.clear();
}

int UsbGetStringDescriptorAscii(libusb_device_handle*, uint8_t index, unsigned char* pData, int nLength)
{
    const bool bProbe = g_opened == Token(0);
    const std::string text = index == 2   ? (bProbe ? Dap().usbProbe.Probe().product : std::string("Dual RS232-HS"))
                             : index == 3 ? (bProbe ? Dap().usbProbe.Probe().serial : std::string("FT0001"))
                             : index == 4 ? (bProbe ? std::string("CMSIS-DAP v2 Interface") : std::string("Vendor"))
                                          : std::string();
    const int nCopied = std::min(nLength, static_cast<int>(text.size()));
    memcpy(pData, text.data(), static_cast<size_t>(nCopied));
    return nCopied;
}

int UsbClaimInterface(libusb_device_handle*, int nInterface)
{
    Dap().log.push_back("claim " + std::to_string(nInterface));
    return 0;
}

int UsbReleaseInterface(libusb_device_handle*, int)
{
    return 0;
}

int UsbBulkTransfer(libusb_device_handle*, unsigned char endpoint, unsigned char* pData, int nLength, int* pnMoved,
                    unsigned int)
{
    *pnMoved = 0;
    if (endpoint == 0x04)
    {
        Dap().CountWrite();
        if (!Dap().bUsbPresent)
            return LIBUSB_ERROR_NO_DEVICE;
        Dap().log.push_back(Line("bulk", pData, static_cast<size_t>(nLength)));
        UsbAnswers().answers.push_back(Dap().usbProbe.Answer(pData, static_cast<size_t>(nLength)));
        *pnMoved = nLength;
        return 0;
    }
    if (!Dap().bUsbPresent)
        return LIBUSB_ERROR_NO_DEVICE;
    if (UsbAnswers().answers.empty())
        return LIBUSB_ERROR_TIMEOUT;
    const std::vector<uint8_t> answer = UsbAnswers().answers.front();
    UsbAnswers().answers.pop_front();
    // A bulk answer longer than the buffer is an overflow, as on the bus.
    if (answer.size() > static_cast<size_t>(nLength))
        return LIBUSB_ERROR_OVERFLOW;
    memcpy(pData, answer.data(), answer.size());
    *pnMoved = static_cast<int>(answer.size());
    return 0;
}

const char* UsbErrorName(int nError)
{
    return nError == LIBUSB_ERROR_ACCESS      ? "LIBUSB_ERROR_ACCESS"
           : nError == LIBUSB_ERROR_NO_DEVICE ? "LIBUSB_ERROR_NO_DEVICE"
           : nError == LIBUSB_ERROR_TIMEOUT   ? "LIBUSB_ERROR_TIMEOUT"
                                              : "LIBUSB_ERROR_OTHER";
}

} // namespace

DapStandin& Dap()
{
    static DapStandin s_standin;
    return s_standin;
}

DapLibraries StandinDapLibraries()
{
    Dap() = DapStandin();
    HidAnswers().answers.clear();
    UsbAnswers().answers.clear();
    static const HidapiApi s_hidapi = {&HidInit,  &HidEnumerate,   &HidFreeEnumeration, &HidOpenPath,
                                       &HidWrite, &HidReadTimeout, &HidClose,           &HidError};
    static const LibusbApi s_libusb = {&UsbInit,
                                       &UsbGetDeviceList,
                                       &UsbFreeDeviceList,
                                       &UsbGetDeviceDescriptor,
                                       &UsbGetActiveConfigDescriptor,
                                       &UsbFreeConfigDescriptor,
                                       &UsbGetBusNumber,
                                       &UsbGetDeviceAddress,
                                       &UsbOpen,
                                       &UsbClose,
                                       &UsbGetStringDescriptorAscii,
                                       &UsbClaimInterface,
                                       &UsbReleaseInterface,
                                       &UsbBulkTransfer,
                                       &UsbErrorName};
    DapLibraries libraries;
    libraries.pHidapi = &s_hidapi;
    libraries.pLibusb = &s_libusb;
    return libraries;
}
