// An FTDI chip's eight low pins (ADBUS0-7), with the simulated board wired to them as the
// default pin map and the chip's serial engine (MPSSE) both have them: TCK on pin 0, TDI on 1, TDO
// on 2, TMS on 3. The board sees the cable enabled while TCK, TDI and TMS are all outputs, in
// synchronous bit-bang mode or in MPSSE mode. In MPSSE mode the bytes written are the engine's
// commands as FTDI's application note AN_108 defines them; the eight high pins (ACBUS0-7) are
// kept for what the commands set on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "jtag_device.h"

class CFtdiChip
{
public:
    static constexpr uint8_t MODE_RESET = 0x00;
    static constexpr uint8_t MODE_SYNC_BITBANG = 0x04;
    static constexpr uint8_t MODE_MPSSE = 0x02;

    // In MPSSE mode the pins start as inputs, whatever the mask: the commands set them.
    void SetBitMode(uint8_t mask, uint8_t mode);
    // In synchronous bit-bang mode each byte is taken as the chip does: the pins are sampled
    // into the receive buffer, then the byte is put on the outputs. In MPSSE mode the bytes are
    // commands, run as soon as each has come whole; what they read goes to the receive buffer,
    // and a command the engine does not know is answered 0xFA and the command.
    void Write(const uint8_t* pData, size_t nCount);
    size_t Read(uint8_t* pData, size_t nCount);
    void Purge() { m_received.clear(); }

    // The pins' levels now: outputs as written, TDO from the board, other inputs pulled up.
    uint8_t Pins() const;
    uint8_t Outputs() const { return m_mode == MODE_SYNC_BITBANG || m_mode == MODE_MPSSE ? m_direction : 0; }
    uint8_t Mode() const { return m_mode; }
    CJtagDevice& Board() { return m_board; }

    // What the MPSSE commands set: the clock divisor, the master clock divided by 5 (as the chip
    // starts), three-phase data clocking, adaptive clocking, TDI looped back to TDO, the high pins.
    uint16_t Divisor() const { return m_nDivisor; }
    bool DividesBy5() const { return m_bDivideBy5; }
    bool ThreePhase() const { return m_bThreePhase; }
    bool Adaptive() const { return m_bAdaptive; }
    bool Loopback() const { return m_bLoopback; }
    uint8_t HighLevels() const { return m_highLatch; }
    uint8_t HighOutputs() const { return m_highDirection; }
    // TCK cycles the MPSSE commands made.
    uint64_t MpsseClocks() const { return m_nMpsseClocks; }

private:
    void Drive();
    // The command at the front of the pending bytes, run; the bytes it took, 0 while it has not
    // all come.
    size_t RunCommand(const uint8_t* pCommand, size_t nHave);
    // One TCK cycle with these levels on TDI and TMS, TCK low around it as MPSSE leaves it; the
    // TDO level sampled on the edge the command reads on.
    bool Cycle(bool bTdi, bool bTms, bool bReadOnFalling);

    CJtagDevice m_board;
    uint8_t m_mode = MODE_RESET;
    uint8_t m_direction = 0;
    uint8_t m_latch = 0;
    std::deque<uint8_t> m_received;

    std::vector<uint8_t> m_pending;  // MPSSE command bytes not yet whole
    uint16_t m_nDivisor = 0;
    bool m_bDivideBy5 = true;
    bool m_bThreePhase = false;
    bool m_bAdaptive = false;
    bool m_bLoopback = false;
    uint8_t m_highLatch = 0;
    uint8_t m_highDirection = 0;
    uint64_t m_nMpsseClocks = 0;
};
