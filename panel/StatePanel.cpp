#include "StatePanel.h"

#include "../res/resource.h"

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
void MoveFocusOn(CWnd& dlg, CWnd& from)
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

void CStatePanel::Exchange(CDataExchange* pDX)
{
    for (int i = 0; i < STATE_BUTTON_COUNT; ++i)
        DDX_Control(pDX, static_cast<int>(STATE_BUTTONS[i]), m_buttons[i]);
}

void CStatePanel::SetDisabledFace(COLORREF crFace)
{
    for (CColorButton& button : m_buttons)
        button.m_crDisabledFace = crFace;
}

CColorButton* CStatePanel::Button(UINT nID)
{
    for (int i = 0; i < STATE_BUTTON_COUNT; ++i)
    {
        if (STATE_BUTTONS[i] == nID)
            return &m_buttons[i];
    }
    return nullptr;
}

void CStatePanel::Show(int nIndex)
{
    m_pSecondary = nullptr;
    const TapStateRow* pRow = FindTapState(nIndex);
    if (pRow == nullptr)
        return;
    if (pRow->nPrimary != 0)
        m_pPrimary = Button(pRow->nPrimary);
    if (pRow->nCompanion != 0)
        m_pSecondary = Button(pRow->nCompanion);

    // Only the buttons whose state differs are changed: each change is a round trip to the
    // window system, and the picture is the same as setting the whole row. The buttons to enable
    // come first, so that the focus can move on to one of them.
    for (int i = 0; i < STATE_BUTTON_COUNT; ++i)
    {
        CColorButton& button = m_buttons[i];
        if (button.IsWindowEnabled() == FALSE && Contains(pRow->anEnabled, STATE_BUTTONS[i]))
        {
            button.EnableWindow(TRUE);
            m_paint.MarkChanged(button);
        }
    }
    for (int i = 0; i < STATE_BUTTON_COUNT; ++i)
    {
        CColorButton& button = m_buttons[i];
        if (button.IsWindowEnabled() != FALSE && !Contains(pRow->anEnabled, STATE_BUTTONS[i]))
        {
            // A disabled control that keeps the focus leaves the keyboard dead to the window:
            // it moves on first, to an enabled control (the reset always is).
            if (::GetFocus() == button.m_hWnd)
                MoveFocusOn(m_dialog, button);
            button.EnableWindow(FALSE);
            m_paint.MarkChanged(button);
        }
    }

    if (m_pPrimaryShown != nullptr && m_pPrimaryShown != m_pPrimary)
        Restore(m_paint, m_pPrimaryShown);
    if (m_pPrimary != nullptr && m_pPrimary != m_pPrimaryShown)
    {
        Highlight(m_paint, m_pPrimary);
        m_pPrimaryShown = m_pPrimary;
    }
    if (m_pSecondaryShown != nullptr && m_pSecondaryShown != m_pSecondary)
        Restore(m_paint, m_pSecondaryShown);
    if (m_pSecondary != nullptr && m_pSecondary != m_pSecondaryShown)
        Highlight(m_paint, m_pSecondary);
    m_pSecondaryShown = m_pSecondary;
}

void CStatePanel::ShowUnknown()
{
    m_pPrimary = nullptr;
    Show(STATE_UNKNOWN);
    m_pPrimaryShown = nullptr;
}

UINT CStatePanel::KeyButton(const StepKey& key)
{
    if (key.kind == StepKey::Reset)
        return ResetButton().IsWindowEnabled() ? IDC_TEST_LOGIC_RESET : 0;
    for (const StepCommandRow& row : STEP_COMMANDS)
    {
        CColorButton* pButton = Button(row.nID);
        if (row.step.nTms == key.nTms && IsOneButton(row.nID) == key.bOne && pButton != nullptr &&
            pButton->IsWindowEnabled())
            return row.nID;
    }
    return 0;
}
