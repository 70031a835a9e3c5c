#include "dap_windows.h"
#include "port_factory.h"

#include <algorithm>

#include "system_library.h"

// {CDB3B5AD-293B-4663-AA36-1AAE46463776}
const GUID DAP_V2_INTERFACE = {0xCDB3B5AD, 0x293B, 0x4663, {0xAA, 0x36, 0x1A, 0xAE, 0x46, 0x46, 0x37, 0x76}};

namespace {

// A probe's transfers wait this long for the probe before it is lost.
const DWORD TIMEOUT_MS = 1000;
// USB's descriptor types and English, the language asked for strings.
const UCHAR DEVICE_DESCRIPTOR = 1;
const UCHAR STRING_DESCRIPTOR = 3;
const USHORT ENGLISH = 0x0409;

// The system paths of the devices present with an interface of that class.
std::vector<std::string> InterfacePaths(const WinDapApi& api, const GUID& guid)
{
    std::vector<std::string> paths;
    HDEVINFO hInfo = api.pfnGetClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hInfo == INVALID_HANDLE_VALUE)
        return paths;
    for (DWORD i = 0; i < 256; ++i)
    {
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof(data);
        if (!api.pfnEnumDeviceInterfaces(hInfo, nullptr, &guid, i, &data))
            break;
        DWORD nNeeded = 0;
        api.pfnGetDeviceInterfaceDetail(hInfo, &data, nullptr, 0, &nNeeded, nullptr);
        if (nNeeded < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || nNeeded > 4096)
            continue;
        std::vector<DWORD> buffer((nNeeded + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
        auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (api.pfnGetDeviceInterfaceDetail(hInfo, &data, pDetail, nNeeded, nullptr, nullptr))
            paths.push_back(pDetail->DevicePath);
    }
    api.pfnDestroyDeviceInfoList(hInfo);
    return paths;
}

HANDLE OpenDevice(const WinDapApi& api, const std::string& path, DWORD dwAccess)
{
    return api.pfnCreateFile(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
}

// A USB string descriptor's text: its length byte, its type, then UTF-16 units.
std::string UsbString(const WinDapApi& api, WINUSB_INTERFACE_HANDLE hUsb, UCHAR index)
{
    UCHAR buffer[256] = {};
    ULONG nMoved = 0;
    if (index == 0 || !api.pfnUsbDescriptor(hUsb, STRING_DESCRIPTOR, index, ENGLISH, buffer, sizeof(buffer), &nMoved) ||
        nMoved < 2)
        return std::string();
    const size_t nUnits = (std::min<size_t>(nMoved, buffer[0]) - 2) / 2;
    std::wstring text;
    for (size_t i = 0; i < nUnits; ++i)
        text += static_cast<wchar_t>(buffer[2 + 2 * i] | buffer[3 + 2 * i] << 8);
    return Utf8OfWide(text.c_str(), text.size());
}

// The first bulk pipe out and in of the interface open.
bool BulkPipes(const WinDapApi& api, WINUSB_INTERFACE_HANDLE hUsb, const USB_INTERFACE_DESCRIPTOR& setting,
               uint8_t& out, uint8_t& in)
{
    out = 0;
    in = 0;
    for (UCHAR i = 0; i < setting.bNumEndpoints; ++i)
    {
        WINUSB_PIPE_INFORMATION pipe = {};
        if (!api.pfnUsbPipe(hUsb, 0, i, &pipe) || pipe.PipeType != UsbdPipeTypeBulk)
            continue;
        uint8_t& slot = (pipe.PipeId & 0x80) != 0 ? in : out;
        if (slot == 0)
            slot = pipe.PipeId;
    }
    return out != 0 && in != 0;
}

// What both links keep of their probe, and what they say where it fails.
class CWinLinkBase : public IDapLink
{
public:
    CWinLinkBase(const WinDapApi& api, const DapProbeFound& probe) : m_api(api), m_probe(probe) {}
    void SetPacketSize(size_t nBytes) override { m_nPacket = nBytes; }
    std::string Description() const override { return DescribeDapProbe(m_probe); }
    // The device opened for reports or transfers, then what the transport needs started.
    bool Open(std::string& strError) override
    {
        m_hDevice = OpenDevice(m_api, m_probe.path, GENERIC_READ | GENERIC_WRITE);
        if (m_hDevice != INVALID_HANDLE_VALUE && Start())
            return true;
        strError = Refused();
        Close();
        return false;
    }

protected:
    virtual bool Start() = 0;
    std::string Failed(const char* pszWhat) const
    {
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_SEM_TIMEOUT || dwError == WAIT_TIMEOUT)
            return "The CMSIS-DAP probe " + Description() + " did not answer within a second.";
        return "The CMSIS-DAP probe " + Description() + " stopped answering (" + pszWhat + " failed, error " +
               std::to_string(dwError) + "): check its USB cable.";
    }
    std::string Refused() const
    {
        const DWORD dwError = ::GetLastError();
        return "The CMSIS-DAP probe " + Description() + " could not be opened (error " + std::to_string(dwError) +
               (dwError == ERROR_ACCESS_DENIED ? ": another program has it open" : "") + ").";
    }

    const WinDapApi& m_api;
    DapProbeFound m_probe;
    size_t m_nPacket = 64;
    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
};

// v1: each packet one HID output report, the report number 0 before it, moved with overlapped
// I/O so that a probe that does not answer is given up after a second.
class CWinHidLink : public CWinLinkBase
{
public:
    using CWinLinkBase::CWinLinkBase;
    ~CWinHidLink() override { Close(); }
    bool Start() override
    {
        m_hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        return m_hEvent != nullptr;
    }
    void Close() override
    {
        if (m_hDevice != INVALID_HANDLE_VALUE)
            m_api.pfnCloseHandle(m_hDevice);
        if (m_hEvent != nullptr)
            ::CloseHandle(m_hEvent);
        m_hDevice = INVALID_HANDLE_VALUE;
        m_hEvent = nullptr;
    }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        m_report.assign(m_nPacket + 1, 0);
        std::copy(command.begin(), command.begin() + static_cast<std::ptrdiff_t>(std::min(command.size(), m_nPacket)),
                  m_report.begin() + 1);
        DWORD nMoved = 0;
        if (Move(true, m_report, nMoved) && nMoved == m_report.size())
            return true;
        strError = Failed("WriteFile");
        return false;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned nTimeoutMs, std::string& strError) override
    {
        m_report.assign(m_nPacket + 1, 0);
        DWORD nMoved = 0;
        if (!Move(false, m_report, nMoved, nTimeoutMs) || nMoved < 2)
        {
            strError = Failed("ReadFile");
            return false;
        }
        // The report number first.
        answer.assign(m_report.begin() + 1, m_report.begin() + nMoved);
        return true;
    }

private:
    // One report out or in, given up after nTimeoutMs.
    bool Move(bool bOut, std::vector<uint8_t>& report, DWORD& nMoved, DWORD nTimeoutMs = TIMEOUT_MS)
    {
        if (m_hDevice == INVALID_HANDLE_VALUE)
        {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        OVERLAPPED overlapped = {};
        overlapped.hEvent = m_hEvent;
        ::ResetEvent(m_hEvent);
        const DWORD nSize = static_cast<DWORD>(report.size());
        const BOOL bDone = bOut ? m_api.pfnWriteFile(m_hDevice, report.data(), nSize, nullptr, &overlapped)
                                : m_api.pfnReadFile(m_hDevice, report.data(), nSize, nullptr, &overlapped);
        if (!bDone && ::GetLastError() != ERROR_IO_PENDING)
            return false;
        if (!bDone && m_api.pfnWait(m_hEvent, nTimeoutMs) != WAIT_OBJECT_0)
        {
            m_api.pfnCancelIo(m_hDevice);
            ::SetLastError(WAIT_TIMEOUT);
            return false;
        }
        return m_api.pfnOverlappedResult(m_hDevice, &overlapped, &nMoved, TRUE) != FALSE;
    }

    HANDLE m_hEvent = nullptr;
    std::vector<uint8_t> m_report;
};

// v2: each packet one bulk transfer through WinUSB, the pipes' time limit a second.
class CWinUsbLink : public CWinLinkBase
{
public:
    using CWinLinkBase::CWinLinkBase;
    ~CWinUsbLink() override { Close(); }
    // WinUSB on the device, each pipe given a second.
    bool Start() override
    {
        if (!m_api.pfnUsbInitialize(m_hDevice, &m_hUsb))
            return false;
        ULONG nTimeout = TIMEOUT_MS;
        for (UCHAR pipe : {m_probe.endpointOut, m_probe.endpointIn})
            m_api.pfnUsbPolicy(m_hUsb, pipe, PIPE_TRANSFER_TIMEOUT, sizeof(nTimeout), &nTimeout);
        return true;
    }
    void Close() override
    {
        if (m_hUsb != nullptr)
            m_api.pfnUsbFree(m_hUsb);
        if (m_hDevice != INVALID_HANDLE_VALUE)
            m_api.pfnCloseHandle(m_hDevice);
        m_hUsb = nullptr;
        m_hDevice = INVALID_HANDLE_VALUE;
    }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        m_out = command;
        ULONG nMoved = 0;
        if (m_hUsb != nullptr && m_api.pfnUsbWrite(m_hUsb, m_probe.endpointOut, m_out.data(),
                                                   static_cast<ULONG>(m_out.size()), &nMoved, nullptr) &&
            nMoved == m_out.size())
            return true;
        strError = Failed("WinUsb_WritePipe");
        return false;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned, std::string& strError) override
    {
        answer.assign(m_nPacket, 0);
        ULONG nMoved = 0;
        if (m_hUsb == nullptr || !m_api.pfnUsbRead(m_hUsb, m_probe.endpointIn, answer.data(),
                                                   static_cast<ULONG>(answer.size()), &nMoved, nullptr))
        {
            strError = Failed("WinUsb_ReadPipe");
            return false;
        }
        answer.resize(nMoved);
        return true;
    }

private:
    WINUSB_INTERFACE_HANDLE m_hUsb = nullptr;
    std::vector<uint8_t> m_out;
};

void FindUsbProbes(const WinDapApi& api, std::vector<DapProbeFound>& probes, size_t& nDenied)
{
    for (const std::string& path : InterfacePaths(api, DAP_V2_INTERFACE))
    {
        HANDLE hDevice = OpenDevice(api, path, GENERIC_READ | GENERIC_WRITE);
        WINUSB_INTERFACE_HANDLE hUsb = nullptr;
        if (hDevice == INVALID_HANDLE_VALUE || !api.pfnUsbInitialize(hDevice, &hUsb))
        {
            // Another program has it: a probe, most likely, but not ours to look at.
            ++nDenied;
            if (hDevice != INVALID_HANDLE_VALUE)
                api.pfnCloseHandle(hDevice);
            continue;
        }
        DapProbeFound probe;
        USB_INTERFACE_DESCRIPTOR setting = {};
        USB_DEVICE_DESCRIPTOR device = {};
        ULONG nMoved = 0;
        if (api.pfnUsbInterface(hUsb, 0, &setting) && BulkPipes(api, hUsb, setting, probe.endpointOut, probe.endpointIn) &&
            NamesCmsisDap(UsbString(api, hUsb, setting.iInterface)) &&
            api.pfnUsbDescriptor(hUsb, DEVICE_DESCRIPTOR, 0, 0, reinterpret_cast<PUCHAR>(&device), sizeof(device),
                                 &nMoved) &&
            nMoved >= sizeof(device))
        {
            probe.product = UsbString(api, hUsb, device.iProduct);
            probe.serial = UsbString(api, hUsb, device.iSerialNumber);
            probe.nVersion = 2;
            probe.path = path;
            probe.nInterface = setting.bInterfaceNumber;
            probes.push_back(probe);
        }
        api.pfnUsbFree(hUsb);
        api.pfnCloseHandle(hDevice);
    }
}

void FindHidProbes(const WinDapApi& api, std::vector<DapProbeFound>& probes)
{
    GUID hid = {};
    api.pfnHidGuid(&hid);
    for (const std::string& path : InterfacePaths(api, hid))
    {
        // No access asked: enough for the strings, even of a device the system holds.
        HANDLE hDevice = OpenDevice(api, path, 0);
        if (hDevice == INVALID_HANDLE_VALUE)
            continue;
        wchar_t product[128] = {}, serial[128] = {};
        DapProbeFound probe;
        if (api.pfnHidProduct(hDevice, product, sizeof(product) - sizeof(wchar_t)))
            probe.product = Utf8OfWide(product, 127);
        if (api.pfnHidSerial(hDevice, serial, sizeof(serial) - sizeof(wchar_t)))
            probe.serial = Utf8OfWide(serial, 127);
        api.pfnCloseHandle(hDevice);
        probe.nVersion = 1;
        probe.path = path;
        if (NamesCmsisDap(probe.product))
            AddHidProbe(probes, probe);
    }
}

} // namespace

bool FindWinDapProbes(const WinDapApi& api, std::vector<DapProbeFound>& probes, std::string& strError,
                      size_t& nDenied)
{
    probes.clear();
    nDenied = 0;
    if (!api.bHid && !api.bUsb)
    {
        strError = api.strMissing;
        return false;
    }
    if (api.bUsb)
        FindUsbProbes(api, probes, nDenied);
    if (api.bHid)
        FindHidProbes(api, probes);
    return true;
}

DapFinder WinDapFinderOf(const WinDapApi& api)
{
    DapFinder finder;
    finder.find = [&api](std::vector<DapProbeFound>& probes, std::string& strError, size_t& nDenied) {
        return FindWinDapProbes(api, probes, strError, nDenied);
    };
    finder.link = [&api](const DapProbeFound& probe) -> std::unique_ptr<IDapLink> {
        if (probe.nVersion == 1)
            return std::unique_ptr<IDapLink>(new CWinHidLink(api, probe));
        return std::unique_ptr<IDapLink>(new CWinUsbLink(api, probe));
    };
    finder.strMissing = api.strMissing;
    finder.strAccess = "Close the other program that uses the probe.";
    return finder;
}

std::unique_ptr<IDapLink> MakeWinDapLink(const WinDapApi& api, const std::string& serial)
{
    return MakeFoundLink(WinDapFinderOf(api), serial);
}

const WinDapApi& SystemWinDap()
{
    static WinDapApi s_api;
    static bool s_bLoaded = false;
    if (s_bLoaded)
        return s_api;
    s_bLoaded = true;
    s_api.pfnCreateFile = &::CreateFileA;
    s_api.pfnWriteFile = &::WriteFile;
    s_api.pfnReadFile = &::ReadFile;
    s_api.pfnWait = &::WaitForSingleObject;
    s_api.pfnOverlappedResult = &::GetOverlappedResult;
    s_api.pfnCloseHandle = &::CloseHandle;
    std::string strMissing;
    // CancelIo came with Windows 98 and NT 4.0, as did HID; Windows 95 has neither.
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    const bool bCancel = hKernel != nullptr && FindCall(hKernel, "CancelIo", s_api.pfnCancelIo, strMissing);
    HMODULE hSetup = LoadSystemLibrary("setupapi.dll");
    const bool bSetup = hSetup != nullptr &&
                        FindCall(hSetup, "SetupDiGetClassDevsA", s_api.pfnGetClassDevs, strMissing) &&
                        FindCall(hSetup, "SetupDiEnumDeviceInterfaces", s_api.pfnEnumDeviceInterfaces, strMissing) &&
                        FindCall(hSetup, "SetupDiGetDeviceInterfaceDetailA", s_api.pfnGetDeviceInterfaceDetail,
                                 strMissing) &&
                        FindCall(hSetup, "SetupDiDestroyDeviceInfoList", s_api.pfnDestroyDeviceInfoList, strMissing);
    HMODULE hHid = LoadSystemLibrary("hid.dll");
    s_api.bHid = bSetup && bCancel && hHid != nullptr && FindCall(hHid, "HidD_GetHidGuid", s_api.pfnHidGuid, strMissing) &&
                 FindCall(hHid, "HidD_GetProductString", s_api.pfnHidProduct, strMissing) &&
                 FindCall(hHid, "HidD_GetSerialNumberString", s_api.pfnHidSerial, strMissing);
    HMODULE hUsb = LoadSystemLibrary("winusb.dll");
    s_api.bUsb = bSetup && hUsb != nullptr && FindCall(hUsb, "WinUsb_Initialize", s_api.pfnUsbInitialize, strMissing) &&
                 FindCall(hUsb, "WinUsb_Free", s_api.pfnUsbFree, strMissing) &&
                 FindCall(hUsb, "WinUsb_QueryInterfaceSettings", s_api.pfnUsbInterface, strMissing) &&
                 FindCall(hUsb, "WinUsb_QueryPipe", s_api.pfnUsbPipe, strMissing) &&
                 FindCall(hUsb, "WinUsb_GetDescriptor", s_api.pfnUsbDescriptor, strMissing) &&
                 FindCall(hUsb, "WinUsb_SetPipePolicy", s_api.pfnUsbPolicy, strMissing) &&
                 FindCall(hUsb, "WinUsb_WritePipe", s_api.pfnUsbWrite, strMissing) &&
                 FindCall(hUsb, "WinUsb_ReadPipe", s_api.pfnUsbRead, strMissing);
    if (!s_api.bHid && !s_api.bUsb)
        s_api.strMissing = "This Windows has neither HID's calls (hid.dll) nor WinUSB (winusb.dll), through which "
                           "CMSIS-DAP probes are reached.";
    else if (!s_api.bUsb)
        s_api.strMissing = "CMSIS-DAP v2 probes need WinUSB (winusb.dll, Windows XP SP2 and later), which this Windows "
                           "does not have; v1 probes are looked for.";
    return s_api;
}

DapFinder SystemDapFinder()
{
    return WinDapFinderOf(SystemWinDap());
}
