#include "gdi.h"

#include "cstring.h"
#include "wnd.h"

namespace {

long g_nGdiObjects = 0;

} // namespace

long AfxGdiObjectCount()
{
    return g_nGdiObjects;
}

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (hObject == nullptr)
        return FALSE;
    DeleteObject();
    m_hObject = hObject;
    ++g_nGdiObjects;
    return TRUE;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    const BOOL bDeleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    --g_nGdiObjects;
    return bDeleted;
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* pLogFont)
{
    return Attach(::CreateFontIndirectA(pLogFont));
}

HFONT CDC::SelectObject(CFont* pFont)
{
    return SelectObject(pFont != nullptr ? static_cast<HFONT>(*pFont) : nullptr);
}

HFONT CDC::SelectObject(HFONT hFont)
{
    if (hFont == nullptr)
        return nullptr;
    return static_cast<HFONT>(::SelectObject(m_hDC, hFont));
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat)
{
    return ::DrawTextA(m_hDC, str, str.GetLength(), lpRect, nFormat);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd != nullptr ? pWnd->m_hWnd : nullptr)
{
    m_hDC = ::GetDC(m_hWnd);
    if (m_hDC != nullptr)
        ++g_nGdiObjects;
}

CClientDC::~CClientDC()
{
    if (m_hDC == nullptr)
        return;
    ::ReleaseDC(m_hWnd, m_hDC);
    --g_nGdiObjects;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    ++g_nGdiObjects;
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    --g_nGdiObjects;
}
