// A device's IDCODE taken apart: version, part number, and the maker by its JEP106 code.
#pragma once

#include <cstdint>
#include <string>

struct IdcodeFields
{
    unsigned nVersion;  // bits 31..28
    unsigned nPart;     // bits 27..12
    unsigned nBank;     // JEP106 bank, from 1 (bits 11..8 hold the bank less one)
    unsigned nCode;     // JEP106 code in its bank, without parity (bits 7..1)
};

IdcodeFields SplitIdcode(uint32_t nIdcode);

// "0x14D5654B", as the scan shows an IDCODE.
std::string IdcodeText(uint32_t nIdcode);

// The maker's name from the JEP106 table, or "unknown maker (bank B, code 0xNN)".
std::string MakerName(unsigned nBank, unsigned nCode);

// Whether the value can be an IDCODE at all: bit 0 set, and a code other than 0x7F, which the
// JEP106 scheme keeps for continuing to the next bank (0xFFFFFFFF is what a broken TDO reads).
bool IsPlausibleIdcode(uint32_t nIdcode);
