// The clocks to the trace rows, the history list and the value display.
#include "StepperDlg.h"

#include <algorithm>

#include "../platform/codepage.h"
#include "../res/texts.h"
#include "../tap/ScanValue.h"

namespace {

// The list grows to one line more than this, then stays there.
const int HISTORY_LIMIT = 100;

} // namespace

void CStepperDlg::OnClock(const ClockRecord& clock, bool bValueOut)
{
    m_trace.Add(clock);
    const CString code(TapStateCode(clock.nState));
    CString line;
    line.Format("%d%d%d-%s", clock.Tms(), clock.Tdi(), clock.Tdo(), static_cast<LPCSTR>(code));
    m_pendingLines.push_back(line);
    m_nPendingTdo = static_cast<BYTE>(clock.Tdo());
    m_bValuePending = m_bValuePending || bValueOut;
    if (bValueOut)
        m_bLastOutIr = clock.nState == STATE_EXIT1_IR;
    if (!m_bDeferred)
        ShowRecordedClocks();
    RefreshTrace();
    m_send.OnClock();
}

void CStepperDlg::OnTraceFileFailed(const std::string& strError)
{
    m_paint.Release();
    MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::AddHistoryLine(const CString& line)
{
    if (m_listHistory.GetCount() > HISTORY_LIMIT)
        m_listHistory.DeleteString(0);
    m_listHistory.AddString(line);
}

void CStepperDlg::ShowSoFar()
{
    m_bDeferred = false;
    ApplyDeferred();
    m_bDeferred = true;
}

void CStepperDlg::OnCommandEnded()
{
    m_bDeferred = false;
    ApplyDeferred();
}

void CStepperDlg::ShowValue(const std::string& text)
{
    m_editValue.SetWindowText(text.c_str());
    m_valueTip.SetText(text);
}

void CStepperDlg::ShowValueText(const std::string& text)
{
    ShowValue(text);
    MarkChanged(m_editValue);
}

void CStepperDlg::ApplyDeferred()
{
    ShowRecordedClocks();
    RefreshTrace();
    ShowState(m_tap.State());
}

void CStepperDlg::ShowRecordedClocks()
{
    if (!m_pendingLines.empty())
    {
        // Of the lines kept back, only those the list keeps are added: it ends as if each had been.
        const size_t nKeep = static_cast<size_t>(HISTORY_LIMIT) + 1;
        const size_t nFirst = m_pendingLines.size() > nKeep ? m_pendingLines.size() - nKeep : 0;
        if (nFirst > 0)
            m_listHistory.SendMessage(LB_RESETCONTENT);
        for (size_t i = nFirst; i < m_pendingLines.size(); ++i)
            AddHistoryLine(m_pendingLines[i]);
        m_pendingLines.clear();
        m_listHistory.SetTopIndex(m_listHistory.GetCount() - 1);
        MarkChanged(m_listHistory);
        // The pin controls show the levels of the last clock.
        m_pins.ShowClock(m_nPendingTdo);
    }
    if (m_bValuePending)
    {
        ShowValue(ShownValue());
        MarkChanged(m_editValue);
        m_bValuePending = false;
    }
}

std::string CStepperDlg::ShownValue() const
{
    const CChainAddress* pAddress = m_send.Address();
    if (pAddress == nullptr)
        return m_tap.ValueOut();
    CBits bits;
    if (!pAddress->Share(m_bLastOutIr, m_tap.BitsOut(), bits))
        return "";
    return FormatSizedHex(bits);
}

void CStepperDlg::SpeakTo(CChainAddress* pAddress)
{
    m_send.SpeakTo(pAddress);
}

BOOL CStepperDlg::RefreshTrace()
{
    if (!m_bDeferred)
        m_trace.Show();
    return TRUE;
}
