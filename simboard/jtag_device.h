// A simulated board: one IEEE 1149.1 device behind the parallel-port cable.
//
// The device sees the data register's pins only while the cable-enable bit is set. It changes
// TAP state on rising TCK edges, drives TDO on falling edges in Shift-IR and Shift-DR only, and
// otherwise leaves TDO to its pull-up, so it reads 1.
#pragma once

#include <cstdint>

enum class TapState
{
    TestLogicReset,
    RunTestIdle,
    SelectDrScan,
    CaptureDr,
    ShiftDr,
    Exit1Dr,
    PauseDr,
    Exit2Dr,
    UpdateDr,
    SelectIrScan,
    CaptureIr,
    ShiftIr,
    Exit1Ir,
    PauseIr,
    Exit2Ir,
    UpdateIr,
};

const int TAP_STATE_COUNT = 16;

// The TAP controller's transition on one rising TCK edge.
TapState NextTapState(TapState state, bool tms);

class CJtagDevice
{
public:
    // Version 1, part 0x4D56, manufacturer 0x2A5 (all made up), and the mandatory 1 in bit 0.
    static constexpr uint32_t IDCODE = 0x14D5654B;

    static constexpr int IR_LENGTH = 4;
    static constexpr uint8_t IR_CAPTURE = 0x1;  // binary 0001: the two low bits 01 as 1149.1 asks
    static constexpr uint8_t IR_IDCODE = 0x2;
    static constexpr uint8_t IR_BYPASS = 0xF;   // every code but IR_IDCODE selects BYPASS

    // Other status-register bits as an idle port with nothing but this cable on it reads them:
    // bits 0-3 (unused, nError) and 5-6 (paper out, nAck) high, bit 7 (inverted busy) low.
    static constexpr uint8_t STATUS_IDLE = 0x6F;

    void WriteData(uint8_t value);
    uint8_t ReadStatus() const;

    TapState State() const { return m_state; }
    uint8_t Instruction() const { return m_instruction; }
    bool TdoDriven() const { return m_tdoDriven; }

private:
    void RisingEdge(bool tms, bool tdi);
    void FallingEdge();
    bool IdcodeSelected() const { return m_instruction == IR_IDCODE; }

    TapState m_state = TapState::TestLogicReset;
    uint8_t m_instruction = IR_IDCODE;
    uint8_t m_irShift = 0;
    uint32_t m_drShift = 0;
    bool m_enabled = false;
    bool m_tck = false;
    bool m_tdoDriven = false;
    bool m_tdo = true;
};
