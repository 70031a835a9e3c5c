#include "SettingsFile.h"

#include <cstdlib>

#include "../chain/ChainScan.h"
#include "../platform/profile.h"

bool ParseNumber(const std::string& text, unsigned long nMax, unsigned long& value)
{
    if (text.empty())
        return false;
    char* pEnd = nullptr;
    const bool bHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    value = strtoul(text.c_str(), &pEnd, bHex ? 16 : 10);
    return *pEnd == '\0' && text[0] != '-' && text[0] != '+' && value <= nMax;
}

namespace {

const size_t MAX_SETTING = 1023;

// False, with what to do, for a value too long to be read whole: cut, a device path would name
// another file.
bool Setting(const std::string& strIniPath, const char* pszSection, const char* pszKey, std::string& value,
             std::string& strError)
{
    if (ReadProfileValue(strIniPath, pszSection, pszKey, MAX_SETTING, value))
        return true;
    strError = std::string(pszKey) + "= in the [" + pszSection + "] section is longer than " +
               std::to_string(MAX_SETTING) + " characters, more than MORVA reads. Shorten it, as in\n    [" +
               pszSection + "]\n    " + pszKey + "=" + (std::string(pszKey) == "cable" ? "ftdi" : "0");
    return false;
}

bool ReadPinSetting(const std::string& strIniPath, const char* pszKey, unsigned long nMax, int& nValue,
                    std::string& strError)
{
    std::string text;
    if (!Setting(strIniPath, "ftdi", pszKey, text, strError))
        return false;
    if (text.empty())
        return true;
    unsigned long value = 0;
    if (!ParseNumber(text, nMax, value))
    {
        strError = std::string(pszKey) + "=" + text + " in the [ftdi] section is not a number from 0 to " +
                   std::to_string(nMax) + ". Write it as in\n    [ftdi]\n    " + pszKey + "=" +
                   (nMax == 7 ? "3" : nMax == 15 ? "4" : "0x10");
        return false;
    }
    nValue = static_cast<int>(value);
    return true;
}

} // namespace

std::vector<std::string> SettingsBsdlFolders(const std::string& strIniPath)
{
    std::string text;
    std::string strError;
    std::vector<std::string> folders;
    if (!Setting(strIniPath, "bsdl", "folder", text, strError))
        return folders;
    for (size_t nStart = 0; nStart < text.size();)
    {
        size_t nEnd = text.find(';', nStart);
        if (nEnd == std::string::npos)
            nEnd = text.size();
        const std::string folder = text.substr(nStart, nEnd - nStart);
        const size_t nFirst = folder.find_first_not_of(" \t");
        if (nFirst != std::string::npos)
            folders.push_back(folder.substr(nFirst, folder.find_last_not_of(" \t") - nFirst + 1));
        nStart = nEnd + 1;
    }
    return folders;
}

std::string SettingsCable(const std::string& strIniPath)
{
    std::string text;
    std::string strError;
    return Setting(strIniPath, "cable", "cable", text, strError) ? text : std::string();
}

bool ReadCableSetting(const std::string& strIniPath, std::string& strCable, std::string& strError)
{
    return Setting(strIniPath, "cable", "cable", strCable, strError);
}

bool ReadChainSettings(const std::string& strIniPath, std::vector<int>& irLengths, std::string& strError)
{
    irLengths.clear();
    std::string text;
    std::string strWhy;
    if (!Setting(strIniPath, "chain", "irlen", text, strError))
        return false;
    if (!text.empty() && !ParseIrLengths(text, irLengths, strWhy))
    {
        strError = strIniPath + ", [chain] irlen=" + text + ": " + strWhy;
        return false;
    }
    return true;
}

bool ReadClockSetting(const std::string& strIniPath, unsigned& nKhz, std::string& strError)
{
    std::string text;
    if (!Setting(strIniPath, "cable", "khz", text, strError))
        return false;
    unsigned long value = 0;
    if (text.empty())
        return true;
    if (!ParseNumber(text, FtdiPinMap::MOST_KHZ, value) || value == 0)
    {
        strError = "khz=" + text + " in the [cable] section is not a clock from 1 to " +
                   std::to_string(FtdiPinMap::MOST_KHZ) + " kHz. Write it as in\n    [cable]\n    khz=6000";
        return false;
    }
    nKhz = static_cast<unsigned>(value);
    return true;
}

bool ReadFtdiSettings(const std::string& strIniPath, FtdiPinMap& map, std::string& strError)
{
    std::string mode;
    if (!Setting(strIniPath, "ftdi", "mode", mode, strError))
        return false;
    if (mode == "bitbang" || mode == "mpsse")
        map.bBitBang = mode == "bitbang";
    else if (!mode.empty())
    {
        strError = "mode=" + mode + " in the [ftdi] section is neither mpsse (the chip's JTAG engine, where it has "
                   "one) nor bitbang. Write it as in\n    [ftdi]\n    mode=bitbang";
        return false;
    }
    // value= and direction= give the high pins (ACBUS) in their high byte.
    int nValue = map.valueHigh << 8 | map.value;
    int nDirection = map.directionHigh << 8 | map.direction;
    if (!ReadPinSetting(strIniPath, "tck", 7, map.nTck, strError) ||
        !ReadPinSetting(strIniPath, "tdi", 7, map.nTdi, strError) ||
        !ReadPinSetting(strIniPath, "tdo", 7, map.nTdo, strError) ||
        !ReadPinSetting(strIniPath, "tms", 7, map.nTms, strError) ||
        !ReadPinSetting(strIniPath, "trst", 15, map.nTrst, strError) ||
        !ReadPinSetting(strIniPath, "srst", 15, map.nSrst, strError) ||
        !ReadPinSetting(strIniPath, "value", 0xFFFF, nValue, strError) ||
        !ReadPinSetting(strIniPath, "direction", 0xFFFF, nDirection, strError))
        return false;
    map.value = static_cast<unsigned char>(nValue & 0xFF);
    map.direction = static_cast<unsigned char>(nDirection & 0xFF);
    map.valueHigh = static_cast<unsigned char>(nValue >> 8);
    map.directionHigh = static_cast<unsigned char>(nDirection >> 8);
    if (!map.IsValid(strError))
    {
        strError = "The FTDI pin map in the [ftdi] section is wrong: " + strError +
                   " The usual wiring is\n    [ftdi]\n    tck=0\n    tdi=1\n    tdo=2\n    tms=3";
        return false;
    }
    return true;
}
