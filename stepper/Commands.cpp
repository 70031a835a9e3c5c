// What each state button drives, the reset sequence and the clock step.
#include "StepperDlg.h"

#include <algorithm>
#include <string>

#include "../cable/cable.h"
#include "../cable/port.h"
#include "../platform/codepage.h"
#include "../res/texts.h"
#include "../platform/system.h"
#include "TapTable.h"

namespace {

// Five clocks with TMS high reach Test-Logic-Reset from any state.
const int RESET_CLOCKS = 5;
const DWORD SETTLE_MS = 5;
// A push button's raised frame, as DrawFrameControl draws it.
const int FRAME_WIDTH = 2;


} // namespace

void CStepperDlg::OnTestLogicReset()
{
    // A click taken while a SEND pumps the window's messages waits for nothing: it is dropped.
    if (!m_btnTestLogicReset.IsWindowEnabled() || m_pSending != nullptr)
        return;
    CRedrawHold hold(*this);
    m_nState = STATE_UNKNOWN;
    SetTms(1);
    SetTdi(1);
    // The panel keeps showing the state from before the click until the sixth clock.
    for (int i = 0; i < RESET_CLOCKS; ++i)
    {
        if (Step() == FALSE)
            return;
    }
    m_nState = STATE_TEST_LOGIC_RESET;
    ShowState(m_nState);
    Step();
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
    if (pRow == nullptr)
        return FALSE;
    SetTms(pRow->nTms);
    if (pRow->nTdi != KEEP_TDI)
        SetTdi(static_cast<BYTE>(pRow->nTdi));
    m_nState = pRow->nNewState;
    ShowState(m_nState);
    return Step();
}

void CStepperDlg::OnStateDoubleClicked()
{
}

// FALSE when the cable did not take the clock: nothing is recorded of it.
BOOL CStepperDlg::Step()
{
    AfxSleep(SETTLE_MS);
    // A port that holds a clock's writes back sends them here, so that the edges are stamped
    // around the moment they reach the cable.
    m_nClockFallUs = SessionMicroseconds();
    PulseTck();
    CablePort().Flush();
    m_nClockRiseUs = SessionMicroseconds();
    if (RecordStep() == FALSE)
    {
        OnCableLost();
        return FALSE;
    }
    RefreshTrace();
    return TRUE;
}

void CStepperDlg::OnCableLost()
{
    const std::string strFailure = CableFailure();
    // What a SEND kept back goes to the window first: the message must find it as it is.
    if (m_bDeferred)
    {
        m_bDeferred = false;
        ApplyDeferred();
    }
    m_nState = STATE_UNKNOWN;
    m_nStateBefore = STATE_UNKNOWN;
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
