#include "SessionRecord.h"

ClockRecord MakeClockRecord(uint64_t nFallUs, uint64_t nRiseUs, int nTms, int nTdi, int nTdo, int nState)
{
    ClockRecord clock;
    clock.nFallLow = static_cast<uint32_t>(nFallUs);
    clock.nFallHigh = static_cast<uint16_t>(nFallUs >> 32);
    const uint64_t nRise = nRiseUs > nFallUs ? nRiseUs - nFallUs : 1;
    clock.nRiseUs = static_cast<uint16_t>(nRise < 0xFFFF ? nRise : 0xFFFF);
    clock.bits = static_cast<uint8_t>((nTms != 0 ? 1 : 0) | (nTdi != 0 ? 2 : 0) | (nTdo != 0 ? 4 : 0));
    clock.nState = static_cast<int8_t>(nState);
    return clock;
}

void CSessionRecord::Add(const ClockRecord& clock)
{
    if (m_nCount < m_nCapacity)
    {
        const size_t nBlock = m_nCount / BLOCK_CLOCKS;
        if (nBlock == m_blocks.size())
        {
            m_blocks.emplace_back();
            const size_t nLeft = m_nCapacity - nBlock * BLOCK_CLOCKS;
            m_blocks.back().reserve(nLeft < BLOCK_CLOCKS ? nLeft : BLOCK_CLOCKS);
        }
        m_blocks[nBlock].push_back(clock);
        ++m_nCount;
        return;
    }
    m_blocks[m_nStart / BLOCK_CLOCKS][m_nStart % BLOCK_CLOCKS] = clock;
    m_nStart = m_nStart + 1 == m_nCapacity ? 0 : m_nStart + 1;
    ++m_nDropped;
}
