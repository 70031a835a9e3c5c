#include "d2xx_port.h"

#include <cstdio>
#include <cstring>

namespace {

const char D2XX_DLL[] = "ftd2xx.dll";

// A clock is a write and a read: a cable that stops answering holds the window under a second.
const ULONG TIMEOUT_MS = 400;
// The chip sends what it sampled when this many milliseconds pass without a full buffer; the
// default 16 ms would dominate every clock.
const UCHAR LATENCY_MS = 2;
// A modest rate: the chip clocks its pins at a small multiple of it (tens of kHz here), slow
// enough for long flying leads and any target, and a clock's four bytes still take far less
// than its USB round trip.
const ULONG BIT_BANG_BAUD = 9600;


template <typename F>
void Assign(D2xxApi& api, F D2xxApi::*pMember, FARPROC pfn)
{
    api.*pMember = reinterpret_cast<F>(reinterpret_cast<void*>(pfn));
}

} // namespace

std::string SystemD2xxPath()
{
    char folder[MAX_PATH] = {};
    const UINT nLength = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return D2XX_DLL;
    std::string path(folder);
    if (path.back() != '\\')
        path += '\\';
    return path + D2XX_DLL;
}

bool LoadD2xx(const std::string& strPath, D2xxApi& api, std::string& strError)
{
    HMODULE hLibrary = ::LoadLibraryExA(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hLibrary == nullptr)
    {
        strError = "MORVA looked for FTDI's D2XX library at " + strPath +
                   " and could not load it.\n\nInstall FTDI's D2XX driver for the cable (FTDI's CDM driver "
                   "package), which puts ftd2xx.dll there, then start MORVA again.";
        return false;
    }
    struct
    {
        const char* pszName;
        FARPROC pfn;
    } calls[] = {{"FT_Open", nullptr},        {"FT_OpenEx", nullptr},    {"FT_Close", nullptr},
                 {"FT_ResetDevice", nullptr}, {"FT_SetTimeouts", nullptr}, {"FT_SetLatencyTimer", nullptr},
                 {"FT_SetBaudRate", nullptr}, {"FT_SetBitMode", nullptr}, {"FT_Purge", nullptr},
                 {"FT_Write", nullptr},       {"FT_Read", nullptr}};
    for (auto& call : calls)
    {
        call.pfn = ::GetProcAddress(hLibrary, call.pszName);
        if (call.pfn == nullptr)
        {
            ::FreeLibrary(hLibrary);
            strError = strPath + " has no " + call.pszName +
                       ": it is older than MORVA needs.\n\nInstall FTDI's current D2XX driver, then start MORVA "
                       "again.";
            return false;
        }
    }
    Assign(api, &D2xxApi::pfnOpen, calls[0].pfn);
    Assign(api, &D2xxApi::pfnOpenEx, calls[1].pfn);
    Assign(api, &D2xxApi::pfnClose, calls[2].pfn);
    Assign(api, &D2xxApi::pfnResetDevice, calls[3].pfn);
    Assign(api, &D2xxApi::pfnSetTimeouts, calls[4].pfn);
    Assign(api, &D2xxApi::pfnSetLatencyTimer, calls[5].pfn);
    Assign(api, &D2xxApi::pfnSetBaudRate, calls[6].pfn);
    Assign(api, &D2xxApi::pfnSetBitMode, calls[7].pfn);
    Assign(api, &D2xxApi::pfnPurge, calls[8].pfn);
    Assign(api, &D2xxApi::pfnWrite, calls[9].pfn);
    Assign(api, &D2xxApi::pfnRead, calls[10].pfn);
    // The library stays loaded for the rest of the process.
    return true;
}

std::string D2xxStatusName(FT_STATUS status)
{
    static const char* const s_apszNames[] = {
        "FT_OK",           "FT_INVALID_HANDLE",         "FT_DEVICE_NOT_FOUND",
        "FT_DEVICE_NOT_OPENED", "FT_IO_ERROR",          "FT_INSUFFICIENT_RESOURCES",
        "FT_INVALID_PARAMETER", "FT_INVALID_BAUD_RATE",
    };
    char text[64];
    if (status < sizeof(s_apszNames) / sizeof(s_apszNames[0]))
        snprintf(text, sizeof(text), "%s (%lu)", s_apszNames[status], static_cast<unsigned long>(status));
    else
        snprintf(text, sizeof(text), "status %lu", static_cast<unsigned long>(status));
    return text;
}

CD2xxPort::CD2xxPort(const CableSpec& cable, const FtdiPinMap& map, const D2xxApi* pApi)
    : CBitBangPort(map), m_spec(cable)
{
    if (pApi != nullptr)
    {
        m_api = *pApi;
        m_bLoaded = true;
    }
}

CD2xxPort::~CD2xxPort()
{
    if (IsChipOpen())
        CloseChip();
}

std::string CD2xxPort::Description() const
{
    return DescribeCable(m_spec) + " (D2XX)";
}

bool CD2xxPort::Check(FT_STATUS status, const char* pszCall, std::string& strError) const
{
    if (status == FT_OK)
        return true;
    strError = DescribeCable(m_spec) + ": " + pszCall + " failed with " + D2xxStatusName(status) + ".";
    return false;
}

bool CD2xxPort::OpenChip(std::string& strError)
{
    if (!m_bLoaded)
    {
        if (!LoadD2xx(SystemD2xxPath(), m_api, strError))
            return false;
        m_bLoaded = true;
    }
    // D2XX names each channel of a multi-channel chip by the serial number and the channel letter.
    std::string serial = m_spec.serial;
    if (m_spec.channel != 0)
        serial += m_spec.channel;
    FT_STATUS status;
    if (serial.empty())
        status = m_api.pfnOpen(0, &m_hDevice);
    else
        status = m_api.pfnOpenEx(const_cast<char*>(serial.c_str()), FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice);
    if (status != FT_OK)
    {
        m_hDevice = nullptr;
        const std::string looked = serial.empty() ? "any FTDI device" : "the FTDI device with serial number " + serial;
        if (status == FT_DEVICE_NOT_FOUND)
            strError = "No FTDI cable was found (MORVA looked for " + looked +
                       ").\n\nPlug the cable in. If it is plugged in, check in Device Manager that it is listed "
                       "under USB controllers with FTDI's driver, and that the serial number is right.";
        else
            strError = "The FTDI cable could not be opened (MORVA looked for " + looked + "; FT_Open said " +
                       D2xxStatusName(status) + ").\n\nAnother program may be using it: close that program.";
        return false;
    }
    if (Check(m_api.pfnResetDevice(m_hDevice), "FT_ResetDevice", strError) &&
        Check(m_api.pfnSetTimeouts(m_hDevice, TIMEOUT_MS, TIMEOUT_MS), "FT_SetTimeouts", strError) &&
        Check(m_api.pfnSetLatencyTimer(m_hDevice, LATENCY_MS), "FT_SetLatencyTimer", strError) &&
        Check(m_api.pfnSetBaudRate(m_hDevice, BIT_BANG_BAUD), "FT_SetBaudRate", strError) &&
        Check(m_api.pfnSetBitMode(m_hDevice, 0, FT_BITMODE_SYNC_BITBANG), "FT_SetBitMode", strError) &&
        Check(m_api.pfnPurge(m_hDevice, FT_PURGE_RX | FT_PURGE_TX), "FT_Purge", strError))
        return true;
    CloseChip();
    return false;
}

void CD2xxPort::CloseChip()
{
    if (m_hDevice != nullptr)
        m_api.pfnClose(m_hDevice);
    m_hDevice = nullptr;
}

bool CD2xxPort::SetOutputs(unsigned char mask, std::string& strError)
{
    return Check(m_api.pfnSetBitMode(m_hDevice, mask, FT_BITMODE_SYNC_BITBANG), "FT_SetBitMode", strError);
}

bool CD2xxPort::Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError)
{
    const DWORD dwCount = static_cast<DWORD>(nCount);
    DWORD dwDone = 0;
    if (!Check(m_api.pfnWrite(m_hDevice, const_cast<unsigned char*>(pOut), dwCount, &dwDone), "FT_Write", strError))
        return false;
    if (dwDone != dwCount)
    {
        strError = DescribeCable(m_spec) + ": FT_Write took " + std::to_string(dwDone) + " of " +
                   std::to_string(dwCount) + " bytes within its time-out.";
        return false;
    }
    dwDone = 0;
    if (!Check(m_api.pfnRead(m_hDevice, pIn, dwCount, &dwDone), "FT_Read", strError))
        return false;
    if (dwDone != dwCount)
    {
        strError = DescribeCable(m_spec) + ": FT_Read gave " + std::to_string(dwDone) + " of " +
                   std::to_string(dwCount) + " samples within its time-out.";
        return false;
    }
    return true;
}
