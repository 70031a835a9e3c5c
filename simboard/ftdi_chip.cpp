#include "ftdi_chip.h"

namespace {

const uint8_t PIN_TCK = 0x01;
const uint8_t PIN_TDI = 0x02;
const uint8_t PIN_TDO = 0x04;
const uint8_t PIN_TMS = 0x08;
const uint8_t SIGNALS = PIN_TCK | PIN_TDI | PIN_TMS;

// The board's own cable layout: TDI, TCK, TMS and enable on data bits 0, 1, 2 and 4.
const uint8_t DATA_TDI = 0x01;
const uint8_t DATA_TCK = 0x02;
const uint8_t DATA_TMS = 0x04;
const uint8_t DATA_ENABLE = 0x10;

} // namespace

void CFtdiChip::SetBitMode(uint8_t mask, uint8_t mode)
{
    m_mode = mode;
    m_direction = mask;
    Drive();
}

void CFtdiChip::Write(const uint8_t* pData, size_t nCount)
{
    if (m_mode != MODE_SYNC_BITBANG)
        return;
    for (size_t i = 0; i < nCount; ++i)
    {
        m_received.push_back(Pins());
        m_latch = pData[i];
        Drive();
    }
}

size_t CFtdiChip::Read(uint8_t* pData, size_t nCount)
{
    size_t nRead = 0;
    while (nRead < nCount && !m_received.empty())
    {
        pData[nRead++] = m_received.front();
        m_received.pop_front();
    }
    return nRead;
}

uint8_t CFtdiChip::Pins() const
{
    const uint8_t outputs = Outputs();
    uint8_t levels = static_cast<uint8_t>((m_latch & outputs) | (~outputs & ~PIN_TDO));
    if ((outputs & PIN_TDO) == 0 && (m_board.ReadStatus() & 0x10) != 0)
        levels |= PIN_TDO;
    return levels;
}

void CFtdiChip::Drive()
{
    const uint8_t outputs = Outputs();
    uint8_t data = 0;
    if ((outputs & SIGNALS) == SIGNALS)
    {
        data = DATA_ENABLE;
        if ((m_latch & PIN_TCK) != 0)
            data |= DATA_TCK;
        if ((m_latch & PIN_TDI) != 0)
            data |= DATA_TDI;
        if ((m_latch & PIN_TMS) != 0)
            data |= DATA_TMS;
    }
    m_board.WriteData(data);
}
