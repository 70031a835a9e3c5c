// A push button that draws itself, so that its face and text colours can change at run time.
#pragma once

#include "../platform/wnd.h"

class CColorButton : public CButton
{
public:
    CColorButton();

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

    // Written directly by the window that owns the button; a change shows at the next redraw.
    COLORREF m_crText;
    COLORREF m_crFace;
    COLORREF m_crGrayText;
    COLORREF m_crDisabledFace;
    RECT m_rcInner = {0, 0, 0, 0};

protected:
    void PreSubclassWindow() override;
};
