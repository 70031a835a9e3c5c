// Bits packed eight to a byte, bit 0 the lowest of the first byte. Copies share their bytes
// until one of them is changed, so that a value of millions of bits handed from the file to the
// player, kept for the next command and compared costs its bytes once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBits
{
public:
    CBits() = default;
    // nBits bits, each bValue.
    CBits(size_t nBits, bool bValue);
    // Packed bytes as they stand; bits past nBits in the last byte are cleared.
    static CBits FromPacked(std::vector<uint8_t>&& bytes, size_t nBits);

    size_t size() const { return m_nBits; }
    bool empty() const { return m_nBits == 0; }
    bool operator[](size_t i) const { return ((*m_pBytes)[i >> 3] >> (i & 7) & 1) != 0; }
    // The packed bytes, (size() + 7) / 8 of them.
    const uint8_t* Bytes() const { return m_pBytes ? m_pBytes->data() : nullptr; }

    void Set(size_t i, bool bValue);
    void push_back(bool bValue);
    // Room for nBits without a move of the bytes on the way there.
    void reserve(size_t nBits);
    void clear();
    // The first nBits bits kept, any added ones bValue.
    void resize(size_t nBits, bool bValue = false);
    // Bits [nFrom, nFrom + nCount) of another value added at the end.
    void Append(const CBits& other, size_t nFrom = 0, size_t nCount = SIZE_MAX);
    // Bits [nFrom, nFrom + nCount) as a value of its own.
    CBits Slice(size_t nFrom, size_t nCount) const;
    // Whether any bit in [nFrom, nFrom + nCount) is set.
    bool AnySet(size_t nFrom = 0, size_t nCount = SIZE_MAX) const { return Any(true, nFrom, nCount); }
    // Whether every bit in [nFrom, nFrom + nCount) is set.
    bool AllSet(size_t nFrom = 0, size_t nCount = SIZE_MAX) const { return !Any(false, nFrom, nCount); }

    bool operator==(const CBits& other) const;
    bool operator!=(const CBits& other) const { return !(*this == other); }

private:
    // Whether any bit in [nFrom, nFrom + nCount) is bValue: a byte at a time where whole bytes lie
    // in the range.
    bool Any(bool bValue, size_t nFrom, size_t nCount) const;
    // Makes the bytes this value's own before a change.
    std::vector<uint8_t>& Own();

    std::shared_ptr<std::vector<uint8_t>> m_pBytes;
    size_t m_nBits = 0;
};

// The index of the first bit where read differs from expected under mask (a 1 in the mask
// compares); bits past read's end differ in nothing. SIZE_MAX where none differs.
size_t FirstDifference(const CBits& read, const CBits& expected, const CBits& mask);
