// GDI wrappers: objects that own a handle, and device contexts.
#pragma once

#include <windows.h>

class CString;
class CWnd;

// GDI objects and device contexts the program holds now, counted by the classes below; for
// platforms whose own per-process counters report nothing.
long AfxGdiObjectCount();

class CGdiObject
{
public:
    CGdiObject() {}
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject() { DeleteObject(); }

    BOOL Attach(HGDIOBJ hObject);
    BOOL DeleteObject();

    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject
{
public:
    BOOL CreateFontIndirect(const LOGFONTA* pLogFont);
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBrush : public CGdiObject
{
public:
    explicit CBrush(COLORREF crColor) { Attach(::CreateSolidBrush(crColor)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

// A device context that this object neither created nor releases.
class CDC
{
public:
    CDC() {}
    explicit CDC(HDC hDC) : m_hDC(hDC) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() {}

    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }
    HFONT SelectObject(CFont* pFont);
    HFONT SelectObject(HFONT hFont);
    BOOL GetTextMetrics(LPTEXTMETRICA lpMetrics) const { return ::GetTextMetricsA(m_hDC, lpMetrics); }
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
    void FillRect(LPCRECT lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, *pBrush); }
    void DrawFocusRect(LPCRECT lpRect) { ::DrawFocusRect(m_hDC, lpRect); }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC = nullptr;
};

// The client-area device context of a window, released when the object goes.
class CClientDC : public CDC
{
public:
    // Null: the screen's device context.
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
