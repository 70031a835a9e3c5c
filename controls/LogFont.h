// A font as the window asks for it: a face, its cell and weight, the system's character set, and
// everything else left to the font mapper.
#pragma once

#include <windows.h>

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
