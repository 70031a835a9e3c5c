#include "cable_name.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const size_t MAX_SERIAL = 15;  // D2XX and libftdi keep serial numbers in 16 bytes

std::string Lower(const std::string& text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Only with 0x: lpt:888, LPT1's address written in decimal, would otherwise be read as 0x888.
bool ParseHex(const std::string& text, unsigned long& value)
{
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    const std::string digits = text.substr(2);
    if (digits.size() > 4)
        return false;
    value = 0;
    for (char c : digits)
    {
        if (!isxdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 16 + static_cast<unsigned long>(isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                             : tolower(c) - 'a' + 10);
    }
    return true;
}

bool IsParallelPortAddress(unsigned long address)
{
    if (address < 0x400)
        return address == 0x378 || address == 0x278 || address == 0x3BC;
    return address <= 0xFFF8 && address % 8 == 0;
}

bool ParseLpt(const std::string& rest, CableName& cable, std::string& strError)
{
    cable.kind = CableKind::Lpt;
    if (rest.empty())
        return true;
    if (rest[0] == '/')
    {
        cable.device = rest;
        return true;
    }
    unsigned long address = 0;
    if (!ParseHex(rest, address))
    {
        strError = "\"" + rest + "\" is not a port address: give it in hex with 0x, as in lpt:0x378 or lpt:0xD010.";
        return false;
    }
    if (!IsParallelPortAddress(address))
    {
        char text[200];
        snprintf(text, sizeof(text),
                 "0x%lX cannot be a parallel port's data register. Below 0x400 only 0x378, 0x278 and 0x3BC "
                 "are parallel ports; from 0x400 on the address is a multiple of 8 (0x400 to 0xFFF8).",
                 address);
        strError = text;
        return false;
    }
    cable.address = static_cast<unsigned short>(address);
    return true;
}

bool ParseFtdi(const std::string& rest, CableName& cable, std::string& strError)
{
    cable.kind = CableKind::Ftdi;
    std::string serial = rest;
    const size_t slash = rest.find('/');
    if (slash != std::string::npos)
    {
        const std::string channel = rest.substr(slash + 1);
        serial = rest.substr(0, slash);
        if (channel.size() != 1 || toupper(static_cast<unsigned char>(channel[0])) < 'A' ||
            toupper(static_cast<unsigned char>(channel[0])) > 'D')
        {
            strError = "\"" + channel + "\" is not a channel: give one letter from A to D, as in ftdi:SERIAL/B.";
            return false;
        }
        if (serial.empty())
        {
            strError = "A channel needs the cable's serial number, as in ftdi:SERIAL/B.";
            return false;
        }
        cable.channel = static_cast<char>(toupper(static_cast<unsigned char>(channel[0])));
    }
    // D2XX names a channel by the serial number with its letter added, in the same 16 bytes.
    if (serial.size() > MAX_SERIAL - (cable.channel != 0 ? 1 : 0))
    {
        strError = "\"" + serial + "\" is too long for an FTDI serial number (15 characters at most, 14 with a "
                   "channel letter).";
        return false;
    }
    for (char c : serial)
    {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
        {
            strError = "\"" + serial + "\" is not a serial number: use letters, digits, - and _ only.";
            return false;
        }
    }
    cable.serial = serial;
    return true;
}

// HOST:PORT, the port in decimal.
bool ParseServer(const std::string& rest, const char* pszKind, const char* pszExample, CableName& cable,
                 std::string& strError)
{
    const size_t colon = rest.rfind(':');
    const std::string host = rest.substr(0, colon);
    const std::string port = colon != std::string::npos ? rest.substr(colon + 1) : std::string();
    bool bGood = colon != std::string::npos && !host.empty() && !port.empty() && port.size() <= 5;
    for (char c : host)
        bGood = bGood && (isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-');
    unsigned long nPort = 0;
    for (char c : port)
    {
        bGood = bGood && isdigit(static_cast<unsigned char>(c));
        nPort = nPort * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!bGood || nPort == 0 || nPort > 65535)
    {
        strError = "\"" + rest + "\" is not a server: give its host name or IPv4 address and its TCP port (1 to " +
                   "65535), as in " + pszKind + ":" + pszExample + ".";
        return false;
    }
    cable.host = host;
    cable.port = static_cast<unsigned short>(nPort);
    return true;
}

} // namespace

bool ParseCableName(const std::string& strText, CableName& cable, std::string& strError)
{
    cable = CableName();
    const size_t colon = strText.find(':');
    const std::string kind = Lower(strText.substr(0, colon));
    const bool bHasRest = colon != std::string::npos;
    const std::string rest = bHasRest ? strText.substr(colon + 1) : std::string();
    if (bHasRest && rest.empty())
    {
        strError = "\"" + strText + "\" ends at its colon: give what follows it, or leave the colon out.";
        return false;
    }
    if (kind == "lpt")
        return ParseLpt(rest, cable, strError);
    if (kind == "ftdi")
        return ParseFtdi(rest, cable, strError);
    if (kind == "dap")
    {
        cable.kind = CableKind::Dap;
        cable.serial = rest;
        // A USB serial number is at most 126 characters; printable ASCII, no spaces.
        const bool bPrintable = std::all_of(rest.begin(), rest.end(), [](char c) { return c > ' ' && c < 0x7F; });
        if (rest.size() > 126 || !bPrintable)
        {
            strError = "\"" + rest + "\" is not a probe's serial number: give it as the cable list shows it.";
            return false;
        }
        return true;
    }
    if (kind == "rbb")
    {
        cable.kind = CableKind::RemoteBitbang;
        if (!rest.empty() && rest[0] == '/')
        {
            cable.device = rest;
            return true;
        }
        return ParseServer(rest, "rbb", "localhost:44853", cable, strError);
    }
    if (kind == "xvc")
    {
        cable.kind = CableKind::Xvc;
        return ParseServer(rest, "xvc", "192.168.1.10:2542", cable, strError);
    }
    if (kind == "sim" && (rest.compare(0, 5, "bsdl=") == 0 || rest.compare(0, 6, "board=") == 0))
    {
        const bool bBoard = rest[1] == 'o';
        cable.kind = CableKind::Sim;
        (bBoard ? cable.board : cable.bsdl) = rest.substr(bBoard ? 6 : 5);
        if (rest.size() == (bBoard ? 6u : 5u))
        {
            strError = "\"" + strText + "\" names no " + (bBoard ? "board file: give the file after board=, as sim:board=board.ini."
                                                                : "BSDL file: give the file after bsdl=, as sim:bsdl=chip.bsd.");
            return false;
        }
        return true;
    }
    if (kind == "sim" && (!bHasRest || rest == "chain"))
    {
        cable.kind = CableKind::Sim;
        cable.bChain = bHasRest;
        return true;
    }
    strError = "\"" + strText + "\" is not a cable MORVA knows.";
    return false;
}

std::string DescribeCable(const CableName& cable)
{
    char text[80];
    switch (cable.kind)
    {
    case CableKind::Sim:
        if (!cable.bsdl.empty())
            return "simulated chip from " + cable.bsdl;
        if (!cable.board.empty())
            return "simulated board from " + cable.board;
        return cable.bChain ? "simulated chain of three devices" : "simulated board";
    case CableKind::Ftdi:
        if (cable.serial.empty())
            return "FTDI cable (first found)";
        snprintf(text, sizeof(text), "FTDI cable %s", cable.serial.c_str());
        if (cable.channel != 0)
            snprintf(text + strlen(text), sizeof(text) - strlen(text), " channel %c", cable.channel);
        return text;
    case CableKind::RemoteBitbang:
        if (!cable.device.empty())
            return "remote_bitbang server at " + cable.device;
        return "remote_bitbang server at " + cable.host + ":" + std::to_string(cable.port);
    case CableKind::Xvc:
        return "XVC server at " + cable.host + ":" + std::to_string(cable.port);
    case CableKind::Dap:
        return cable.serial.empty() ? "CMSIS-DAP probe (first found)" : "CMSIS-DAP probe " + cable.serial;
    case CableKind::Lpt:
    default:
        if (!cable.device.empty())
            return "parallel port " + cable.device;
        snprintf(text, sizeof(text), "parallel port at 0x%X", cable.address);
        return text;
    }
}
