// What each state button drives, the reset sequence and the clock step.
#include "StepperDlg.h"

#include <algorithm>
#include <string>

#include "../platform/codepage.h"
#include "../res/texts.h"
#include "TapTable.h"

namespace {

// A push button's raised frame, as DrawFrameControl draws it.
const int FRAME_WIDTH = 2;

} // namespace

void CStepperDlg::OnTestLogicReset()
{
    // A click taken while a SEND pumps the window's messages waits for nothing: it is dropped.
    if (!m_btnTestLogicReset.IsWindowEnabled() || m_pSending != nullptr)
        return;
    CRedrawHold hold(*this);
    // The panel keeps showing the state from before the click until the sixth clock.
    m_tap.Reset();
}

void CStepperDlg::OnStateButton(UINT nID)
{
    const StepCommandRow* pRow = FindStepCommand(nID);
    // A click queued before the last step disabled this button, or a command sent by another
    // program, would move the device to a state one clock cannot reach from the one shown.
    if (pRow == nullptr || !StateButton(nID)->IsWindowEnabled() || m_pSending != nullptr)
        return;
    CRedrawHold hold(*this);
    StepButton(nID);
}

BOOL CStepperDlg::StepButton(UINT nID)
{
    const StepCommandRow* pRow = FindStepCommand(nID);
    return pRow != nullptr && m_tap.Step(pRow->step) ? TRUE : FALSE;
}

void CStepperDlg::OnStateDoubleClicked()
{
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
    if (m_pSending != nullptr)
    {
        m_editValue.SetWindowText("");
        MarkChanged(m_editValue);
    }
    // The message must find the window painted.
    ReleaseRedraw();
    const std::string strText =
        "The cable stopped answering, so the last clock did not reach the device. Its TAP state is now "
        "unknown.\n\n" +
        strFailure + "\n\nCheck the cable and its connection, then click TEST-LOGIC-RESET.";
    MessageBoxCp932(m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::HoldRedraw()
{
    // A hidden window paints nothing anyway.
    if (!s_bHoldPainting || m_bRedrawHeld || ::IsWindowVisible(m_hWnd) == FALSE)
        return;
    m_bRedrawHeld = true;
    m_hFocusBeforeHold = ::GetFocus();
    // Holding drops what waits to be painted (the button that lost the focus to the click, say):
    // paint it first.
    RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessage(WM_SETREDRAW, FALSE);
}

void CStepperDlg::MarkChanged(CWnd& control)
{
    if (m_bRedrawHeld)
        m_changed.push_back(control.m_hWnd);
}

void CStepperDlg::ReleaseRedraw()
{
    if (!m_bRedrawHeld)
        return;
    m_bRedrawHeld = false;
    SendMessage(WM_SETREDRAW, TRUE);
    // Each control once, in the order of its last change, as painting every change at once
    // would leave them: a restored button before the new highlight, and where two buttons
    // share an edge, the one changed last on top.
    std::vector<HWND> order;
    for (auto it = m_changed.rbegin(); it != m_changed.rend(); ++it)
    {
        if (*it != nullptr && std::find(order.begin(), order.end(), *it) == order.end())
            order.push_back(*it);
    }
    m_changed.clear();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
    {
        if (::IsChild(m_hWnd, *it))
            ::RedrawWindow(*it, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }
    // A focus that moved on while held took its rectangle along unseen. Where nothing else of
    // the two buttons changed, only their insides are drawn again: their frames stay as they are.
    for (HWND hEnd : {m_hFocusBeforeHold, ::GetFocus()})
    {
        if (::GetFocus() == m_hFocusBeforeHold || hEnd == nullptr || !::IsChild(m_hWnd, hEnd) ||
            std::find(order.begin(), order.end(), hEnd) != order.end())
            continue;
        RECT inside;
        ::GetClientRect(hEnd, &inside);
        ::InflateRect(&inside, -FRAME_WIDTH, -FRAME_WIDTH);
        ::RedrawWindow(hEnd, &inside, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}
