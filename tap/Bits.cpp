#include "Bits.h"

#include <algorithm>

CBits::CBits(size_t nBits, bool bValue)
    : m_pBytes(std::make_shared<std::vector<uint8_t>>((nBits + 7) / 8, bValue ? 0xFF : 0)), m_nBits(nBits)
{
    if (bValue && (nBits & 7) != 0)
        m_pBytes->back() = static_cast<uint8_t>((1u << (nBits & 7)) - 1);
}

CBits CBits::FromPacked(std::vector<uint8_t>&& bytes, size_t nBits)
{
    CBits value;
    bytes.resize((nBits + 7) / 8);
    if ((nBits & 7) != 0)
        bytes.back() = static_cast<uint8_t>(bytes.back() & ((1u << (nBits & 7)) - 1));
    value.m_pBytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
    value.m_nBits = nBits;
    return value;
}

std::vector<uint8_t>& CBits::Own()
{
    if (!m_pBytes)
        m_pBytes = std::make_shared<std::vector<uint8_t>>();
    else if (m_pBytes.use_count() > 1)
        m_pBytes = std::make_shared<std::vector<uint8_t>>(*m_pBytes);
    return *m_pBytes;
}

void CBits::Set(size_t i, bool bValue)
{
    std::vector<uint8_t>& bytes = Own();
    const uint8_t bit = static_cast<uint8_t>(1u << (i & 7));
    bytes[i >> 3] = static_cast<uint8_t>(bValue ? bytes[i >> 3] | bit : bytes[i >> 3] & ~bit);
}

void CBits::push_back(bool bValue)
{
    std::vector<uint8_t>& bytes = Own();
    if ((m_nBits & 7) == 0)
        bytes.push_back(0);
    if (bValue)
        bytes.back() = static_cast<uint8_t>(bytes.back() | (1u << (m_nBits & 7)));
    ++m_nBits;
}

void CBits::reserve(size_t nBits)
{
    Own().reserve((nBits + 7) / 8);
}

void CBits::clear()
{
    // Another copy may hold the bytes: this one lets go of them rather than clear them. Bytes of
    // its own it keeps, with their room, for the next value.
    if (m_pBytes && m_pBytes.use_count() == 1)
        m_pBytes->clear();
    else
        m_pBytes.reset();
    m_nBits = 0;
}

void CBits::resize(size_t nBits, bool bValue)
{
    if (nBits <= m_nBits)
    {
        std::vector<uint8_t>& bytes = Own();
        bytes.resize((nBits + 7) / 8);
        if ((nBits & 7) != 0)
            bytes.back() = static_cast<uint8_t>(bytes.back() & ((1u << (nBits & 7)) - 1));
        m_nBits = nBits;
        return;
    }
    Append(CBits(nBits - m_nBits, bValue));
}

void CBits::Append(const CBits& other, size_t nFrom, size_t nCount)
{
    const size_t nEnd = nFrom >= other.m_nBits ? nFrom : nCount > other.m_nBits - nFrom ? other.m_nBits : nFrom + nCount;
    if (nEnd == nFrom)
        return;
    if (m_nBits == 0 && nFrom == 0 && nEnd == other.m_nBits)
    {
        *this = other;
        return;
    }
    std::vector<uint8_t>& bytes = Own();
    bytes.reserve((m_nBits + (nEnd - nFrom) + 7) / 8);
    size_t i = nFrom;
    // Bit by bit up to a byte's edge here, then a byte at a time.
    for (; i < nEnd && (m_nBits & 7) != 0; ++i)
        push_back(other[i]);
    const unsigned nShift = static_cast<unsigned>(i & 7);
    const uint8_t* pFrom = other.Bytes();
    for (; i + 8 <= nEnd; i += 8)
    {
        const size_t nByte = i >> 3;
        unsigned value = pFrom[nByte] >> nShift;
        if (nShift != 0)
            value |= static_cast<unsigned>(pFrom[nByte + 1]) << (8 - nShift);
        bytes.push_back(static_cast<uint8_t>(value));
        m_nBits += 8;
    }
    for (; i < nEnd; ++i)
        push_back(other[i]);
}

CBits CBits::Slice(size_t nFrom, size_t nCount) const
{
    CBits part;
    part.Append(*this, nFrom, nCount);
    return part;
}

bool CBits::Any(bool bValue, size_t nFrom, size_t nCount) const
{
    const size_t nEnd = nFrom >= m_nBits ? nFrom : nCount > m_nBits - nFrom ? m_nBits : nFrom + nCount;
    // A whole byte holds none of bValue when it is all the other value.
    const uint8_t none = bValue ? 0x00 : 0xFF;
    size_t i = nFrom;
    for (; i < nEnd && (i & 7) != 0; ++i)
    {
        if ((*this)[i] == bValue)
            return true;
    }
    for (; i + 8 <= nEnd; i += 8)
    {
        if ((*m_pBytes)[i >> 3] != none)
            return true;
    }
    for (; i < nEnd; ++i)
    {
        if ((*this)[i] == bValue)
            return true;
    }
    return false;
}

bool CBits::operator==(const CBits& other) const
{
    if (m_nBits != other.m_nBits)
        return false;
    return m_nBits == 0 || m_pBytes == other.m_pBytes ||
           std::equal(m_pBytes->begin(), m_pBytes->begin() + static_cast<std::ptrdiff_t>((m_nBits + 7) / 8),
                      other.m_pBytes->begin());
}

size_t FirstDifference(const CBits& read, const CBits& expected, const CBits& mask)
{
    const size_t nBits = std::min(read.size(), std::min(expected.size(), mask.size()));
    const uint8_t* pRead = read.Bytes();
    const uint8_t* pExpected = expected.Bytes();
    const uint8_t* pMask = mask.Bytes();
    for (size_t nByte = 0; nByte * 8 < nBits; ++nByte)
    {
        unsigned differ = static_cast<unsigned>((pRead[nByte] ^ pExpected[nByte]) & pMask[nByte]);
        if (nBits - nByte * 8 < 8)
            differ &= (1u << (nBits - nByte * 8)) - 1;
        for (unsigned b = 0; differ != 0; ++b, differ >>= 1)
        {
            if ((differ & 1) != 0)
                return nByte * 8 + b;
        }
    }
    return SIZE_MAX;
}
