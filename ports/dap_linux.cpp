// The libraries loaded with dlopen, and the two links over them. This file sees no Windows
// header: it is compiled as Linux code (see CMakeLists.txt), and libusb's header checks every
// entry of its table against the library's own declarations.
#include "dap_linux.h"
#include "port_factory.h"

#include <dlfcn.h>
#include <libusb.h>

#include <algorithm>
#include <type_traits>

namespace {

template <class T>
bool Find(void* pLibrary, const char* pszName, T& pfn)
{
    pfn = reinterpret_cast<T>(dlsym(pLibrary, pszName));
    return pfn != nullptr;
}

static_assert(std::is_same<decltype(&libusb_init), decltype(LibusbApi::pfnInit)>::value &&
                  std::is_same<decltype(&libusb_get_device_list), decltype(LibusbApi::pfnGetDeviceList)>::value &&
                  std::is_same<decltype(&libusb_bulk_transfer), decltype(LibusbApi::pfnBulkTransfer)>::value &&
                  std::is_same<decltype(&libusb_get_string_descriptor_ascii),
                               decltype(LibusbApi::pfnGetStringDescriptorAscii)>::value &&
                  std::is_same<decltype(&libusb_get_active_config_descriptor),
                               decltype(LibusbApi::pfnGetActiveConfigDescriptor)>::value,
              "libusb's calls as its header declares them");

// What both links keep of their probe, and what they say where it fails.
class CProbeLinkBase : public IDapLink
{
public:
    explicit CProbeLinkBase(const DapProbeFound& probe) : m_probe(probe) {}
    void SetPacketSize(size_t nBytes) override { m_nPacket = nBytes; }
    std::string Description() const override { return DescribeDapProbe(m_probe); }

protected:
    std::string Refused(const std::string& strWhy) const
    {
        return "The CMSIS-DAP probe " + Description() + " could not be opened (" + strWhy +
               "). On Linux the udev rule of MORVA's package gives the probes to the user logged in.";
    }
    std::string Silent() const { return "The CMSIS-DAP probe " + Description() + " did not answer within a second."; }
    std::string Gone(const std::string& strWhy) const
    {
        return "The CMSIS-DAP probe " + Description() + " stopped answering (" + strWhy + "): check its USB cable.";
    }

    DapProbeFound m_probe;
    size_t m_nPacket = 64;
};

// v1: each packet one HID report, the report number 0 before it.
class CHidLink : public CProbeLinkBase
{
public:
    CHidLink(const HidapiApi& api, const DapProbeFound& probe) : CProbeLinkBase(probe), m_api(api) {}
    ~CHidLink() override { Close(); }

    bool Open(std::string& strError) override
    {
        m_pDevice = m_api.pfnOpenPath(m_probe.path.c_str());
        if (m_pDevice == nullptr)
            strError = Refused(Utf8OfWide(m_api.pfnError(nullptr)));
        return m_pDevice != nullptr;
    }
    void Close() override
    {
        if (m_pDevice != nullptr)
            m_api.pfnClose(m_pDevice);
        m_pDevice = nullptr;
    }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        // A report is always the whole packet: the command, then zeros.
        m_report.assign(m_nPacket + 1, 0);
        std::copy(command.begin(), command.begin() + static_cast<std::ptrdiff_t>(std::min(command.size(), m_nPacket)),
                  m_report.begin() + 1);
        if (m_pDevice != nullptr && m_api.pfnWrite(m_pDevice, m_report.data(), m_report.size()) >= 0)
            return true;
        strError = Gone(Utf8OfWide(m_api.pfnError(m_pDevice)));
        return false;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned nTimeoutMs, std::string& strError) override
    {
        answer.assign(m_nPacket, 0);
        const int nRead = m_pDevice != nullptr ? m_api.pfnReadTimeout(m_pDevice, answer.data(), answer.size(),
                                                                      static_cast<int>(nTimeoutMs))
                                               : -1;
        if (nRead > 0)
        {
            answer.resize(static_cast<size_t>(nRead));
            return true;
        }
        strError = nRead == 0 ? Silent() : Gone(Utf8OfWide(m_api.pfnError(m_pDevice)));
        return false;
    }

private:
    const HidapiApi& m_api;
    hid_device* m_pDevice = nullptr;
    std::vector<uint8_t> m_report;
};

// v2: each packet one bulk transfer, out on one endpoint, answered on the other.
class CUsbLink : public CProbeLinkBase
{
public:
    CUsbLink(const LibusbApi& api, const DapProbeFound& probe) : CProbeLinkBase(probe), m_api(api) {}
    ~CUsbLink() override { Close(); }

    bool Open(std::string& strError) override
    {
        libusb_device** ppList = nullptr;
        const ssize_t nDevices = m_api.pfnGetDeviceList(nullptr, &ppList);
        int nResult = LIBUSB_ERROR_NO_DEVICE;
        for (ssize_t i = 0; i < nDevices; ++i)
        {
            if (m_api.pfnGetBusNumber(ppList[i]) == m_probe.bus && m_api.pfnGetDeviceAddress(ppList[i]) == m_probe.address)
                nResult = m_api.pfnOpen(ppList[i], &m_pHandle);
        }
        if (ppList != nullptr)
            m_api.pfnFreeDeviceList(ppList, 1);
        if (nResult == 0)
        {
            nResult = m_api.pfnClaimInterface(m_pHandle, m_probe.nInterface);
            if (nResult != 0)
                Close();
        }
        if (nResult != 0)
            strError = Refused(m_api.pfnErrorName(nResult));
        return nResult == 0;
    }
    void Close() override
    {
        if (m_pHandle != nullptr)
        {
            m_api.pfnReleaseInterface(m_pHandle, m_probe.nInterface);
            m_api.pfnClose(m_pHandle);
        }
        m_pHandle = nullptr;
    }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        m_out = command;
        int nMoved = 0;
        const int nResult = m_pHandle != nullptr ? m_api.pfnBulkTransfer(m_pHandle, m_probe.endpointOut, m_out.data(),
                                                                          static_cast<int>(m_out.size()), &nMoved, 1000)
                                                 : LIBUSB_ERROR_NO_DEVICE;
        if (nResult == 0 && static_cast<size_t>(nMoved) == m_out.size())
            return true;
        strError = Failed(nResult);
        return false;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned nTimeoutMs, std::string& strError) override
    {
        answer.assign(m_nPacket, 0);
        int nMoved = 0;
        const int nResult = m_pHandle != nullptr ? m_api.pfnBulkTransfer(m_pHandle, m_probe.endpointIn, answer.data(),
                                                                          static_cast<int>(answer.size()), &nMoved, nTimeoutMs)
                                                 : LIBUSB_ERROR_NO_DEVICE;
        if (nResult == 0)
        {
            answer.resize(static_cast<size_t>(std::max(nMoved, 0)));
            return true;
        }
        strError = Failed(nResult);
        return false;
    }

private:
    std::string Failed(int nResult) const
    {
        if (nResult == LIBUSB_ERROR_TIMEOUT)
            return Silent();
        return Gone(nResult == 0 ? std::string("a packet went out short") : m_api.pfnErrorName(nResult));
    }

    const LibusbApi& m_api;
    libusb_device_handle* m_pHandle = nullptr;
    std::vector<uint8_t> m_out;
};

void FindHidProbes(const HidapiApi& api, std::vector<DapProbeFound>& probes)
{
    hid_device_info* pDevices = api.pfnEnumerate(0, 0);
    for (hid_device_info* pDevice = pDevices; pDevice != nullptr; pDevice = pDevice->next)
    {
        DapProbeFound probe;
        probe.product = Utf8OfWide(pDevice->product_string);
        if (!NamesCmsisDap(probe.product) || pDevice->path == nullptr)
            continue;
        probe.serial = Utf8OfWide(pDevice->serial_number);
        probe.nVersion = 1;
        probe.path = pDevice->path;
        AddHidProbe(probes, probe);
    }
    if (pDevices != nullptr)
        api.pfnFreeEnumeration(pDevices);
}

std::string StringOf(const LibusbApi& api, libusb_device_handle* pHandle, uint8_t index)
{
    unsigned char text[256] = {};
    const int nLength = index != 0 ? api.pfnGetStringDescriptorAscii(pHandle, index, text, sizeof(text) - 1) : 0;
    return nLength > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(nLength)) : std::string();
}

// A vendor-specific interface with a bulk endpoint out and one in, the first of each.
bool BulkPair(const libusb_interface_descriptor& setting, uint8_t& out, uint8_t& in)
{
    out = 0;
    in = 0;
    for (int i = 0; i < setting.bNumEndpoints; ++i)
    {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        if ((endpoint.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        uint8_t& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? in : out;
        if (slot == 0)
            slot = endpoint.bEndpointAddress;
    }
    return setting.bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC && out != 0 && in != 0;
}

void FindUsbProbes(const LibusbApi& api, std::vector<DapProbeFound>& probes, size_t& nDenied)
{
    libusb_device** ppList = nullptr;
    const ssize_t nDevices = api.pfnGetDeviceList(nullptr, &ppList);
    for (ssize_t i = 0; i < nDevices; ++i)
    {
        libusb_device_descriptor device = {};
        libusb_config_descriptor* pConfig = nullptr;
        if (api.pfnGetDeviceDescriptor(ppList[i], &device) != 0 ||
            api.pfnGetActiveConfigDescriptor(ppList[i], &pConfig) != 0 || pConfig == nullptr)
            continue;
        libusb_device_handle* pHandle = nullptr;
        for (int n = 0; n < pConfig->bNumInterfaces; ++n)
        {
            if (pConfig->interface[n].num_altsetting < 1)
                continue;
            const libusb_interface_descriptor& setting = pConfig->interface[n].altsetting[0];
            DapProbeFound probe;
            if (!BulkPair(setting, probe.endpointOut, probe.endpointIn))
                continue;
            // The interface's own string tells a CMSIS-DAP interface; reading it needs the device
            // open, which a probe the user has no access to refuses.
            if (pHandle == nullptr && api.pfnOpen(ppList[i], &pHandle) != 0)
            {
                pHandle = nullptr;
                ++nDenied;
                break;
            }
            if (!NamesCmsisDap(StringOf(api, pHandle, setting.iInterface)))
                continue;
            probe.product = StringOf(api, pHandle, device.iProduct);
            probe.serial = StringOf(api, pHandle, device.iSerialNumber);
            probe.nVersion = 2;
            probe.bus = api.pfnGetBusNumber(ppList[i]);
            probe.address = api.pfnGetDeviceAddress(ppList[i]);
            probe.nInterface = setting.bInterfaceNumber;
            probes.push_back(probe);
            break;
        }
        if (pHandle != nullptr)
            api.pfnClose(pHandle);
        api.pfnFreeConfigDescriptor(pConfig);
    }
    if (ppList != nullptr)
        api.pfnFreeDeviceList(ppList, 1);
}

} // namespace

bool FindDapProbes(const DapLibraries& libraries, std::vector<DapProbeFound>& probes, std::string& strError,
                   size_t* pnDenied)
{
    size_t nDenied = 0;
    probes.clear();
    if (libraries.pHidapi == nullptr && libraries.pLibusb == nullptr)
    {
        strError = libraries.strMissing;
        return false;
    }
    if (libraries.pLibusb != nullptr)
        FindUsbProbes(*libraries.pLibusb, probes, nDenied);
    if (libraries.pHidapi != nullptr)
        FindHidProbes(*libraries.pHidapi, probes);
    if (pnDenied != nullptr)
        *pnDenied = nDenied;
    return true;
}

DapFinder DapFinderOf(const DapLibraries& libraries)
{
    DapFinder finder;
    finder.find = [libraries](std::vector<DapProbeFound>& probes, std::string& strError, size_t& nDenied) {
        return FindDapProbes(libraries, probes, strError, &nDenied);
    };
    finder.link = [libraries](const DapProbeFound& probe) -> std::unique_ptr<IDapLink> {
        if (probe.nVersion == 1)
            return std::unique_ptr<IDapLink>(new CHidLink(*libraries.pHidapi, probe));
        return std::unique_ptr<IDapLink>(new CUsbLink(*libraries.pLibusb, probe));
    };
    finder.strMissing = libraries.strMissing;
    finder.strAccess = "On Linux the udev rule of MORVA's package gives CMSIS-DAP probes to the user logged in.";
    return finder;
}

std::unique_ptr<IDapLink> MakeDapLink(const DapLibraries& libraries, const std::string& serial)
{
    return MakeFoundLink(DapFinderOf(libraries), serial);
}

namespace {

// A library's table, loaded by pfnLoad at the first call and kept: null, with strMissing, where
// the library or one of its calls is not there.
template <class Api>
const Api* Loaded(bool (*pfnLoad)(Api&), const char* pszMissing, std::string& strError)
{
    static Api s_api;
    static const bool s_bLoaded = pfnLoad(s_api);
    strError = s_bLoaded ? "" : pszMissing;
    return s_bLoaded ? &s_api : nullptr;
}

bool LoadHidapi(HidapiApi& api)
{
    void* pLibrary = dlopen("libhidapi-hidraw.so.0", RTLD_NOW);
    if (pLibrary == nullptr)
        pLibrary = dlopen("libhidapi-libusb.so.0", RTLD_NOW);
    return pLibrary != nullptr && Find(pLibrary, "hid_init", api.pfnInit) &&
           Find(pLibrary, "hid_enumerate", api.pfnEnumerate) &&
           Find(pLibrary, "hid_free_enumeration", api.pfnFreeEnumeration) &&
           Find(pLibrary, "hid_open_path", api.pfnOpenPath) && Find(pLibrary, "hid_write", api.pfnWrite) &&
           Find(pLibrary, "hid_read_timeout", api.pfnReadTimeout) && Find(pLibrary, "hid_close", api.pfnClose) &&
           Find(pLibrary, "hid_error", api.pfnError) && api.pfnInit() == 0;
}

bool LoadLibusb(LibusbApi& api)
{
    void* pLibrary = dlopen("libusb-1.0.so.0", RTLD_NOW);
    // The library's default context serves every call (a null context).
    return pLibrary != nullptr && Find(pLibrary, "libusb_init", api.pfnInit) &&
           Find(pLibrary, "libusb_get_device_list", api.pfnGetDeviceList) &&
           Find(pLibrary, "libusb_free_device_list", api.pfnFreeDeviceList) &&
           Find(pLibrary, "libusb_get_device_descriptor", api.pfnGetDeviceDescriptor) &&
           Find(pLibrary, "libusb_get_active_config_descriptor", api.pfnGetActiveConfigDescriptor) &&
           Find(pLibrary, "libusb_free_config_descriptor", api.pfnFreeConfigDescriptor) &&
           Find(pLibrary, "libusb_get_bus_number", api.pfnGetBusNumber) &&
           Find(pLibrary, "libusb_get_device_address", api.pfnGetDeviceAddress) &&
           Find(pLibrary, "libusb_open", api.pfnOpen) && Find(pLibrary, "libusb_close", api.pfnClose) &&
           Find(pLibrary, "libusb_get_string_descriptor_ascii", api.pfnGetStringDescriptorAscii) &&
           Find(pLibrary, "libusb_claim_interface", api.pfnClaimInterface) &&
           Find(pLibrary, "libusb_release_interface", api.pfnReleaseInterface) &&
           Find(pLibrary, "libusb_bulk_transfer", api.pfnBulkTransfer) &&
           Find(pLibrary, "libusb_error_name", api.pfnErrorName) && api.pfnInit(nullptr) == 0;
}

} // namespace

const HidapiApi* SystemHidapi(std::string& strError)
{
    return Loaded<HidapiApi>(&LoadHidapi,
                             "CMSIS-DAP v1 probes are reached through hidapi, which is not installed "
                             "(sudo apt install libhidapi-hidraw0).",
                             strError);
}

const LibusbApi* SystemLibusb(std::string& strError)
{
    return Loaded<LibusbApi>(&LoadLibusb,
                             "CMSIS-DAP v2 probes are reached through libusb-1.0, which is not installed "
                             "(sudo apt install libusb-1.0-0).",
                             strError);
}

DapFinder SystemDapFinder()
{
    DapLibraries libraries;
    std::string strHid, strUsb;
    libraries.pHidapi = SystemHidapi(strHid);
    libraries.pLibusb = SystemLibusb(strUsb);
    libraries.strMissing = strUsb + (strUsb.empty() || strHid.empty() ? "" : " ") + strHid;
    return DapFinderOf(libraries);
}
