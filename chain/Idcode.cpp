#include "Idcode.h"

#include <cstdio>
#include <iterator>

namespace {

struct Jep106Row
{
    unsigned nBank;
    unsigned nCode;
    const char* pszName;
};

const Jep106Row JEP106[] = {
#include "jep106_table.inc"
};

} // namespace

IdcodeFields SplitIdcode(uint32_t nIdcode)
{
    return {nIdcode >> 28, (nIdcode >> 12) & 0xFFFF, ((nIdcode >> 8) & 0xF) + 1, (nIdcode >> 1) & 0x7F};
}

std::string IdcodeText(uint32_t nIdcode)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(nIdcode));
    return text;
}

std::string MakerName(unsigned nBank, unsigned nCode)
{
    for (const Jep106Row& row : JEP106)
    {
        if (row.nBank == nBank && row.nCode == nCode)
            return row.pszName;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "unknown maker (bank %u, code 0x%02X)", nBank, nCode);
    return text;
}

bool IsPlausibleIdcode(uint32_t nIdcode)
{
    return (nIdcode & 1) != 0 && SplitIdcode(nIdcode).nCode != 0x7F;
}
