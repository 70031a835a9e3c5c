#include "KeptIrLengths.h"

#include <cstdio>

#include "../platform/profile.h"

namespace {

const char SECTION[] = "chains";
// An identity of 32 devices and a cable's name, and the lengths: well within a line.
const size_t LINE_LIMIT = 2048;

std::string KeyOf(size_t n)
{
    return "chain" + std::to_string(n + 1);
}

// Each kept line is "IDENTITY = LENGTHS"; read in order, newest first.
std::vector<std::pair<std::string, std::string>> ReadKept(const std::string& strIniPath)
{
    std::vector<std::pair<std::string, std::string>> kept;
    for (size_t i = 0; i < KEPT_CHAINS; ++i)
    {
        std::string line;
        if (!ReadProfileValue(strIniPath, SECTION, KeyOf(i).c_str(), LINE_LIMIT, line) || line.empty())
            continue;
        const size_t nBar = line.rfind(" = ");
        if (nBar == std::string::npos)
            continue;
        kept.push_back({line.substr(0, nBar), line.substr(nBar + 3)});
    }
    return kept;
}

} // namespace

std::string ChainIdentity(const std::string& strCable, const std::vector<ChainDevice>& devices)
{
    std::string identity = strCable;
    for (const ChainDevice& device : devices)
    {
        char text[16] = "-";
        if (device.bIdcode)
            snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(device.nIdcode));
        identity += std::string(" ") + text;
    }
    return identity;
}

bool FindKeptIrLengths(const std::string& strIniPath, const std::string& strIdentity, std::string& strLengths)
{
    for (const auto& entry : ReadKept(strIniPath))
    {
        if (entry.first == strIdentity)
        {
            strLengths = entry.second;
            return true;
        }
    }
    return false;
}

bool KeepIrLengths(const std::string& strIniPath, const std::string& strIdentity, const std::string& strLengths,
                   std::string& strError)
{
    std::vector<std::pair<std::string, std::string>> kept = ReadKept(strIniPath);
    if (!strLengths.empty() && !kept.empty() && kept[0].first == strIdentity && kept[0].second == strLengths)
        return true;
    std::vector<std::pair<std::string, std::string>> fresh;
    if (!strLengths.empty())
        fresh.push_back({strIdentity, strLengths});
    for (const auto& entry : kept)
    {
        if (entry.first != strIdentity && fresh.size() < KEPT_CHAINS)
            fresh.push_back(entry);
    }
    std::string text;
    for (size_t i = 0; i < fresh.size(); ++i)
        text += KeyOf(i) + "=" + fresh[i].first + " = " + fresh[i].second + std::string(1, '\0');
    text += '\0';
    return WriteProfileSectionText(strIniPath, SECTION, text, strError);
}
