// Every clock of the session: the levels the cable drove, the TDO it read, the state entered,
// and when. The oldest clocks are dropped past a bound, and the record says how many.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#pragma pack(push, 1)
struct ClockRecord
{
    uint32_t nFallLow;   // TCK low with this clock's TMS and TDI: microseconds since the session began,
    uint16_t nFallHigh;  // in 48 bits (nine years)
    uint16_t nRiseUs;    // TCK high, microseconds after the fall
    uint8_t bits;        // TMS, TDI and TDO in bits 0, 1 and 2
    int8_t nState;       // the state index entered on the rising edge; -1 unknown

    uint64_t FallUs() const { return (static_cast<uint64_t>(nFallHigh) << 32) | nFallLow; }
    int Tms() const { return bits & 1; }
    int Tdi() const { return (bits >> 1) & 1; }
    int Tdo() const { return (bits >> 2) & 1; }
};
#pragma pack(pop)
static_assert(sizeof(ClockRecord) == 10, "a clock is kept in ten bytes");

ClockRecord MakeClockRecord(uint64_t nFallUs, uint64_t nRiseUs, int nTms, int nTdi, int nTdo, int nState);

class CSessionRecord
{
public:
    // Two million clocks (20 MB) is hours of clicking; past it the oldest go.
    static const size_t CAPACITY = 2000000;

    explicit CSessionRecord(size_t nCapacity = CAPACITY) : m_nCapacity(nCapacity) {}

    void Add(const ClockRecord& clock);
    size_t Count() const { return m_nCount; }
    // The number of the oldest clock kept, counting from 0 for the first of the session.
    uint64_t FirstClock() const { return m_nDropped; }
    // The i-th clock kept, oldest first.
    const ClockRecord& At(size_t i) const
    {
        size_t nAt = m_nStart + i;
        if (nAt >= m_nCapacity)
            nAt -= m_nCapacity;
        return m_blocks[nAt / BLOCK_CLOCKS][nAt % BLOCK_CLOCKS];
    }

private:
    // The clocks are kept in blocks, a ring once full: the record grows a block at a time, never
    // holding its old and new bytes at once as one array moved to a larger one would.
    static const size_t BLOCK_CLOCKS = 1 << 16;
    size_t m_nCapacity;
    std::vector<std::vector<ClockRecord>> m_blocks;
    size_t m_nCount = 0;
    size_t m_nStart = 0;
    uint64_t m_nDropped = 0;
};
