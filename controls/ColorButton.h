// A push button that draws itself, so that its face and text colours can change at run time.
#pragma once

#include "../platform/wnd.h"

class CColorButton : public CButton
{
public:
    CColorButton();

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;
    // An owner-drawn button keeps no check of its own: this one keeps it (BM_SETCHECK,
    // BM_GETCHECK) and draws a checked button pushed in, as a push-like check box is drawn.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Written directly by the window that owns the button; a change shows at the next redraw.
    COLORREF m_crText;
    COLORREF m_crFace;
    COLORREF m_crGrayText;
    COLORREF m_crDisabledFace;
    RECT m_rcInner = {0, 0, 0, 0};

protected:
    void PreSubclassWindow() override;

private:
    bool m_bChecked = false;
};
