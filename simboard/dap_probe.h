// A CMSIS-DAP debug probe with the simulated board on its JTAG pins, answering the commands MORVA
// uses as ARM's CMSIS-DAP documentation defines them: DAP_Info (product, serial, capabilities,
// packet count and size), DAP_Connect, DAP_Disconnect, DAP_SWJ_Pins, DAP_SWJ_Clock and
// DAP_JTAG_Sequence. Any other command, or one cut short, is answered DAP_ERROR (0xFF), as a probe
// answers a command it does not implement. The board sees the pins only while the probe is
// connected in JTAG mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jtag_device.h"

class CDapProbe
{
public:
    struct Identity
    {
        std::string product = "MORVA simulated probe";
        std::string serial = "SIMDAP01";
        uint16_t nPacketSize = 64;
        uint8_t nPacketCount = 2;
        uint8_t capabilities = 0x03;  // SWD and JTAG
    };

    CDapProbe() = default;
    explicit CDapProbe(const Identity& identity) : m_identity(identity) {}

    // The answer to one command packet (a HID report's bytes past its report number, or a bulk
    // transfer's), as long as the command gives it; a report's padding is ignored.
    std::vector<uint8_t> Answer(const uint8_t* pCommand, size_t nCount);

    const Identity& Probe() const { return m_identity; }
    CJtagDevice& Board() { return m_board; }
    bool Connected() const { return m_bConnected; }
    uint32_t ClockHz() const { return m_nClockHz; }
    // The pins' levels as DAP_SWJ_Pins reads them.
    uint8_t Pins() const;
    // TCK cycles DAP_JTAG_Sequence made.
    uint64_t Clocks() const { return m_nClocks; }

private:
    void Drive();
    bool Sequences(const uint8_t* pCommand, size_t nCount, std::vector<uint8_t>& answer);

    Identity m_identity;
    CJtagDevice m_board;
    bool m_bConnected = false;
    uint32_t m_nClockHz = 1000000;
    uint8_t m_outputs = 0x80 | 0x20;  // nRESET and nTRST released
    uint64_t m_nClocks = 0;
};
