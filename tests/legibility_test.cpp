// What the window's texts look like where the fonts are not Windows' own: the trace rows in
// Fixedsys-sized cells and the whole title. Also run under the Japanese locale (CTest's
// legibility.ja), where Wine's font fallback differs.
#include <gtest/gtest.h>

#include "dialog_runner.h"

namespace {

struct Measured
{
    TEXTMETRICA tm;
    SIZE extent;
    LONG nInk;  // the extent less the blank before the first glyph and after the last
    RECT client;
};

Measured Measure(HWND hControl, const std::string& text)
{
    Measured measured = {};
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hControl, WM_GETFONT, 0, 0));
    HDC hDC = ::GetDC(hControl);
    HGDIOBJ hOld = ::SelectObject(hDC, hFont);
    ::GetTextMetricsA(hDC, &measured.tm);
    ::GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &measured.extent);
    ABC first = {}, last = {};
    const UINT nFirst = static_cast<unsigned char>(text.front()), nLast = static_cast<unsigned char>(text.back());
    if (::GetCharABCWidthsA(hDC, nFirst, nFirst, &first) == FALSE || ::GetCharABCWidthsA(hDC, nLast, nLast, &last) == FALSE)
        first.abcA = last.abcC = 0;
    measured.nInk = measured.extent.cx - first.abcA - last.abcC;
    ::SelectObject(hDC, hOld);
    ::ReleaseDC(hControl, hDC);
    ::GetClientRect(hControl, &measured.client);
    return measured;
}

const UINT ROW_IDS[] = {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3,
                        IDC_TRACE_TMS,   IDC_TRACE_TDI,   IDC_TRACE_TDO};

} // namespace

TEST(LegibilityTest, TraceRowsHaveTheCellsOfTheBitmapFixedsys)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        for (UINT nID : ROW_IDS)
        {
            const Measured row = Measure(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID)), "0");
            EXPECT_GE(row.tm.tmAveCharWidth, 7) << "row " << nID << " is drawn too narrow to read";
            EXPECT_GE(row.tm.tmHeight, 13) << "row " << nID << " is drawn too low to read";
            if ((row.tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0)
            {
                // A scalable stand-in gives the number of columns the bitmap font gives.
                EXPECT_EQ(8, row.tm.tmAveCharWidth) << "row " << nID;
                EXPECT_EQ(row.client.right / 8, dlg.m_nTraceWidth) << "row " << nID;
            }
        }
    });
}

TEST(LegibilityTest, TheTitleFitsItsLabel)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        HWND hTitle = ::GetDlgItem(dlg.m_hWnd, IDC_TITLE);
        const Measured title = Measure(hTitle, WindowText(hTitle));
        // Centred: ink wider than the label loses its first and last columns. Arial Bold's own
        // metrics overhang this label by a pixel, which leaves the text whole; a substitute
        // Japanese face overhangs it by more than a character.
        EXPECT_LE(title.nInk, title.client.right + 1) << "the title is cut";
        EXPECT_LE(title.tm.tmHeight, title.client.bottom) << "the title is cut at the bottom";
    });
}
