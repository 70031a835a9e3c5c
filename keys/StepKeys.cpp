#include "StepKeys.h"


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

bool CStepKeys::PreTranslate(const MSG& msg)
{
    // Ctrl and Alt with a key are the controls' and the menus' (Ctrl+C in the history list).
    if (msg.message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) < 0)
        return false;
    const StepKey key = ReadStepKey(msg.wParam, msg.lParam, ::GetKeyState(VK_SHIFT) < 0,
                                    (::GetKeyState(VK_NUMLOCK) & 1) != 0);
    if (key.kind == StepKey::None || m_target.TakesText(msg.hwnd))
        return false;
    // A held key's repeats may arrive as one message: each is a step.
    const int nRepeats = static_cast<int>(msg.lParam & 0xFFFF);
    for (int i = 0; i < (nRepeats > 0 ? nRepeats : 1) && !m_tap.InCommand(); ++i)
    {
        const UINT nID = m_target.StepKeyButton(key);
        if (nID == 0)
            break;
        m_target.Press(nID);
    }
    return true;
}
