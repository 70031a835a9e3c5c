#include "ShiftOut.h"

#include "ScanValue.h"
#include "TapStates.h"

bool CShiftOut::OnClock(int nFrom, int nTo, unsigned char tdo)
{
    // The bit a clock shifts out is the one TDO shows while the clock starts in Shift.
    if (nFrom == STATE_SHIFT_DR)
        m_dr.push_back(tdo != 0 ? 1 : 0);
    else if (nFrom == STATE_SHIFT_IR)
        m_ir.push_back(tdo != 0 ? 1 : 0);

    if (nTo == STATE_CAPTURE_DR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
        m_dr.clear();
    if (nTo == STATE_CAPTURE_IR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
        m_ir.clear();

    if (nTo == STATE_EXIT1_DR && !m_dr.empty())
        m_bitsShown = m_dr;
    else if (nTo == STATE_EXIT1_IR && !m_ir.empty())
        m_bitsShown = m_ir;
    else
        return false;
    m_strShown = FormatSizedHex(m_bitsShown);
    return true;
}
