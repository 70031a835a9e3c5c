// Values for the tests written the short way: a number's low bits, or the bits one by one, and
// values printed as their bits when a comparison fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <vector>

#include "tap/Bits.h"

// Bits, bit 0 first, of the low nBits of a number (zeros past its 64 bits).
inline CBits Bits(unsigned long long nValue, size_t nBits)
{
    CBits bits(nBits, false);
    for (size_t i = 0; i < nBits && i < 64; ++i)
        bits.Set(i, (nValue >> i & 1) != 0);
    return bits;
}

// The bits as listed, bit 0 first: BitsOf({1, 0, 1}).
inline CBits BitsOf(std::initializer_list<int> bits)
{
    CBits value;
    for (int bit : bits)
        value.push_back(bit != 0);
    return value;
}

// From one bit a byte (any byte not 0 a 1), as the tests' models keep them.
inline CBits Packed(const std::vector<unsigned char>& bits)
{
    CBits value(bits.size(), false);
    for (size_t i = 0; i < bits.size(); ++i)
        value.Set(i, bits[i] != 0);
    return value;
}

// One bit a byte, nCount bits from nFrom on (as far as there are).
inline std::vector<unsigned char> Unpacked(const CBits& bits, size_t nFrom = 0, size_t nCount = SIZE_MAX)
{
    std::vector<unsigned char> bytes;
    for (size_t i = nFrom; i < bits.size() && i - nFrom < nCount; ++i)
        bytes.push_back(bits[i] ? 1 : 0);
    return bytes;
}

// "0b1101 (4 bits)", the last bit first, as a value is written.
inline void PrintTo(const CBits& bits, std::ostream* pOut)
{
    *pOut << "0b";
    for (size_t i = bits.size(); i-- > 0;)
        *pOut << (bits[i] ? '1' : '0');
    *pOut << " (" << bits.size() << " bits)";
}
