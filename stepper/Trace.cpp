// The signal trace (three code rows, then TMS, TDI and TDO) and the history list.
#include "StepperDlg.h"

#include <algorithm>
#include <utility>

#include "../controls/LogFont.h"
#include "../platform/codepage.h"
#include "../platform/dpi.h"
#include "../res/texts.h"
#include "../tap/ScanValue.h"

namespace {

// The list grows to one line more than this, then stays there.
const int HISTORY_LIMIT = 100;

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

void CStepperDlg::CreateRowFont(CFont& font, int nDpi, SIZE cell)
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

void CStepperDlg::SetTraceFonts()
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
        if (m_nTraceWidth > 0)
            cell.cx = std::min(cell.cx, client.right / m_nTraceWidth);
        CFont fresh;
        CreateRowFont(fresh, m_nDpi, cell);
        ReplaceFont(*row.first, *row.second, fresh);
    }
}

void CStepperDlg::InitTrace()
{
    m_nDpi = WindowDpi(m_hWnd);
    SetTraceFonts();
    {
        // Measured with the row font itself, so that N columns always fit the control.
        CClientDC dc(&m_stTms);
        const HFONT hOldFont = dc.SelectObject(&m_fontTms);
        TEXTMETRICA tm = {};
        dc.GetTextMetrics(&tm);
        dc.SelectObject(hOldFont);
        RECT rect;
        m_stTms.GetClientRect(&rect);
        m_nTraceWidth = tm.tmAveCharWidth > 0 ? rect.right / tm.tmAveCharWidth : 0;
        // At another DPI the rows hold as many columns as at 96 DPI. The dialog's layout does not
        // grow in step with the DPI (it follows its font's width), so the row's width at 96 DPI
        // comes from its width in dialog units.
        const int nBaseWidth = DialogBaseWidthAt(m_hWnd, m_nDpi, m_nDpi);
        const int nBaseWidth96 = DialogBaseWidthAt(m_hWnd, m_nDpi, BASE_DPI);
        if (m_nDpi != BASE_DPI && nBaseWidth > 0 && nBaseWidth96 > 0)
        {
            const int nWidthUnits = ::MulDiv(rect.right, 4, nBaseWidth);
            m_nTraceWidth = ::MulDiv(nWidthUnits, nBaseWidth96, 4) / FIXEDSYS_CELL_WIDTH;
            SetTraceFonts();  // no wider than that many columns fit
        }
    }

    for (int i = 0; i < m_nTraceWidth; ++i)
    {
        m_strName1 += "-";
        m_strName2 += "-";
        m_strName3 += "-";
        m_strTms += "-";
        m_strTdi += "-";
        m_strTdo += "-";
    }
    RefreshTrace();
}

void CStepperDlg::OnClock(const ClockRecord& clock, bool bValueOut)
{
    m_strName1 = m_strName1.Mid(1, m_nTraceWidth);
    m_strName2 = m_strName2.Mid(1, m_nTraceWidth);
    m_strName3 = m_strName3.Mid(1, m_nTraceWidth);
    const CString code(TapStateCode(clock.nState));
    m_strName1 += code.Mid(0, 1);
    m_strName2 += code.Mid(1, 1);
    m_strName3 += code.Mid(2, 1);
    Shift(m_strTms, m_nTraceWidth, clock.Tms() != 0 ? "1" : "0");
    Shift(m_strTdi, m_nTraceWidth, clock.Tdi() != 0 ? "1" : "0");
    Shift(m_strTdo, m_nTraceWidth, clock.Tdo() != 0 ? "1" : "0");

    CString line;
    line.Format("%d%d%d-%s", clock.Tms(), clock.Tdi(), clock.Tdo(), static_cast<LPCSTR>(code));
    m_pendingLines.push_back(line);
    m_nPendingTdo = static_cast<BYTE>(clock.Tdo());
    m_bValuePending = m_bValuePending || bValueOut;
    if (bValueOut)
        m_bLastOutIr = clock.nState == STATE_EXIT1_IR;
    if (!m_bDeferred)
        ShowRecordedClocks();
    RefreshTrace();
    m_send.OnClock();
}

void CStepperDlg::OnTraceFileFailed(const std::string& strError)
{
    m_paint.Release();
    MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::AddHistoryLine(const CString& line)
{
    if (m_listHistory.GetCount() > HISTORY_LIMIT)
        m_listHistory.DeleteString(0);
    m_listHistory.AddString(line);
}

void CStepperDlg::OnCommandEnded()
{
    m_bDeferred = false;
    ApplyDeferred();
}

void CStepperDlg::ShowValue(const std::string& text)
{
    m_editValue.SetWindowText(text.c_str());
    m_valueTip.SetText(text);
}

void CStepperDlg::ShowValueText(const std::string& text)
{
    ShowValue(text);
    MarkChanged(m_editValue);
}

void CStepperDlg::ApplyDeferred()
{
    ShowRecordedClocks();
    RefreshTrace();
    ShowState(m_tap.State());
}

void CStepperDlg::ShowRecordedClocks()
{
    if (!m_pendingLines.empty())
    {
        // Of the lines kept back, only those the list keeps are added: it ends as if each had been.
        const size_t nKeep = static_cast<size_t>(HISTORY_LIMIT) + 1;
        const size_t nFirst = m_pendingLines.size() > nKeep ? m_pendingLines.size() - nKeep : 0;
        if (nFirst > 0)
            m_listHistory.SendMessage(LB_RESETCONTENT);
        for (size_t i = nFirst; i < m_pendingLines.size(); ++i)
            AddHistoryLine(m_pendingLines[i]);
        m_pendingLines.clear();
        m_listHistory.SetTopIndex(m_listHistory.GetCount() - 1);
        MarkChanged(m_listHistory);
        // The pin controls show the levels of the last clock.
        m_pins.ShowClock(m_nPendingTdo);
    }
    if (m_bValuePending)
    {
        ShowValue(ShownValue());
        MarkChanged(m_editValue);
        m_bValuePending = false;
    }
}

std::string CStepperDlg::ShownValue() const
{
    const CChainAddress* pAddress = m_send.Address();
    if (pAddress == nullptr)
        return m_tap.ValueOut();
    std::vector<unsigned char> bits;
    if (!pAddress->Share(m_bLastOutIr, m_tap.BitsOut().ToBytes(), bits))
        return "";
    return FormatSizedHex(bits);
}

void CStepperDlg::SpeakTo(CChainAddress* pAddress)
{
    m_send.SpeakTo(pAddress);
}

BOOL CStepperDlg::RefreshTrace()
{
    if (m_bDeferred)
        return TRUE;
    m_stName1.SetWindowText(m_strName1);
    m_stName2.SetWindowText(m_strName2);
    m_stName3.SetWindowText(m_strName3);
    m_stTms.SetWindowText(m_strTms);
    m_stTdi.SetWindowText(m_strTdi);
    m_stTdo.SetWindowText(m_strTdo);
    for (CStatic* pRow : {&m_stName1, &m_stName2, &m_stName3, &m_stTms, &m_stTdi, &m_stTdo})
        MarkChanged(*pRow);
    return TRUE;
}
