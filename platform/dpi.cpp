#include "dpi.h"

namespace {

typedef UINT(WINAPI* GET_DPI_FOR_WINDOW)(HWND);

} // namespace

int WindowDpi(HWND hWnd)
{
    // Looked up, not imported: Windows before 10 has no per-monitor DPI.
    HMODULE hUser = ::GetModuleHandleA("user32.dll");
    GET_DPI_FOR_WINDOW pfnDpiForWindow =
        hUser != nullptr
            ? reinterpret_cast<GET_DPI_FOR_WINDOW>(reinterpret_cast<void*>(::GetProcAddress(hUser, "GetDpiForWindow")))
            : nullptr;
    if (pfnDpiForWindow != nullptr && hWnd != nullptr)
    {
        const UINT nDpi = pfnDpiForWindow(hWnd);
        if (nDpi != 0)
            return static_cast<int>(nDpi);
    }
    HDC hDC = ::GetDC(nullptr);
    const int nDpi = hDC != nullptr ? ::GetDeviceCaps(hDC, LOGPIXELSY) : BASE_DPI;
    if (hDC != nullptr)
        ::ReleaseDC(nullptr, hDC);
    return nDpi > 0 ? nDpi : BASE_DPI;
}

int DialogBaseWidthAt(HWND hDlg, int nFontDpi, int nDpi)
{
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (hFont == nullptr || ::GetObjectA(hFont, sizeof(lf), &lf) == 0)
        return 0;
    lf.lfHeight = ::MulDiv(lf.lfHeight, nDpi, nFontDpi);
    lf.lfWidth = ::MulDiv(lf.lfWidth, nDpi, nFontDpi);
    HFONT hScaled = ::CreateFontIndirectA(&lf);
    HDC hDC = ::GetDC(hDlg);
    const HGDIOBJ hOld = ::SelectObject(hDC, hScaled);
    static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent = {};
    ::GetTextExtentPoint32A(hDC, ALPHABET, 52, &extent);
    ::SelectObject(hDC, hOld);
    ::ReleaseDC(hDlg, hDC);
    ::DeleteObject(hScaled);
    return (extent.cx / 26 + 1) / 2;
}
