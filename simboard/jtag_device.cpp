#include "jtag_device.h"

namespace {

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

uint64_t AllOnes(int nBits)
{
    return nBits >= 64 ? ~uint64_t(0) : (uint64_t(1) << nBits) - 1;
}

} // namespace

TapState NextTapState(TapState state, bool tms)
{
    const Transition& t = TRANSITIONS[static_cast<int>(state)];
    return tms ? t.onTms1 : t.onTms0;
}

CJtagDevice::CJtagDevice() : CJtagDevice({{IR_LENGTH, IR_CAPTURE, IR_IDCODE, IDCODE}})
{
}

CJtagDevice::CJtagDevice(const std::vector<SimTap>& chain)
{
    for (const SimTap& chip : chain)
    {
        Tap tap;
        tap.chip = chip;
        if (chip.nIdcode != 0)
            tap.boundary.instructions.push_back({chip.nIrIdcode, SimRegister::Idcode, 32});
        m_taps.push_back(tap);
    }
    Reset();
}

void CJtagDevice::SetBoundary(size_t nDevice, const SimBoundary& boundary)
{
    Tap& tap = m_taps[nDevice];
    tap.boundary = boundary;
    tap.latches.assign(boundary.cells.size(), 0);
    Reset();
}

char CJtagDevice::PinDriven(size_t nDevice, size_t nCell) const
{
    const Tap& tap = m_taps[nDevice];
    if (tap.Selected().reg != SimRegister::Extest || !tap.Enabled(nCell))
        return 'Z';
    return tap.latches[nCell] != 0 ? '1' : '0';
}

SimInstruction CJtagDevice::Tap::Selected() const
{
    for (const SimInstruction& known : boundary.instructions)
    {
        if (known.nOpcode == instruction)
            return known;
    }
    return {instruction, SimRegister::Bypass, 1};
}

bool CJtagDevice::Tap::Enabled(size_t nCell) const
{
    const SimCell& cell = boundary.cells[nCell];
    if (cell.kind != SimCell::Output && cell.kind != SimCell::Bidir)
        return false;
    return cell.nControl < 0 || (latches[cell.nControl] != 0) != boundary.cells[cell.nControl].bDisable;
}

void CJtagDevice::Tap::Capture(const std::function<int(size_t nCell)>& level)
{
    const SimInstruction selected = Selected();
    dr.clear();
    switch (selected.reg)
    {
    case SimRegister::Idcode:
    case SimRegister::Usercode:
        for (int bit = 0; bit < 32; ++bit)
            dr.push_back(((selected.reg == SimRegister::Idcode ? chip.nIdcode : boundary.nUsercode) >> bit) & 1);
        break;
    case SimRegister::Boundary:
    case SimRegister::Extest:
    {
        // The chip's own logic drives 0 on every output and control; under EXTEST the latches do.
        const bool bExtest = selected.reg == SimRegister::Extest;
        ++nCaptures;
        int nInput = 0;
        for (size_t i = 0; i < boundary.cells.size(); ++i)
        {
            const SimCell& cell = boundary.cells[i];
            unsigned char bit = 0;
            if (cell.kind == SimCell::Input || cell.kind == SimCell::Bidir)
            {
                const int nDriver = cell.kind == SimCell::Bidir ? static_cast<int>(i) : cell.nDrivenBy;
                const bool bDriven = bExtest && nDriver >= 0 && Enabled(static_cast<size_t>(nDriver));
                const int nOnBoard = level ? level(i) : -1;
                if (nOnBoard >= 0)
                    bit = static_cast<unsigned char>(nOnBoard);
                else
                    bit = bDriven ? latches[nDriver]
                                  : static_cast<unsigned char>(nInput < 32 ? (nCaptures >> nInput) & 1 : 0);
                ++nInput;
            }
            else if (bExtest && cell.kind != SimCell::Internal && !cell.bCapturesLogic)
                bit = latches[i];
            dr.push_back(bit);
        }
        break;
    }
    case SimRegister::Data:
        dr.assign(selected.nLength, 0);
        break;
    case SimRegister::Bypass:
    default:
        dr.assign(1, 0);
        break;
    }
}

void CJtagDevice::Reset()
{
    for (Tap& tap : m_taps)
        tap.instruction = tap.chip.nIdcode != 0 ? tap.chip.nIrIdcode : AllOnes(tap.chip.nIrLength);
}

void CJtagDevice::WriteData(uint8_t value)
{
    const bool enabled = (value & DATA_ENABLE) != 0;
    // The board pulls TCK low while the cable drives nothing: drivers switched on with TCK high
    // are a rising edge, as on a real board.
    const bool tck = enabled && (value & DATA_TCK) != 0;
    if (enabled && tck != m_tck)
    {
        if (tck)
            RisingEdge((value & DATA_TMS) != 0, (value & DATA_TDI) != 0);
        else
            FallingEdge();
    }
    m_enabled = enabled;
    m_tck = tck;
}

uint8_t CJtagDevice::ReadStatus() const
{
    const bool tdo = m_enabled && TdoDriven() ? m_taps.back().bTdo : true;
    return static_cast<uint8_t>(STATUS_IDLE | (tdo ? STATUS_TDO : 0));
}

void CJtagDevice::RisingEdge(bool tms, bool tdi)
{
    // Each device takes what the one before it drives, as it was before this edge: a TDO
    // nobody drives is pulled up.
    bool bIn = tdi;
    for (size_t nDevice = 0; nDevice < m_taps.size(); ++nDevice)
    {
        Tap& tap = m_taps[nDevice];
        const bool bNext = tap.bDriven ? tap.bTdo : true;
        const int nIr = tap.chip.nIrLength;
        switch (m_state)
        {
        case TapState::CaptureDr:
            if (m_pinLevel)
                tap.Capture([&](size_t nCell) { return m_pinLevel(nDevice, nCell); });
            else
                tap.Capture(nullptr);
            break;
        case TapState::ShiftDr:
            if (!tap.dr.empty())
                tap.dr.erase(tap.dr.begin());
            tap.dr.push_back(bIn ? 1 : 0);
            break;
        case TapState::CaptureIr:
            tap.ir = tap.chip.nIrCapture;
            break;
        case TapState::ShiftIr:
            tap.ir = (tap.ir >> 1) | (bIn ? uint64_t(1) << (nIr - 1) : 0);
            break;
        default:
            break;
        }
        bIn = bNext;
    }
    m_state = NextTapState(m_state, tms);
    if (m_state == TapState::TestLogicReset)
        Reset();
}

void CJtagDevice::FallingEdge()
{
    for (Tap& tap : m_taps)
    {
        switch (m_state)
        {
        case TapState::ShiftDr:
            tap.bDriven = true;
            tap.bTdo = tap.dr.empty() || tap.dr[0] != 0;
            break;
        case TapState::UpdateDr:
            // SAMPLE/PRELOAD and EXTEST load the latches; the others' registers hold nothing.
            if ((tap.Selected().reg == SimRegister::Boundary || tap.Selected().reg == SimRegister::Extest) &&
                tap.dr.size() == tap.latches.size())
                tap.latches = tap.dr;
            tap.bDriven = false;
            break;
        case TapState::ShiftIr:
            tap.bDriven = true;
            tap.bTdo = (tap.ir & 1) != 0;
            break;
        case TapState::UpdateIr:
            tap.instruction = tap.ir;
            tap.bDriven = false;
            break;
        default:
            tap.bDriven = false;
            break;
        }
    }
}
