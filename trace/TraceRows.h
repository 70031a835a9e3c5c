// The signal trace: three rows of state codes, then TMS, TDI and TDO, a column a clock, the newest
// on the right, in a fixed-width font sized to the window's DPI.
#pragma once

#include "../controls/PaintHold.h"
#include "../platform/gdi.h"
#include "../platform/wnd.h"
#include "../session/SessionRecord.h"

class CTraceRows
{
public:
    CTraceRows(CWnd& dialog, CPaintHold& paint) : m_dialog(dialog), m_paint(paint) {}

    void Exchange(CDataExchange* pDX);
    // The rows' fonts for the DPI, and as many columns of "-" as fit; they keep that many.
    void Init(int nDpi);
    // The fonts again at another DPI.
    void SetDpi(int nDpi);
    // The clock's column added on the right, the oldest dropped.
    void Add(const ClockRecord& clock);
    // The rows as they are now, to their controls.
    void Show();
    void ReleaseFonts();

private:
    static void CreateRowFont(CFont& font, int nDpi, SIZE cell);
    void SetFonts();

    CWnd& m_dialog;
    CPaintHold& m_paint;
    int m_nDpi = 96;
    int m_nWidth = 0;  // columns
    // In the order of the rows 1028, 1032, 1033, 1031, 1030, 1029.
    CStatic m_stName1, m_stName2, m_stName3, m_stTms, m_stTdo, m_stTdi;
    CFont m_fontName1, m_fontName2, m_fontName3, m_fontTdo, m_fontTdi, m_fontTms;
    CString m_strName1, m_strName2, m_strName3, m_strTdo, m_strTdi, m_strTms;
};
