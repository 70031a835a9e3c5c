// The six trace rows and the history list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "panel/TapTable.h"
#include "tap_expectations.h"

namespace {

const UINT ROWS[] = {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3,
                     IDC_TRACE_TMS,   IDC_TRACE_TDI,   IDC_TRACE_TDO};

// Every row holds exactly as many characters as the rows have columns.
void ExpectRowsIntact(CStepperDlg& dlg)
{
    for (UINT nRow : ROWS)
        EXPECT_EQ(TraceWidth(dlg), Row(dlg, nRow).GetLength()) << "row " << nRow;
}

// The newest column of the six rows, as "code/tms tdi tdo", e.g. "SDR/011".
std::string NewestColumn(CStepperDlg& dlg)
{
    std::string column;
    for (UINT nRow : ROWS)
    {
        const CString text = Row(dlg, nRow);
        column += text.Mid(text.GetLength() - 1, 1);
        if (nRow == IDC_TRACE_NAME3)
            column += "/";
    }
    return column;
}

} // namespace

TEST(TraceTest, StartsWithDashesAndAnEmptyHistory)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        ASSERT_GT(TraceWidth(dlg), 10);
        ExpectRowsIntact(dlg);
        EXPECT_EQ(std::string(static_cast<size_t>(TraceWidth(dlg)), '-'), std::string(Row(dlg, IDC_TRACE_TMS)));
        EXPECT_EQ(0, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
}

TEST(TraceTest, WidthIsMeasuredWithTheRowFontAndEveryColumnFits)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        for (UINT nRow : ROWS)
        {
            HWND hRow = ::GetDlgItem(dlg.m_hWnd, static_cast<int>(nRow));
            HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hRow, WM_GETFONT, 0, 0));
            ASSERT_NE(nullptr, hFont);
            LOGFONTA lf = {};
            ::GetObjectA(hFont, sizeof(lf), &lf);
            EXPECT_STREQ("FixedSys", lf.lfFaceName);

            HDC hDC = ::GetDC(hRow);
            HGDIOBJ hOld = ::SelectObject(hDC, hFont);
            TEXTMETRICA tm = {};
            ::GetTextMetricsA(hDC, &tm);
            const std::string full(static_cast<size_t>(TraceWidth(dlg)), '0');
            SIZE extent = {};
            ::GetTextExtentPoint32A(hDC, full.c_str(), static_cast<int>(full.size()), &extent);
            ::SelectObject(hDC, hOld);
            ::ReleaseDC(hRow, hDC);

            RECT client;
            ::GetClientRect(hRow, &client);
            EXPECT_EQ(client.right / tm.tmAveCharWidth, TraceWidth(dlg)) << "row " << nRow;
            EXPECT_LE(extent.cx, client.right) << "row " << nRow << ": the newest clock is cut off";
        }
    });
}

TEST(TraceTest, ResetSpellsItsCodesDownTheThreeRows)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        ExpectRowsIntact(dlg);
        auto tail = [&](const CString& row) { return std::string(row.Mid(row.GetLength() - 6, 6)); };
        EXPECT_EQ("*****T", tail(Row(dlg, IDC_TRACE_NAME1)));
        EXPECT_EQ("*****L", tail(Row(dlg, IDC_TRACE_NAME2)));
        EXPECT_EQ("*****R", tail(Row(dlg, IDC_TRACE_NAME3)));
        EXPECT_EQ("111111", tail(Row(dlg, IDC_TRACE_TMS)));
        EXPECT_EQ("111111", tail(Row(dlg, IDC_TRACE_TDI)));
        EXPECT_EQ("111111", tail(Row(dlg, IDC_TRACE_TDO))) << "TDO is not driven outside the Shift states";
        EXPECT_EQ('-', Row(dlg, IDC_TRACE_NAME1).operator LPCSTR()[TraceWidth(dlg) - 7]);
        const std::vector<std::string> expected = {"111-***", "111-***", "111-***",
                                                   "111-***", "111-***", "111-TLR"};
        EXPECT_EQ(expected, HistoryLines(dlg));
    });
}

TEST(TraceTest, EachClockIsOneColumnMatchingItsHistoryLine)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        const UINT walk[] = {IDC_RUN_TEST_IDLE, IDC_SELECT_DR,  IDC_SELECT_IR,   IDC_CAPTURE_IR,
                             IDC_SHIFT_IR_1,    IDC_SHIFT_IR,   IDC_EXIT1_IR,    IDC_PAUSE_IR,
                             IDC_PAUSE_IR,      IDC_EXIT2_IR,   IDC_UPDATE_IR,   IDC_SELECT_DR,
                             IDC_CAPTURE_DR,    IDC_EXIT1_DR_1, IDC_UPDATE_DR,   IDC_RUN_TEST_IDLE};
        for (UINT nID : walk)
        {
            Click(dlg, nID);
            ExpectRowsIntact(dlg);
            const std::string line = HistoryLines(dlg).back();
            const char* pszCode = TapStateCode(dlg.Tap().State());
            ASSERT_NE(nullptr, pszCode);
            ASSERT_EQ(7u, line.size());
            EXPECT_EQ(std::string(pszCode) + "/" + line.substr(0, 3), NewestColumn(dlg));
            EXPECT_EQ(std::string(pszCode), line.substr(4));
        }
        const std::vector<std::string> lines = HistoryLines(dlg);
        EXPECT_EQ("011-SIR", lines[6 + 4]);  // the "1" beside SHIFT-IR
        EXPECT_EQ("011-RIR", lines[6 + 7]);  // Pause-IR's code
    });
}

TEST(TraceTest, HistorySettlesAt101LinesWithTheNewestInView)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        std::vector<std::string> expected;
        auto record = [&] { expected.push_back(HistoryLines(dlg).back()); };
        Click(dlg, IDC_TEST_LOGIC_RESET);
        for (const std::string& line : HistoryLines(dlg))
            expected.push_back(line);
        // A loop through the DR column, so that neighbouring lines differ.
        const UINT loop[] = {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR_1,
                             IDC_SHIFT_DR,      IDC_EXIT1_DR,  IDC_UPDATE_DR};
        for (size_t i = 0; expected.size() < 150; ++i)
        {
            Click(dlg, loop[i % std::size(loop)]);
            record();
            EXPECT_LE(Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount(), 101);
            ExpectRowsIntact(dlg);
        }
        const std::vector<std::string> lines = HistoryLines(dlg);
        ASSERT_EQ(101u, lines.size());
        EXPECT_EQ(std::vector<std::string>(expected.begin() + 49, expected.end()), lines);

        RECT client, item;
        Item<CHistoryListBox>(dlg, IDC_HISTORY).GetClientRect(&client);
        Item<CHistoryListBox>(dlg, IDC_HISTORY).SendMessage(LB_GETITEMRECT, 100, reinterpret_cast<LPARAM>(&item));
        EXPECT_GE(item.top, client.top);
        EXPECT_LE(item.bottom, client.bottom) << "the newest line is not in view";
    });
}

TEST(TraceTest, IdcodeReadsOffTheTdoRow)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        for (UINT nID : {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR})
            Click(dlg, nID);
        for (int bit = 0; bit < 31; ++bit)
            Click(dlg, IDC_SHIFT_DR);
        Click(dlg, IDC_EXIT1_DR);
        const std::string tdo(Row(dlg, IDC_TRACE_TDO).Mid(Row(dlg, IDC_TRACE_TDO).GetLength() - 32, 32));
        uint32_t value = 0;
        for (int bit = 0; bit < 32; ++bit)
            value |= static_cast<uint32_t>(tdo[static_cast<size_t>(bit)] == '1') << bit;
        EXPECT_EQ(CJtagDevice::IDCODE, value) << tdo;
    });
}
