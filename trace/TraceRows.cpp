#include "TraceRows.h"

#include <algorithm>
#include <utility>

#include "../controls/LogFont.h"
#include "../platform/dpi.h"
#include "../res/resource.h"
#include "../tap/TapStates.h"

namespace {

// The bitmap Fixedsys has one size: cells 8 pixels wide and 15 high.
const LONG FIXEDSYS_CELL_WIDTH = 8;
const LONG FIXEDSYS_CELL_HEIGHT = 15;

bool IsScalable(CFont& font)
{
    CClientDC dc(nullptr);
    const HFONT hOldFont = dc.SelectObject(&font);
    TEXTMETRICA tm = {};
    dc.GetTextMetrics(&tm);
    dc.SelectObject(hOldFont);
    return (tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0;
}

// Drops the oldest column and appends the newest.
void Shift(CString& row, int nWidth, LPCSTR pszColumn)
{
    row = row.Mid(1, nWidth);
    row += pszColumn;
}

} // namespace

void CTraceRows::Exchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_TRACE_NAME3, m_stName3);
    DDX_Control(pDX, IDC_TRACE_NAME2, m_stName2);
    DDX_Control(pDX, IDC_TRACE_TMS, m_stTms);
    DDX_Control(pDX, IDC_TRACE_TDO, m_stTdo);
    DDX_Control(pDX, IDC_TRACE_TDI, m_stTdi);
    DDX_Control(pDX, IDC_TRACE_NAME1, m_stName1);
}

void CTraceRows::CreateRowFont(CFont& font, int nDpi, SIZE cell)
{
    LOGFONTA lf = LogFontOf("FixedSys", 8, 0, 400, 0x41);
    if (nDpi != BASE_DPI)
    {
        // The bitmap's cell grown with the DPI, from a scalable font.
        lf.lfHeight = cell.cy;
        lf.lfWidth = cell.cx;
    }
    font.CreateFontIndirect(&lf);
    if (nDpi == BASE_DPI)
    {
        // Windows answers with the bitmap Fixedsys at its only size. A scalable font in its place
        // (Wine has no bitmap Fixedsys) would be drawn 8 pixels high: ask it for the bitmap's cell.
        if (IsScalable(font))
        {
            font.DeleteObject();
            lf.lfHeight = FIXEDSYS_CELL_HEIGHT;
            lf.lfWidth = FIXEDSYS_CELL_WIDTH;
            font.CreateFontIndirect(&lf);
        }
        return;
    }
    if (!IsScalable(font))
    {
        // Windows keeps the bitmap Fixedsys at its one size: a TrueType face every Windows has,
        // bold, as heavy as the bitmap's strokes.
        font.DeleteObject();
        lf.lfWeight = FW_BOLD;
        lf.lfOutPrecision = OUT_TT_PRECIS;
        lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        lstrcpyA(lf.lfFaceName, "Courier New");
        font.CreateFontIndirect(&lf);
    }
}

void CTraceRows::SetFonts()
{
    const std::pair<CStatic*, CFont*> rows[] = {{&m_stName1, &m_fontName1}, {&m_stName2, &m_fontName2},
                                                {&m_stName3, &m_fontName3}, {&m_stTms, &m_fontTms},
                                                {&m_stTdo, &m_fontTdo},     {&m_stTdi, &m_fontTdi}};
    for (const auto& row : rows)
    {
        // The bitmap's cell, scaled, and no higher than the row. Once the rows have their number
        // of columns (at the first DPI), they keep it: no wider than that many fit.
        RECT client;
        row.first->GetClientRect(&client);
        SIZE cell = {ScaleToDpi(FIXEDSYS_CELL_WIDTH, m_nDpi), ScaleToDpi(FIXEDSYS_CELL_HEIGHT, m_nDpi)};
        cell.cy = std::min(cell.cy, client.bottom);
        if (m_nWidth > 0)
            cell.cx = std::min(cell.cx, client.right / m_nWidth);
        CFont fresh;
        CreateRowFont(fresh, m_nDpi, cell);
        ReplaceFont(*row.first, *row.second, fresh);
    }
}

void CTraceRows::Init(int nDpi)
{
    m_nDpi = nDpi;
    SetFonts();
    {
        // Measured with the row font itself, so that N columns always fit the control.
        CClientDC dc(&m_stTms);
        const HFONT hOldFont = dc.SelectObject(&m_fontTms);
        TEXTMETRICA tm = {};
        dc.GetTextMetrics(&tm);
        dc.SelectObject(hOldFont);
        RECT rect;
        m_stTms.GetClientRect(&rect);
        m_nWidth = tm.tmAveCharWidth > 0 ? rect.right / tm.tmAveCharWidth : 0;
        // At another DPI the rows hold as many columns as at 96 DPI. The dialog's layout does not
        // grow in step with the DPI (it follows its font's width), so the row's width at 96 DPI
        // comes from its width in dialog units.
        const int nBaseWidth = DialogBaseWidthAt(m_dialog.m_hWnd, m_nDpi, m_nDpi);
        const int nBaseWidth96 = DialogBaseWidthAt(m_dialog.m_hWnd, m_nDpi, BASE_DPI);
        if (m_nDpi != BASE_DPI && nBaseWidth > 0 && nBaseWidth96 > 0)
        {
            const int nWidthUnits = ::MulDiv(rect.right, 4, nBaseWidth);
            m_nWidth = ::MulDiv(nWidthUnits, nBaseWidth96, 4) / FIXEDSYS_CELL_WIDTH;
            SetFonts();  // no wider than that many columns fit
        }
    }

    for (int i = 0; i < m_nWidth; ++i)
    {
        m_strName1 += "-";
        m_strName2 += "-";
        m_strName3 += "-";
        m_strTms += "-";
        m_strTdi += "-";
        m_strTdo += "-";
    }
    Show();
}

void CTraceRows::SetDpi(int nDpi)
{
    m_nDpi = nDpi;
    SetFonts();
}

void CTraceRows::Add(const ClockRecord& clock)
{
    m_strName1 = m_strName1.Mid(1, m_nWidth);
    m_strName2 = m_strName2.Mid(1, m_nWidth);
    m_strName3 = m_strName3.Mid(1, m_nWidth);
    const CString code(TapStateCode(clock.nState));
    m_strName1 += code.Mid(0, 1);
    m_strName2 += code.Mid(1, 1);
    m_strName3 += code.Mid(2, 1);
    Shift(m_strTms, m_nWidth, clock.Tms() != 0 ? "1" : "0");
    Shift(m_strTdi, m_nWidth, clock.Tdi() != 0 ? "1" : "0");
    Shift(m_strTdo, m_nWidth, clock.Tdo() != 0 ? "1" : "0");
}

void CTraceRows::Show()
{
    m_stName1.SetWindowText(m_strName1);
    m_stName2.SetWindowText(m_strName2);
    m_stName3.SetWindowText(m_strName3);
    m_stTms.SetWindowText(m_strTms);
    m_stTdi.SetWindowText(m_strTdi);
    m_stTdo.SetWindowText(m_strTdo);
    for (CStatic* pRow : {&m_stName1, &m_stName2, &m_stName3, &m_stTms, &m_stTdi, &m_stTdo})
        m_paint.MarkChanged(*pRow);
}

void CTraceRows::ReleaseFonts()
{
    for (CFont* pFont : {&m_fontName1, &m_fontName2, &m_fontName3, &m_fontTms, &m_fontTdo, &m_fontTdi})
        pFont->DeleteObject();
}
