// An FTDI chip's eight bit-bang pins, with the simulated board wired to them as the default pin
// map says: TCK on pin 0, TDI on 1, TDO on 2, TMS on 3. The board sees the cable enabled while
// TCK, TDI and TMS are all outputs in synchronous bit-bang mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "jtag_device.h"

class CFtdiChip
{
public:
    static constexpr uint8_t MODE_RESET = 0x00;
    static constexpr uint8_t MODE_SYNC_BITBANG = 0x04;

    void SetBitMode(uint8_t mask, uint8_t mode);
    // In synchronous bit-bang mode each byte is taken as the chip does: the pins are sampled
    // into the receive buffer, then the byte is put on the outputs.
    void Write(const uint8_t* pData, size_t nCount);
    size_t Read(uint8_t* pData, size_t nCount);
    void Purge() { m_received.clear(); }

    // The pins' levels now: outputs as written, TDO from the board, other inputs pulled up.
    uint8_t Pins() const;
    uint8_t Outputs() const { return m_mode == MODE_SYNC_BITBANG ? m_direction : 0; }
    uint8_t Mode() const { return m_mode; }
    CJtagDevice& Board() { return m_board; }

private:
    void Drive();

    CJtagDevice m_board;
    uint8_t m_mode = MODE_RESET;
    uint8_t m_direction = 0;
    uint8_t m_latch = 0;
    std::deque<uint8_t> m_received;
};
