// The state-button panel: which buttons are enabled, which are highlighted.
#include "StepperDlg.h"

#include "TapTable.h"

namespace {

const UINT REDRAW_FLAGS = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

void Paint(CPaintHold& paint, CColorButton* pButton, int nFaceColor, int nTextColor)
{
    pButton->m_crFace = ::GetSysColor(nFaceColor);
    pButton->m_crText = ::GetSysColor(nTextColor);
    pButton->RedrawWindow(nullptr, nullptr, REDRAW_FLAGS);
    paint.MarkChanged(*pButton);
}

void Restore(CPaintHold& paint, CColorButton* pButton)
{
    Paint(paint, pButton, COLOR_BTNFACE, COLOR_BTNTEXT);
}

void Highlight(CPaintHold& paint, CColorButton* pButton)
{
    Paint(paint, pButton, COLOR_ACTIVECAPTION, COLOR_CAPTIONTEXT);
}

bool IsValueControl(HWND hWnd)
{
    const int nID = ::GetDlgCtrlID(hWnd);
    return nID == IDC_DR_VALUE || nID == IDC_IR_VALUE || nID == IDC_SEND_DR || nID == IDC_SEND_IR;
}

// To the next tab stop, as the dialog manager moves it, past the value lists and SEND buttons:
// the focus lands where it did before they could take it, and never in an edit field that would
// take the next keys typed as text.
void MoveFocusOn(CStepperDlg& dlg, CWnd& from)
{
    HWND hNext = from.m_hWnd;
    for (int i = 0; i < STATE_BUTTON_COUNT + 8; ++i)
    {
        hNext = ::GetNextDlgTabItem(dlg.m_hWnd, hNext, FALSE);
        if (hNext == nullptr || !IsValueControl(hNext))
            break;
    }
    if (hNext != nullptr && hNext != from.m_hWnd)
        dlg.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hNext), TRUE);
}

bool Contains(const UINT (&anIDs)[6], UINT nID)
{
    for (UINT nEntry : anIDs)
    {
        if (nEntry == nID)
            return true;
    }
    return false;
}

} // namespace

BOOL CStepperDlg::ShowState(int nIndex)
{
    // A SEND shows its last state when it shows how far it is, and at its end.
    if (m_bDeferred)
        return TRUE;
    m_pSecondary = nullptr;
    const TapStateRow* pRow = FindTapState(nIndex);
    if (pRow == nullptr)
        return TRUE;
    if (pRow->nPrimary != 0)
        m_pPrimary = StateButton(pRow->nPrimary);
    if (pRow->nCompanion != 0)
        m_pSecondary = StateButton(pRow->nCompanion);

    // Only the buttons whose state differs are changed: each change is a round trip to the
    // window system, and the picture is the same as setting the whole row. The buttons to enable
    // come first, so that the focus can move on to one of them.
    for (UINT nID : STATE_BUTTONS)
    {
        CColorButton* pButton = StateButton(nID);
        if (pButton->IsWindowEnabled() == FALSE && Contains(pRow->anEnabled, nID))
        {
            pButton->EnableWindow(TRUE);
            MarkChanged(*pButton);
        }
    }
    for (UINT nID : STATE_BUTTONS)
    {
        CColorButton* pButton = StateButton(nID);
        if (pButton->IsWindowEnabled() != FALSE && !Contains(pRow->anEnabled, nID))
        {
            // A disabled control that keeps the focus leaves the keyboard dead to the window:
            // it moves on first, to an enabled control (the reset always is).
            if (::GetFocus() == pButton->m_hWnd)
                MoveFocusOn(*this, *pButton);
            pButton->EnableWindow(FALSE);
            MarkChanged(*pButton);
        }
    }
    // A clock by TCK needs a state to follow from.
    m_pins.ShowStateKnown(nIndex != STATE_UNKNOWN);

    if (m_pPrimaryShown != nullptr && m_pPrimaryShown != m_pPrimary)
        Restore(m_paint, m_pPrimaryShown);
    if (m_pPrimary != nullptr && m_pPrimary != m_pPrimaryShown)
    {
        Highlight(m_paint, m_pPrimary);
        m_pPrimaryShown = m_pPrimary;
    }
    if (m_pSecondaryShown != nullptr && m_pSecondaryShown != m_pSecondary)
        Restore(m_paint, m_pSecondaryShown);
    if (m_pSecondary != nullptr)
    {
        if (m_pSecondary != m_pSecondaryShown)
        {
            Highlight(m_paint, m_pSecondary);
            m_pSecondaryShown = m_pSecondary;
        }
    }
    else
    {
        m_pSecondaryShown = nullptr;
    }
    m_send.ShowButtons();
    return TRUE;
}

void CStepperDlg::ShowUnknownState()
{
    m_pPrimary = nullptr;
    ShowState(STATE_UNKNOWN);
    m_pPrimaryShown = nullptr;
}

// The button a key presses now: enabled, and the one a person would click for that TMS.
UINT CStepperDlg::StepKeyButton(const StepKey& key)
{
    if (key.kind == StepKey::Reset)
        return m_btnTestLogicReset.IsWindowEnabled() ? IDC_TEST_LOGIC_RESET : 0;
    for (const StepCommandRow& row : STEP_COMMANDS)
    {
        CColorButton* pButton = StateButton(row.nID);
        if (row.step.nTms == key.nTms && IsOneButton(row.nID) == key.bOne && pButton != nullptr &&
            pButton->IsWindowEnabled())
            return row.nID;
    }
    return 0;
}

void CStepperDlg::Press(UINT nID)
{
    SendMessage(WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, nID)));
}

bool CStepperDlg::TakesText(HWND hWnd)
{
    bool bDr = false;
    return m_send.IsValueField(hWnd, bDr);
}

void CStepperDlg::OnCableSwitched()
{
    m_chain.Forget();
    m_svf.Stop();
    m_pins.Show();
    ShowUnknownState();
}
