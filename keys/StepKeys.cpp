#include "StepKeys.h"

#include "../stepper/StepperDlg.h"
#include "../stepper/TapTable.h"

namespace {

// A key of the keypad rather than of the block beside it: Insert and End there are the keypad's
// 0 and 1 with Shift held and Num Lock on (Windows lets Shift go for them), or with Num Lock off.
bool IsKeypadKey(LPARAM lParam)
{
    return (lParam & (1L << 24)) == 0;
}

} // namespace

StepKey ReadStepKey(WPARAM nVirtualKey, LPARAM lParam, bool bShift, bool bNumLock)
{
    StepKey key;
    switch (nVirtualKey)
    {
    case '0':
    case '1':
        key.kind = StepKey::Tms;
        key.nTms = nVirtualKey == '1' ? 1 : 0;
        key.bOne = bShift;
        break;
    case VK_NUMPAD0:
    case VK_NUMPAD1:
        key.kind = StepKey::Tms;
        key.nTms = nVirtualKey == VK_NUMPAD1 ? 1 : 0;
        key.bOne = bShift;
        break;
    case VK_INSERT:
    case VK_END:
        // With Num Lock off they are the keys they say, whose TDI would be a guess.
        if (IsKeypadKey(lParam) && bNumLock)
        {
            key.kind = StepKey::Tms;
            key.nTms = nVirtualKey == VK_END ? 1 : 0;
            key.bOne = true;
        }
        break;
    case 'R':
        key.kind = bShift ? StepKey::None : StepKey::Reset;
        break;
    default:
        break;
    }
    return key;
}

bool IsOneButton(UINT nID)
{
    for (const TapStateRow& row : TAP_STATES)
    {
        if (row.nCompanion == nID)
            return true;
    }
    return false;
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

BOOL CStepperDlg::PreTranslateMessage(MSG* pMsg)
{
    // Ctrl and Alt with a key are the controls' and the menus' (Ctrl+C in the history list).
    if (pMsg->message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) < 0)
        return FALSE;
    const StepKey key = ReadStepKey(pMsg->wParam, pMsg->lParam, ::GetKeyState(VK_SHIFT) < 0,
                                    (::GetKeyState(VK_NUMLOCK) & 1) != 0);
    if (key.kind == StepKey::None)
        return FALSE;
    // Text typed into a value list's edit field is text.
    if (::IsChild(m_cbDrValue.m_hWnd, pMsg->hwnd) != FALSE || ::IsChild(m_cbIrValue.m_hWnd, pMsg->hwnd) != FALSE)
        return FALSE;
    // A held key's repeats may arrive as one message: each is a step.
    const int nRepeats = static_cast<int>(pMsg->lParam & 0xFFFF);
    for (int i = 0; i < (nRepeats > 0 ? nRepeats : 1) && m_pSending == nullptr; ++i)
    {
        const UINT nID = StepKeyButton(key);
        if (nID == 0)
            break;
        // Pressed as a click presses it.
        SendMessage(WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, nID)));
    }
    return TRUE;
}
