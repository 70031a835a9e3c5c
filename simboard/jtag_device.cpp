#include "jtag_device.h"

namespace {

const uint8_t PIN_TDI = 0x01;
const uint8_t PIN_TCK = 0x02;
const uint8_t PIN_TMS = 0x04;
const uint8_t PIN_ENABLE = 0x10;
const uint8_t STATUS_TDO = 0x10;

struct Transition
{
    TapState onTms0;
    TapState onTms1;
};

// Indexed by TapState.
const Transition TRANSITIONS[] = {
    {TapState::RunTestIdle, TapState::TestLogicReset},  // Test-Logic-Reset
    {TapState::RunTestIdle, TapState::SelectDrScan},    // Run-Test/Idle
    {TapState::CaptureDr, TapState::SelectIrScan},      // Select-DR-Scan
    {TapState::ShiftDr, TapState::Exit1Dr},             // Capture-DR
    {TapState::ShiftDr, TapState::Exit1Dr},             // Shift-DR
    {TapState::PauseDr, TapState::UpdateDr},            // Exit1-DR
    {TapState::PauseDr, TapState::Exit2Dr},             // Pause-DR
    {TapState::ShiftDr, TapState::UpdateDr},            // Exit2-DR
    {TapState::RunTestIdle, TapState::SelectDrScan},    // Update-DR
    {TapState::CaptureIr, TapState::TestLogicReset},    // Select-IR-Scan
    {TapState::ShiftIr, TapState::Exit1Ir},             // Capture-IR
    {TapState::ShiftIr, TapState::Exit1Ir},             // Shift-IR
    {TapState::PauseIr, TapState::UpdateIr},            // Exit1-IR
    {TapState::PauseIr, TapState::Exit2Ir},             // Pause-IR
    {TapState::ShiftIr, TapState::UpdateIr},            // Exit2-IR
    {TapState::RunTestIdle, TapState::SelectDrScan},    // Update-IR
};
static_assert(sizeof(TRANSITIONS) / sizeof(TRANSITIONS[0]) == TAP_STATE_COUNT, "one row per state");

} // namespace

TapState NextTapState(TapState state, bool tms)
{
    const Transition& t = TRANSITIONS[static_cast<int>(state)];
    return tms ? t.onTms1 : t.onTms0;
}

void CJtagDevice::WriteData(uint8_t value)
{
    const bool enabled = (value & PIN_ENABLE) != 0;
    // The board pulls TCK low while the cable drives nothing: drivers switched on with TCK high
    // are a rising edge, as on a real board.
    const bool tck = enabled && (value & PIN_TCK) != 0;
    if (enabled && tck != m_tck)
    {
        if (tck)
            RisingEdge((value & PIN_TMS) != 0, (value & PIN_TDI) != 0);
        else
            FallingEdge();
    }
    m_enabled = enabled;
    m_tck = tck;
}

uint8_t CJtagDevice::ReadStatus() const
{
    const bool tdo = m_enabled && m_tdoDriven ? m_tdo : true;
    return static_cast<uint8_t>(STATUS_IDLE | (tdo ? STATUS_TDO : 0));
}

void CJtagDevice::RisingEdge(bool tms, bool tdi)
{
    switch (m_state)
    {
    case TapState::CaptureDr:
        m_drShift = IdcodeSelected() ? IDCODE : 0;
        break;
    case TapState::ShiftDr:
        if (IdcodeSelected())
            m_drShift = (m_drShift >> 1) | (static_cast<uint32_t>(tdi) << 31);
        else
            m_drShift = tdi ? 1 : 0;
        break;
    case TapState::CaptureIr:
        m_irShift = IR_CAPTURE;
        break;
    case TapState::ShiftIr:
        m_irShift = static_cast<uint8_t>((m_irShift >> 1) | (tdi ? 1 << (IR_LENGTH - 1) : 0));
        break;
    default:
        break;
    }
    m_state = NextTapState(m_state, tms);
    if (m_state == TapState::TestLogicReset)
        m_instruction = IR_IDCODE;
}

void CJtagDevice::FallingEdge()
{
    switch (m_state)
    {
    case TapState::ShiftDr:
        m_tdoDriven = true;
        m_tdo = (m_drShift & 1) != 0;
        break;
    case TapState::ShiftIr:
        m_tdoDriven = true;
        m_tdo = (m_irShift & 1) != 0;
        break;
    case TapState::UpdateIr:
        m_instruction = m_irShift;
        m_tdoDriven = false;
        break;
    default:
        m_tdoDriven = false;
        break;
    }
}
