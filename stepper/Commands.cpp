// What each state button drives, the reset sequence and the clock step.
#include "StepperDlg.h"

#include <algorithm>
#include <string>

#include "../platform/codepage.h"
#include "../res/texts.h"

void CStepperDlg::OnTestLogicReset()
{
    // A click taken while a SEND pumps the window's messages waits for nothing: it is dropped.
    if (!m_panel.ResetButton().IsWindowEnabled() || m_tap.InCommand())
        return;
    CPaintHold::CScope hold(m_paint);
    // The panel keeps showing the state from before the click until the sixth clock.
    m_tap.Reset();
}

void CStepperDlg::OnStateButton(UINT nID)
{
    const StepCommandRow* pRow = FindStepCommand(nID);
    // A click queued before the last step disabled this button, or a command sent by another
    // program, would move the device to a state one clock cannot reach from the one shown.
    if (pRow == nullptr || !m_panel.Button(nID)->IsWindowEnabled() || m_tap.InCommand())
        return;
    CPaintHold::CScope hold(m_paint);
    m_tap.Step(pRow->step);
}

void CStepperDlg::OnPulseSrst()
{
    if (m_tap.InCommand())
        return;
    CPaintHold::CScope hold(m_paint);
    const Outcome end = m_tap.PulseSrst();
    // A lost cable was told to the window as a clock's loss is.
    if (end != Ended::Refused)
        return;
    m_paint.Release();
    MessageBoxCp932(m_hWnd, end.Message().c_str(), ErrorCaption().c_str(), MB_ICONEXCLAMATION);
}

void CStepperDlg::OnStateEntered(int nState)
{
    ShowState(nState);
}

void CStepperDlg::OnCableLost(const std::string& strFailure)
{
    // What a SEND kept back goes to the window first: the message must find it as it is.
    if (m_bDeferred)
    {
        m_bDeferred = false;
        ApplyDeferred();
    }
    ShowUnknownState();
    // A SEND's progress ("123/4096") is no value: the SEND read none.
    if (m_send.IsSending())
    {
        ShowValue("");
        MarkChanged(m_editValue);
    }
    // The message must find the window painted.
    m_paint.Release();
    const std::string strText = Outcome(Ended::Lost, strFailure).Message() +
                                "\n\nThe last clock did not reach the device, so its TAP state is now unknown. Check the "
                                "cable and its connection, then click TEST-LOGIC-RESET.";
    MessageBoxCp932(m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}
