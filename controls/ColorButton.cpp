#include "ColorButton.h"

namespace {

// Only a face of exactly this grey turns to the disabled-face colour when the button is disabled.
const COLORREF CLASSIC_FACE = 0xC0C0C0;

} // namespace

CColorButton::CColorButton()
    : m_crText(::GetSysColor(COLOR_BTNTEXT)),
      m_crFace(::GetSysColor(COLOR_BTNFACE)),
      m_crGrayText(::GetSysColor(COLOR_GRAYTEXT)),
      m_crDisabledFace(::GetSysColor(COLOR_BTNSHADOW))
{
}

void CColorButton::PreSubclassWindow()
{
    // ORed, not replaced: push buttons and (auto) check boxes all become owner-drawn this way.
    if ((GetStyle() & BS_OWNERDRAW) != BS_OWNERDRAW)
        ModifyStyle(0, BS_OWNERDRAW, 0);
    CButton::PreSubclassWindow();
}

void CColorButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    CDC dc(lpDIS->hDC);
    dc.SaveDC();
    RECT rect = lpDIS->rcItem;
    dc.SetTextColor(m_crText);

    if ((lpDIS->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0)
    {
        const bool bSelected = (lpDIS->itemState & ODS_SELECTED) != 0 || m_bChecked;
        const bool bDisabled = (lpDIS->itemState & ODS_DISABLED) != 0;
        const UINT nFrame = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (bSelected ? DFCS_PUSHED : 0);
        ::DrawFrameControl(lpDIS->hDC, &rect, DFC_BUTTON, nFrame);

        const COLORREF crFill = bDisabled && m_crFace == CLASSIC_FACE ? m_crDisabledFace : m_crFace;
        CBrush brush(crFill);
        if (bSelected)
            ::OffsetRect(&rect, 1, 1);
        dc.FillRect(&rect, &brush);
        m_rcInner = rect;

        CString text;
        GetWindowText(text);
        if (!text.IsEmpty())
        {
            dc.SetBkMode(TRANSPARENT);
            RECT measure = rect;
            dc.DrawText(text, &measure, DT_CALCRECT | DT_SINGLELINE);
            const int x = rect.left + ((rect.right - rect.left) - (measure.right - measure.left)) / 2;
            const int y = rect.top + ((rect.bottom - rect.top) - (measure.bottom - measure.top)) / 2;
            ::DrawStateA(lpDIS->hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(text)),
                         static_cast<WPARAM>(text.GetLength()), x, y, 0, 0,
                         DST_PREFIXTEXT | (bDisabled ? DSS_DISABLED : 0));
        }
    }

    if ((lpDIS->itemState & ODS_FOCUS) != 0 || (lpDIS->itemAction & ODA_FOCUS) != 0)
    {
        RECT focus = m_rcInner;
        ::InflateRect(&focus, -::GetSystemMetrics(SM_CXBORDER), -::GetSystemMetrics(SM_CYBORDER));
        dc.DrawFocusRect(&focus);
    }
    dc.RestoreDC(-1);
}

LRESULT CColorButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BM_GETCHECK)
        return m_bChecked ? BST_CHECKED : BST_UNCHECKED;
    if (message == BM_SETCHECK)
    {
        const bool bChecked = wParam == BST_CHECKED;
        if (bChecked != m_bChecked)
        {
            m_bChecked = bChecked;
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        return 0;
    }
    return CButton::WindowProc(message, wParam, lParam);
}
