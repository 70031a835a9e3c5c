// What the state buttons and the keys that press them ask of the window.
#include "StepperDlg.h"

BOOL CStepperDlg::ShowState(int nIndex)
{
    // A SEND shows its last state when it shows how far it is, and at its end.
    if (m_bDeferred)
        return TRUE;
    m_panel.Show(nIndex);
    // A clock by TCK needs a state to follow from.
    m_pins.ShowStateKnown(nIndex != STATE_UNKNOWN);
    m_send.ShowButtons();
    return TRUE;
}

void CStepperDlg::ShowUnknownState()
{
    if (m_bDeferred)
        return;
    m_panel.ShowUnknown();
    m_pins.ShowStateKnown(false);
    m_send.ShowButtons();
}

UINT CStepperDlg::StepKeyButton(const StepKey& key)
{
    return m_panel.KeyButton(key);
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
