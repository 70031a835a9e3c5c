// A font as the window asks for it: a face, its cell and weight, the system's character set, and
// everything else left to the font mapper.
#pragma once

#include <windows.h>

#include <utility>

#include "../platform/gdi.h"
#include "../platform/wnd.h"

inline LOGFONTA LogFontOf(const char* pszFace, LONG nHeight, LONG nWidth, LONG nWeight, BYTE nPitchAndFamily)
{
    LOGFONTA lf = {};
    lf.lfHeight = nHeight;
    lf.lfWidth = nWidth;
    lf.lfWeight = nWeight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = nPitchAndFamily;
    lstrcpyA(lf.lfFaceName, pszFace);  // the faces asked for are short names
    return lf;
}

// Gives the control the fresh font and keeps it in font; fresh is left with the one before,
// which goes with it, after the control has let go of it.
inline void ReplaceFont(CWnd& control, CFont& font, CFont& fresh)
{
    control.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(fresh.m_hObject), TRUE);
    std::swap(font.m_hObject, fresh.m_hObject);
}
