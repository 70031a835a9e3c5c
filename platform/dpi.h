// The screen's dots per inch, for what the program draws in pixels of its own choosing.
#pragma once

#include <windows.h>

// Sent on Windows 10 and later; the headers name it only for programs built for Windows 7 and later.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The dots per inch at 100 % scaling, where every size was chosen.
const int BASE_DPI = 96;

// The DPI the window is drawn at: its monitor's where the system scales each monitor on its
// own (Windows 10 and later), else the screen's.
int WindowDpi(HWND hWnd);

// A size in pixels at 96 DPI, at nDpi.
inline int ScaleToDpi(int nPixels, int nDpi)
{
    return ::MulDiv(nPixels, nDpi, BASE_DPI);
}

// The horizontal dialog base unit of a dialog's font (its average character width, as the
// dialog manager reckons it) were the font made for nDpi instead of the DPI it was made for.
int DialogBaseWidthAt(HWND hDlg, int nFontDpi, int nDpi);
