#include "dap_windows_standin.h"

#include <cstdio>
#include <cstring>
#include <deque>

#include "hex_bytes.h"

namespace {

// The devices, by the handles their paths open to.
enum Device
{
    NONE,
    KEYBOARD,
    HID_PROBE,
    USB_PROBE,
};

const char* const PATHS[] = {"", "\\\\?\\hid#vid_046d&pid_c31c#keyboard", "\\\\?\\hid#vid_0d28&pid_0204#dap",
                             "\\\\?\\usb#vid_2e8a&pid_000c#dap2"};
const GUID HID_CLASS = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

char g_handles[4];
char g_list;
char g_usb;
std::deque<std::vector<uint8_t>> g_answers[4];
DWORD g_moved = 0;

HANDLE HandleOf(Device device)
{
    return reinterpret_cast<HANDLE>(&g_handles[device]);
}

Device DeviceOf(HANDLE h)
{
    for (int i = KEYBOARD; i <= USB_PROBE; ++i)
    {
        if (h == HandleOf(static_cast<Device>(i)))
            return static_cast<Device>(i);
    }
    return NONE;
}

bool Present(Device device)
{
    return device == KEYBOARD || (device == HID_PROBE && WinDap().bHidPresent) ||
           (device == USB_PROBE && WinDap().bUsbPresent);
}

std::string Line(const char* pszWhat, const uint8_t* pData, size_t nCount)
{
    return std::string(pszWhat) + " " + std::to_string(nCount) + ":" + HexBytes(pData, nCount);
}

// --- setupapi.dll ---

const GUID* g_pListed = nullptr;

HDEVINFO WINAPI GetClassDevs(const GUID* pGuid, PCSTR, HWND, DWORD)
{
    g_pListed = pGuid;
    return reinterpret_cast<HDEVINFO>(&g_list);
}

// The devices a class lists now.
std::vector<Device> Listed()
{
    if (memcmp(g_pListed, &HID_CLASS, sizeof(GUID)) == 0)
        return WinDap().bHidPresent ? std::vector<Device>{KEYBOARD, HID_PROBE} : std::vector<Device>{KEYBOARD};
    if (memcmp(g_pListed, &DAP_V2_INTERFACE, sizeof(GUID)) == 0 && WinDap().bUsbPresent)
        return {USB_PROBE};
    return {};
}

WINBOOL WINAPI EnumDeviceInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD nIndex,
                                    PSP_DEVICE_INTERFACE_DATA pData)
{
    const std::vector<Device> devices = Listed();
    if (nIndex >= devices.size())
    {
        ::SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    pData->Reserved = static_cast<ULONG_PTR>(devices[nIndex]);
    return TRUE;
}

WINBOOL WINAPI GetDeviceInterfaceDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA pData,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A pDetail, DWORD nSize, PDWORD pnNeeded,
                                        PSP_DEVINFO_DATA)
{
    const char* pszPath = PATHS[pData->Reserved];
    const DWORD nNeeded = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + strlen(pszPath) + 1);
    if (pnNeeded != nullptr)
        *pnNeeded = nNeeded;
    if (pDetail == nullptr || nSize < nNeeded)
    {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    strcpy(pDetail->DevicePath, pszPath);
    return TRUE;
}

WINBOOL WINAPI DestroyDeviceInfoList(HDEVINFO)
{
    return TRUE;
}

// --- hid.dll ---

void NTAPI HidGuid(LPGUID pGuid)
{
    *pGuid = HID_CLASS;
}

BOOLEAN WideInto(PVOID pBuffer, ULONG nBytes, const std::string& text)
{
    wchar_t* pWide = static_cast<wchar_t*>(pBuffer);
    size_t i = 0;
    for (; i + 1 < nBytes / sizeof(wchar_t) && i < text.size(); ++i)
        pWide[i] = static_cast<wchar_t>(text[i]);
    pWide[i] = 0;
    return TRUE;
}

BOOLEAN NTAPI HidProduct(HANDLE h, PVOID pBuffer, ULONG nBytes)
{
    return WideInto(pBuffer, nBytes, DeviceOf(h) == HID_PROBE ? WinDap().hidProbe.Probe().product : "USB Keyboard");
}

BOOLEAN NTAPI HidSerial(HANDLE h, PVOID pBuffer, ULONG nBytes)
{
    return DeviceOf(h) == HID_PROBE ? WideInto(pBuffer, nBytes, WinDap().hidProbe.Probe().serial) : FALSE;
}

// --- kernel32 ---

HANDLE WINAPI OpenPath(LPCSTR pszPath, DWORD dwAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    for (int i = KEYBOARD; i <= USB_PROBE; ++i)
    {
        const Device device = static_cast<Device>(i);
        if (strcmp(pszPath, PATHS[i]) != 0 || !Present(device))
            continue;
        // The system holds a keyboard for itself; another program holds a busy probe.
        if ((device == KEYBOARD && dwAccess != 0) || (device == USB_PROBE && WinDap().bUsbBusy))
            break;
        if (dwAccess != 0)
            WinDap().log.push_back(std::string("open ") + pszPath);
        return HandleOf(device);
    }
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

WINBOOL WINAPI WriteReport(HANDLE h, LPCVOID pData, DWORD nBytes, LPDWORD, LPOVERLAPPED)
{
    WinDap().CountWrite();
    const Device device = DeviceOf(h);
    if (device != HID_PROBE || !Present(device))
    {
        ::SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    const uint8_t* pReport = static_cast<const uint8_t*>(pData);
    WinDap().log.push_back(Line("hid", pReport, nBytes));
    std::vector<uint8_t> answer = WinDap().hidProbe.Answer(pReport + 1, nBytes - 1);
    answer.resize(WinDap().hidProbe.Probe().nPacketSize, 0);
    answer.insert(answer.begin(), 0);
    if (!WinDap().bHidSilent)
        g_answers[HID_PROBE].push_back(answer);
    g_moved = nBytes;
    return TRUE;
}

// The device's next answer into the buffer, as much as it takes; where none waits, dwNone is the
// error.
WINBOOL NextAnswer(Device device, void* pData, DWORD nBytes, DWORD& nMoved, DWORD dwNone)
{
    const DWORD dwError = !Present(device) ? ERROR_DEVICE_NOT_CONNECTED : g_answers[device].empty() ? dwNone : 0;
    if (dwError != 0)
    {
        ::SetLastError(dwError);
        return FALSE;
    }
    const std::vector<uint8_t> answer = g_answers[device].front();
    g_answers[device].pop_front();
    nMoved = static_cast<DWORD>(std::min<size_t>(nBytes, answer.size()));
    memcpy(pData, answer.data(), nMoved);
    return TRUE;
}

WINBOOL WINAPI ReadReport(HANDLE h, LPVOID pData, DWORD nBytes, LPDWORD, LPOVERLAPPED)
{
    return NextAnswer(DeviceOf(h), pData, nBytes, g_moved, ERROR_IO_PENDING);
}

DWORD WINAPI Wait(HANDLE, DWORD)
{
    return WAIT_TIMEOUT;
}

WINBOOL WINAPI OverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD pnMoved, WINBOOL)
{
    *pnMoved = g_moved;
    return TRUE;
}

WINBOOL WINAPI CancelIoOf(HANDLE)
{
    return TRUE;
}

WINBOOL WINAPI CloseHandleOf(HANDLE h)
{
    g_answers[DeviceOf(h)].clear();
    return TRUE;
}

// --- winusb.dll ---

WINBOOL WINAPI UsbInitialize(HANDLE h, PWINUSB_INTERFACE_HANDLE phUsb)
{
    *phUsb = DeviceOf(h) == USB_PROBE ? &g_usb : nullptr;
    return *phUsb != nullptr;
}

WINBOOL WINAPI UsbFree(WINUSB_INTERFACE_HANDLE)
{
    return TRUE;
}

WINBOOL WINAPI UsbInterface(WINUSB_INTERFACE_HANDLE, UCHAR, PUSB_INTERFACE_DESCRIPTOR pSetting)
{
    *pSetting = {};
    pSetting->bLength = sizeof(USB_INTERFACE_DESCRIPTOR);
    pSetting->bNumEndpoints = 2;
    pSetting->bInterfaceClass = 0xFF;
    pSetting->iInterface = 4;
    return TRUE;
}

WINBOOL WINAPI UsbPipe(WINUSB_INTERFACE_HANDLE, UCHAR, UCHAR nIndex, PWINUSB_PIPE_INFORMATION pPipe)
{
    *pPipe = {};
    pPipe->PipeType = UsbdPipeTypeBulk;
    pPipe->PipeId = nIndex == 0 ? 0x02 : 0x81;
    pPipe->MaximumPacketSize = 512;
    return nIndex < 2;
}

WINBOOL WINAPI UsbDescriptor(WINUSB_INTERFACE_HANDLE, UCHAR type, UCHAR index, USHORT, PUCHAR pBuffer, ULONG nBytes,
                             PULONG pnMoved)
{
    std::vector<uint8_t> descriptor;
    if (type == 1)
    {
        USB_DEVICE_DESCRIPTOR device = {};
        device.bLength = sizeof(device);
        device.bDescriptorType = 1;
        device.idVendor = 0x2E8A;
        device.idProduct = 0x000C;
        device.iProduct = 2;
        device.iSerialNumber = 3;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(&device);
        descriptor.assign(p, p + sizeof(device));
    }
    else
    {
        const std::string text = index == 2   ? WinDap().usbProbe.Probe().product
                                 : index == 3 ? WinDap().usbProbe.Probe().serial
                                              : std::string("CMSIS-DAP v2 Interface");
        descriptor = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
        for (char c : text)
            descriptor.insert(descriptor.end(), {static_cast<uint8_t>(c), 0});
    }
    *pnMoved = static_cast<ULONG>(std::min<size_t>(nBytes, descriptor.size()));
    memcpy(pBuffer, descriptor.data(), *pnMoved);
    return TRUE;
}

WINBOOL WINAPI UsbPolicy(WINUSB_INTERFACE_HANDLE, UCHAR pipe, ULONG type, ULONG, PVOID pValue)
{
    if (type == PIPE_TRANSFER_TIMEOUT)
    {
        char line[32];
        snprintf(line, sizeof(line), "timeout %02X %lu", pipe, *static_cast<ULONG*>(pValue));
        WinDap().log.push_back(line);
    }
    return TRUE;
}

WINBOOL WINAPI UsbWrite(WINUSB_INTERFACE_HANDLE, UCHAR, PUCHAR pData, ULONG nBytes, PULONG pnMoved, LPOVERLAPPED)
{
    WinDap().CountWrite();
    if (!WinDap().bUsbPresent)
    {
        ::SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    WinDap().log.push_back(Line("bulk", pData, nBytes));
    g_answers[USB_PROBE].push_back(WinDap().usbProbe.Answer(pData, nBytes));
    *pnMoved = nBytes;
    return TRUE;
}

WINBOOL WINAPI UsbRead(WINUSB_INTERFACE_HANDLE, UCHAR, PUCHAR pData, ULONG nBytes, PULONG pnMoved, LPOVERLAPPED)
{
    DWORD nMoved = 0;
    const WINBOOL bRead = NextAnswer(USB_PROBE, pData, nBytes, nMoved, ERROR_SEM_TIMEOUT);
    *pnMoved = nMoved;
    return bRead;
}

} // namespace

WinDapStandin& WinDap()
{
    static WinDapStandin s_standin;
    return s_standin;
}

const WinDapApi& StandinWinDap()
{
    WinDap() = WinDapStandin();
    for (auto& answers : g_answers)
        answers.clear();
    static WinDapApi s_api;
    s_api.pfnGetClassDevs = &GetClassDevs;
    s_api.pfnEnumDeviceInterfaces = &EnumDeviceInterfaces;
    s_api.pfnGetDeviceInterfaceDetail = &GetDeviceInterfaceDetail;
    s_api.pfnDestroyDeviceInfoList = &DestroyDeviceInfoList;
    s_api.pfnHidGuid = &HidGuid;
    s_api.pfnHidProduct = &HidProduct;
    s_api.pfnHidSerial = &HidSerial;
    s_api.pfnUsbInitialize = &UsbInitialize;
    s_api.pfnUsbFree = &UsbFree;
    s_api.pfnUsbInterface = &UsbInterface;
    s_api.pfnUsbPipe = &UsbPipe;
    s_api.pfnUsbDescriptor = &UsbDescriptor;
    s_api.pfnUsbPolicy = &UsbPolicy;
    s_api.pfnUsbWrite = &UsbWrite;
    s_api.pfnUsbRead = &UsbRead;
    s_api.pfnCreateFile = &OpenPath;
    s_api.pfnWriteFile = &WriteReport;
    s_api.pfnReadFile = &ReadReport;
    s_api.pfnWait = &Wait;
    s_api.pfnOverlappedResult = &OverlappedResult;
    s_api.pfnCancelIo = &CancelIoOf;
    s_api.pfnCloseHandle = &CloseHandleOf;
    s_api.bHid = true;
    s_api.bUsb = true;
    return s_api;
}
