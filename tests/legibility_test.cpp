// What the window's texts look like where the fonts are not Windows' own: the trace rows in
// Fixedsys-sized cells and the whole title. Also run under the Japanese locale (CTest's
// legibility.ja), where Wine's font fallback differs, and on screens of 144 and 192 DPI
// (legibility.dpi*), where every size of the program's own choosing grows with the DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "dialog_runner.h"
#include "platform/dpi.h"

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
        const int nDpi = WindowDpi(dlg.m_hWnd);
        for (UINT nID : ROW_IDS)
        {
            const Measured row = Measure(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID)), "0");
            EXPECT_GE(row.tm.tmAveCharWidth, ScaleToDpi(7, nDpi)) << "row " << nID << " is drawn too narrow to read";
            EXPECT_GE(row.tm.tmHeight, ScaleToDpi(13, nDpi)) << "row " << nID << " is drawn too low to read";
            EXPECT_LE(row.tm.tmHeight, row.client.bottom) << "row " << nID << " is cut at the bottom";
            EXPECT_LE(row.tm.tmAveCharWidth * TraceWidth(dlg), row.client.right) << "row " << nID << " is cut";
            if ((row.tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0 && nDpi == BASE_DPI)
            {
                // A scalable stand-in gives the number of columns the bitmap font gives.
                EXPECT_EQ(8, row.tm.tmAveCharWidth) << "row " << nID;
                EXPECT_EQ(row.client.right / 8, TraceWidth(dlg)) << "row " << nID;
            }
        }
    });
}

// Every label, button and group box shows its text whole in its font, whatever the DPI.
TEST(LegibilityTest, EveryTextIsWhole)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        int nChecked = 0;
        for (HWND hChild = ::GetWindow(dlg.m_hWnd, GW_CHILD); hChild != nullptr;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        {
            char className[32] = {};
            ::GetClassNameA(hChild, className, sizeof(className));
            const std::string text = WindowText(hChild);
            const int nID = ::GetDlgCtrlID(hChild);
            if (lstrcmpiA(className, "Button") != 0 && lstrcmpiA(className, "Static") != 0)
                continue;
            if (text.empty() || nID == IDC_TITLE || std::find(std::begin(ROW_IDS), std::end(ROW_IDS), static_cast<UINT>(nID)) != std::end(ROW_IDS))
                continue;
            const Measured measured = Measure(hChild, text);
            // Drawn unclipped, centred: the owner-drawn buttons' longest texts reach into their frames.
            EXPECT_LE(measured.nInk, measured.client.right) << "\"" << text << "\" is cut";
            EXPECT_LE(measured.tm.tmHeight, measured.client.bottom) << "\"" << text << "\" is cut at the bottom";
            ++nChecked;
        }
        EXPECT_GE(nChecked, 30);
    });
}

// Moved to a monitor of twice the DPI (Windows 10 sends this; Wine never does): the window takes
// the place offered, and the fonts of the program's own choosing are made again for that DPI,
// with the same number of trace columns.
TEST(LegibilityTest, AMoveToAnotherDpiRemakesTheProgramsOwnFonts)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        const int nDpi = WindowDpi(dlg.m_hWnd) * 2;
        const int nColumns = TraceWidth(dlg);
        const HICON hIconBefore = reinterpret_cast<HICON>(dlg.SendMessage(WM_GETICON, ICON_BIG));
        RECT offered;
        ::GetWindowRect(dlg.m_hWnd, &offered);
        offered.right += 40;
        offered.bottom += 30;
        dlg.SendMessage(WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi), reinterpret_cast<LPARAM>(&offered));

        RECT now;
        ::GetWindowRect(dlg.m_hWnd, &now);
        EXPECT_TRUE(::EqualRect(&now, &offered));
        LOGFONTA lfValue = {};
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(::GetDlgItem(dlg.m_hWnd, IDC_VALUE_EDIT), WM_GETFONT, 0, 0)),
                     sizeof(lfValue), &lfValue);
        EXPECT_EQ(-ScaleToDpi(11, nDpi), lfValue.lfHeight);
        EXPECT_EQ(nColumns, TraceWidth(dlg));
        // The controls kept their size here, as no dialog manager scaled them: the rows still fit.
        const Measured row = Measure(::GetDlgItem(dlg.m_hWnd, IDC_TRACE_TDO), "0");
        EXPECT_LE(row.tm.tmAveCharWidth * nColumns, row.client.right);
        EXPECT_LE(row.tm.tmHeight, row.client.bottom);
        HWND hTitle = ::GetDlgItem(dlg.m_hWnd, IDC_TITLE);
        const Measured title = Measure(hTitle, WindowText(hTitle));
        EXPECT_LE(title.nInk, title.client.right + 1);
        EXPECT_NE(hIconBefore, reinterpret_cast<HICON>(dlg.SendMessage(WM_GETICON, ICON_BIG)));
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
