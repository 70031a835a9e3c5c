#include "ShiftOut.h"

#include "ScanValue.h"
#include "TapStates.h"

bool CShiftOut::OnClock(int nFrom, int nTo, unsigned char tdo)
{
    // The bit a clock shifts out is the one TDO shows while the clock starts in Shift.
    if (nFrom == STATE_SHIFT_DR && m_nDrBits++ < KEPT_BITS)
        m_dr.push_back(tdo != 0);
    else if (nFrom == STATE_SHIFT_IR && m_nIrBits++ < KEPT_BITS)
        m_ir.push_back(tdo != 0);

    if (nTo == STATE_CAPTURE_DR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
    {
        m_dr.clear();
        m_nDrBits = 0;
    }
    if (nTo == STATE_CAPTURE_IR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
    {
        m_ir.clear();
        m_nIrBits = 0;
    }

    if (nTo == STATE_EXIT1_DR && m_nDrBits > 0)
    {
        m_bitsShown = m_dr;
        m_nShownBits = m_nDrBits;
    }
    else if (nTo == STATE_EXIT1_IR && m_nIrBits > 0)
    {
        m_bitsShown = m_ir;
        m_nShownBits = m_nIrBits;
    }
    else
        return false;
    m_bShownMade = false;
    return true;
}

const std::string& CShiftOut::Shown() const
{
    if (!m_bShownMade)
    {
        m_strShown = FormatSizedHex(m_bitsShown);
        if (m_nShownBits > m_bitsShown.size())
            m_strShown += " (the first " + std::to_string(m_bitsShown.size()) + " of " + std::to_string(m_nShownBits) +
                          " bits out)";
    }
    m_bShownMade = true;
    return m_strShown;
}
