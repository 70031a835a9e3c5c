// The TAP state diagram as twenty buttons: the states one clock can reach enabled, the state the
// TAP is in highlighted with its "1" button, and the button a step key presses.
#pragma once

#include "../controls/ColorButton.h"
#include "../controls/PaintHold.h"
#include "../keys/StepKeys.h"
#include "../platform/wnd.h"
#include "TapTable.h"

class CStatePanel
{
public:
    CStatePanel(CWnd& dialog, CPaintHold& paint) : m_dialog(dialog), m_paint(paint) {}

    void Exchange(CDataExchange* pDX);
    void SetDisabledFace(COLORREF crFace);

    // The buttons one clock can reach from nIndex enabled, the state's buttons highlighted; for
    // a state nobody knows only TEST-LOGIC-RESET, with the highlight left where it was.
    void Show(int nIndex);
    // A state nobody knows, with nothing highlighted.
    void ShowUnknown();

    // The state button with this control ID, or null.
    CColorButton* Button(UINT nID);
    CColorButton& ResetButton() { return m_buttons[0]; }
    // The button a key presses now: enabled, and the one a person would click for that TMS; 0
    // where there is none.
    UINT KeyButton(const StepKey& key);

private:
    CWnd& m_dialog;
    CPaintHold& m_paint;
    // In the order of STATE_BUTTONS, TEST-LOGIC-RESET first.
    CColorButton m_buttons[STATE_BUTTON_COUNT];
    CColorButton* m_pPrimaryShown = nullptr;
    CColorButton* m_pPrimary = nullptr;
    CColorButton* m_pSecondaryShown = nullptr;
    CColorButton* m_pSecondary = nullptr;
};
