#include "d2xx_port.h"

#include <cstdio>
#include <cstring>

#include "system_library.h"

namespace {

const char D2XX_DLL[] = "ftd2xx.dll";

FtdiEngine EngineOf(ULONG type)
{
    return EngineOfChip(type, FT_DEVICE_2232C, {FT_DEVICE_2232H, FT_DEVICE_4232H, FT_DEVICE_232H});
}

} // namespace

std::string SystemD2xxPath()
{
    const std::string strPath = SystemFolderFile(D2XX_DLL);
    return strPath.empty() ? D2XX_DLL : strPath;
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
    std::string strMissing;
    FindCall(hLibrary, "FT_OpenEx", api.pfnOpenEx, strMissing);
    FindCall(hLibrary, "FT_Close", api.pfnClose, strMissing);
    FindCall(hLibrary, "FT_ResetDevice", api.pfnResetDevice, strMissing);
    FindCall(hLibrary, "FT_SetTimeouts", api.pfnSetTimeouts, strMissing);
    FindCall(hLibrary, "FT_SetLatencyTimer", api.pfnSetLatencyTimer, strMissing);
    FindCall(hLibrary, "FT_SetBaudRate", api.pfnSetBaudRate, strMissing);
    FindCall(hLibrary, "FT_SetBitMode", api.pfnSetBitMode, strMissing);
    FindCall(hLibrary, "FT_Purge", api.pfnPurge, strMissing);
    FindCall(hLibrary, "FT_Write", api.pfnWrite, strMissing);
    FindCall(hLibrary, "FT_Read", api.pfnRead, strMissing);
    FindCall(hLibrary, "FT_CreateDeviceInfoList", api.pfnCreateDeviceInfoList, strMissing);
    FindCall(hLibrary, "FT_GetDeviceInfoDetail", api.pfnGetDeviceInfoDetail, strMissing);
    FindCall(hLibrary, "FT_GetDeviceInfo", api.pfnGetDeviceInfo, strMissing);
    if (!strMissing.empty())
    {
        ::FreeLibrary(hLibrary);
        api = D2xxApi();
        strError = strPath + " has no " + strMissing +
                   ": it is older than MORVA needs.\n\nInstall FTDI's current D2XX driver, then start MORVA "
                   "again.";
        return false;
    }
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

CD2xxPort::CD2xxPort(const CableName& cable, const FtdiPinMap& map, const D2xxApi* pApi)
    : CFtdiPort(cable, map, "D2XX")
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

bool CD2xxPort::Check(FT_STATUS status, const char* pszCall, std::string& strError) const
{
    if (status == FT_OK)
        return true;
    strError = DescribeCable(m_cable) + ": " + pszCall + " failed with " + D2xxStatusName(status) + ".";
    return false;
}

bool CD2xxPort::Load(std::string& strError)
{
    if (!m_bLoaded && LoadD2xx(SystemD2xxPath(), m_api, strError))
        m_bLoaded = true;
    return m_bLoaded;
}

bool CD2xxPort::ListDevices(std::vector<FtdiDevice>& devices, std::string& strError)
{
    devices.clear();
    DWORD dwCount = 0;
    if (!Load(strError) || !Check(m_api.pfnCreateDeviceInfoList(&dwCount), "FT_CreateDeviceInfoList", strError))
        return false;
    for (DWORD i = 0; i < dwCount; ++i)
    {
        DWORD dwFlags = 0, dwType = 0, dwId = 0, dwLocation = 0;
        char serial[16] = {};
        char description[64] = {};
        FT_HANDLE hDevice = nullptr;
        if (m_api.pfnGetDeviceInfoDetail(i, &dwFlags, &dwType, &dwId, &dwLocation, serial, description,
                                         &hDevice) != FT_OK)
            continue;
        FtdiDevice device;
        device.serial.assign(serial, strnlen(serial, sizeof(serial)));
        device.description.assign(description, strnlen(description, sizeof(description)));
        device.location = dwLocation;
        device.engine = EngineOf(dwType);
        // A channel of a multi-channel chip is listed as "Dual RS232-HS A" with serial "FT1234A".
        const size_t n = device.description.size();
        if (n > 2 && device.description[n - 2] == ' ' && device.description[n - 1] >= 'A' &&
            device.description[n - 1] <= 'D' && !device.serial.empty() &&
            device.serial.back() == device.description[n - 1])
        {
            device.nChannels = 2;
        }
        devices.push_back(device);
    }
    return true;
}

CFtdiPort::OpenResult CD2xxPort::OpenDevice(const FtdiDevice* pDevice, std::string& strError)
{
    if (!Load(strError))
        return OpenResult::Failed;
    // D2XX names each channel of a multi-channel chip by the serial number and the channel letter.
    std::string serial = pDevice != nullptr ? pDevice->serial : m_cable.serial;
    if (pDevice == nullptr && m_cable.channel != 0)
        serial += m_cable.channel;
    FT_STATUS status;
    if (serial.empty())
        status = m_api.pfnOpenEx(reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(pDevice->location)),
                                 FT_OPEN_BY_LOCATION, &m_hDevice);
    else
        status = m_api.pfnOpenEx(const_cast<char*>(serial.c_str()), FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice);
    if (status == FT_OK)
    {
        ULONG type = 0;
        DWORD dwId = 0;
        char serialNumber[16] = {};
        char description[64] = {};
        const bool bTold = m_api.pfnGetDeviceInfo(m_hDevice, &type, &dwId, serialNumber, description, nullptr) == FT_OK;
        m_engine = bTold ? EngineOf(type) : FtdiEngine::None;
        return OpenResult::Opened;
    }
    m_hDevice = nullptr;
    if (status == FT_DEVICE_NOT_FOUND)
        return OpenResult::NotFound;
    strError = "The FTDI cable " + (serial.empty() ? DescribeDevice(*pDevice) : serial) +
               " could not be opened (FT_OpenEx said " + D2xxStatusName(status) +
               ").\n\nAnother program may be using it: close that program.";
    return OpenResult::Failed;
}

std::string CD2xxPort::NotFoundAdvice() const
{
    return "Plug the cable in. If it is plugged in, check in Device Manager that it is listed under USB "
           "controllers with FTDI's driver, and that the serial number is right.";
}

bool CD2xxPort::SetUpChip(std::string& strError)
{
    return Check(m_api.pfnResetDevice(m_hDevice), "FT_ResetDevice", strError) &&
           Check(m_api.pfnSetTimeouts(m_hDevice, TIMEOUT_MS, TIMEOUT_MS), "FT_SetTimeouts", strError) &&
           Check(m_api.pfnSetLatencyTimer(m_hDevice, LATENCY_MS), "FT_SetLatencyTimer", strError) &&
           Check(m_api.pfnSetBaudRate(m_hDevice, BIT_BANG_BAUD), "FT_SetBaudRate", strError);
}

bool CD2xxPort::Purge(std::string& strError)
{
    return Check(m_api.pfnPurge(m_hDevice, FT_PURGE_RX | FT_PURGE_TX), "FT_Purge", strError);
}

void CD2xxPort::CloseChip()
{
    if (m_hDevice != nullptr)
        m_api.pfnClose(m_hDevice);
    m_hDevice = nullptr;
}

bool CD2xxPort::SetBitMode(unsigned char mask, unsigned char mode, std::string& strError)
{
    return Check(m_api.pfnSetBitMode(m_hDevice, mask, mode), "FT_SetBitMode", strError);
}

bool CD2xxPort::Write(const unsigned char* pOut, size_t nCount, std::string& strError)
{
    DWORD dwDone = 0;
    const FT_STATUS status = m_api.pfnWrite(m_hDevice, const_cast<unsigned char*>(pOut), static_cast<DWORD>(nCount),
                                            &dwDone);
    return Whole(status, "FT_Write took", dwDone, nCount, "bytes", strError);
}

bool CD2xxPort::Read(unsigned char* pIn, size_t nCount, std::string& strError)
{
    DWORD dwDone = 0;
    const FT_STATUS status = m_api.pfnRead(m_hDevice, pIn, static_cast<DWORD>(nCount), &dwDone);
    return Whole(status, "FT_Read gave", dwDone, nCount, "samples", strError);
}

// A write or read done (status) and whole: every byte within the time-out.
bool CD2xxPort::Whole(FT_STATUS status, const char* pszCallDid, DWORD dwDone, size_t nCount, const char* pszWhat,
                      std::string& strError) const
{
    const std::string call(pszCallDid, static_cast<size_t>(strchr(pszCallDid, ' ') - pszCallDid));
    if (!Check(status, call.c_str(), strError))
        return false;
    if (dwDone == nCount)
        return true;
    strError = DescribeCable(m_cable) + ": " + pszCallDid + " " + std::to_string(dwDone) + " of " +
               std::to_string(nCount) + " " + pszWhat + " within its time-out.";
    return false;
}
