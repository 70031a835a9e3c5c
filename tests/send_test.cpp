// SEND-IR and SEND-DR on the simulated board: every clock through a state button's own command,
// the value display, the lists and what they keep, a SEND stopped half-way.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "recording_port.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "platform/app.h"
#include "platform/system.h"
#include "ports/sim_port.h"

namespace {

// A dialog whose lists are kept in a file of its own.
class SendTest : public ::testing::Test
{
protected:
    void SetUp() override { m_strIni = TempPath("ini"); }
    void TearDown() override { ::DeleteFileA(m_strIni.c_str()); }

    void Prepare(CStepperDlg& dlg) { dlg.SetSettingsPath(m_strIni); }
    // The window open, with the board reset by a click, for the body.
    void AfterReset(const std::function<void(CStepperDlg&)>& body)
    {
        CStepperDlg dlg;
        Prepare(dlg);
        RunDialog(dlg, [&] {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            body(dlg);
        });
    }
    // The window open, its message boxes answered and kept, for the body.
    void AnsweringBoxes(const std::function<void(CStepperDlg&, const std::vector<AnsweredBox>&)>& body)
    {
        CStepperDlg dlg;
        Prepare(dlg);
        RunDialog(dlg, [&] {
            CBoxAnswerer answerer(dlg);
            body(dlg, AnsweredBoxes());
        });
    }

    CCountedWaits m_waits;
    std::string m_strIni;
};

std::vector<std::string> NewLines(CStepperDlg& dlg, size_t nBefore)
{
    const std::vector<std::string> lines = HistoryLines(dlg);
    return std::vector<std::string>(lines.begin() + static_cast<long>(nBefore), lines.end());
}

// What clicking these buttons by hand puts in the history, from a fresh reset on the board.
std::vector<std::string> ClickedLines(const std::vector<std::vector<UINT>>& runs)
{
    CStepperDlg dlg;
    std::vector<std::string> lines;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        for (const std::vector<UINT>& run : runs)
            for (UINT nID : run)
                Click(dlg, nID);
        lines = NewLines(dlg, 6);
    });
    return lines;
}

std::vector<UINT> Repeat(UINT nID, size_t nCount)
{
    return std::vector<UINT>(nCount, nID);
}

} // namespace

TEST_F(SendTest, InstructionThenIdcodeAreTheClocksAPersonWouldClick)
{
    // IR 0010, bit 0 first: 0, 1, 0, then the last 0 into Exit1-IR. DR: 32 zeros.
    const std::vector<std::vector<UINT>> byHand = {
        {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR, IDC_SHIFT_IR,
         IDC_SHIFT_IR_1, IDC_SHIFT_IR, IDC_EXIT1_IR, IDC_UPDATE_IR, IDC_RUN_TEST_IDLE},
        {IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR},
        Repeat(IDC_SHIFT_DR, 31),
        {IDC_EXIT1_DR, IDC_UPDATE_DR, IDC_RUN_TEST_IDLE},
    };
    const std::vector<std::string> expected = ClickedLines(byHand);

    AfterReset([&](CStepperDlg& dlg) {
        Click(dlg, IDC_RUN_TEST_IDLE);
        const size_t nRecorded = dlg.Tap().Session().Count();
        SendValue(dlg, IDC_IR_VALUE, "4'b0010");
        EXPECT_EQ(4u + 6u, dlg.Tap().Session().Count() - nRecorded) << "an N-bit IR value from RUN-TEST/IDLE";
        EXPECT_EQ("4'h1", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd)) << "the instruction register's capture, 0001";
        EXPECT_EQ(CJtagDevice::IR_IDCODE, SimulatedBoard().Instruction());
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ(4u + 6u + 32u + 5u, dlg.Tap().Session().Count() - nRecorded) << "an N-bit DR value";
        EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        EXPECT_EQ(1, dlg.Tap().State());
        EXPECT_EQ(TapState::RunTestIdle, SimulatedBoard().State());
        EXPECT_TRUE(Item(dlg, IDC_RUN_TEST_IDLE).IsWindowEnabled());
        EXPECT_TRUE(IsHighlighted(dlg, IDC_RUN_TEST_IDLE)) << "RUN-TEST/IDLE is highlighted";
        const std::vector<std::string> lines = NewLines(dlg, 6);
        EXPECT_EQ(expected, lines);
        EXPECT_EQ(expected.back(), "011-RTI");
        // The trace rows end with the same clocks as the history.
        std::string strTdo;
        for (const std::string& line : lines)
            strTdo += line[2];
        const std::string strRow(Row(dlg, IDC_TRACE_TDO));
        EXPECT_EQ(strTdo.substr(strTdo.size() - 40), strRow.substr(strRow.size() - 40));
        EXPECT_EQ("SEND-DR", WindowText(Item<CButton>(dlg, IDC_SEND_DR).m_hWnd));
    });
}

TEST_F(SendTest, BypassDelaysTheDataByOneBit)
{
    AfterReset([&](CStepperDlg& dlg) {
        SendValue(dlg, IDC_IR_VALUE, "4'hF");
        EXPECT_EQ(CJtagDevice::IR_BYPASS, SimulatedBoard().Instruction());
        SendValue(dlg, IDC_DR_VALUE, "8'hA5");
        EXPECT_EQ("8'h4A", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        EXPECT_EQ(1, dlg.Tap().State());
    });
}

struct FoundTip
{
    HWND hOwner;
    HWND hTip;
};

BOOL CALLBACK FindTip(HWND hWnd, LPARAM lParam)
{
    FoundTip& found = *reinterpret_cast<FoundTip*>(lParam);
    char name[64] = {};
    ::GetClassNameA(hWnd, name, sizeof(name));
    if (lstrcmpiA(name, "tooltips_class32") == 0 && ::GetWindow(hWnd, GW_OWNER) == found.hOwner)
        found.hTip = hWnd;
    return found.hTip == nullptr;
}

// The tip over the value field: found among the dialog's windows, asked for its text.
std::string ValueTipText(CStepperDlg& dlg)
{
    FoundTip found = {dlg.m_hWnd, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindTip, reinterpret_cast<LPARAM>(&found));
    if (found.hTip == nullptr)
        return "(no tip)";
    char text[512] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = dlg.m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd);
    tool.lpszText = text;
    ::SendMessageA(found.hTip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(SendTest, AValueTooLongForItsFieldIsWholeInItsTip)
{
    AfterReset([&](CStepperDlg& dlg) {
        SendValue(dlg, IDC_IR_VALUE, "4'hF");
        // Through BYPASS the value comes out one bit later: the first 160 of 161 bits in, after a 0.
        SendValue(dlg, IDC_DR_VALUE, "161'h0_0123456789ABCDEF_FEDCBA9876543210_01234567");
        const std::string strValue = WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd);
        EXPECT_EQ("161'h002468ACF13579BDFFDB97530ECA8642002468ACE", strValue);
        std::string strJoined;
        const std::string strTip = ValueTipText(dlg);
        for (char c : strTip)
            if (c != '\r' && c != '\n')
                strJoined += c;
        EXPECT_EQ(strValue, strJoined) << strTip;
        EXPECT_NE(std::string::npos, strTip.find("\r\n")) << "broken into lines: " << strTip;
    });
}

TEST_F(SendTest, FromPauseTheShiftGoesOnThroughExit2)
{
    AfterReset([&](CStepperDlg& dlg) {
        for (UINT nID : {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR, IDC_EXIT1_DR, IDC_PAUSE_DR})
            Click(dlg, nID);
        ASSERT_TRUE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled());
        const size_t nBefore = HistoryLines(dlg).size();
        SendValue(dlg, IDC_DR_VALUE, "0011");
        const std::vector<std::string> lines = NewLines(dlg, nBefore);
        ASSERT_EQ(2u + 4u + 2u, lines.size());
        EXPECT_EQ((std::vector<std::string>{"111-E2D", "001-SDR", "011-SDR", "010-SDR", "001-SDR", "100-E1D",
                                            "111-UDR", "011-RTI"}),
                  lines);
        // One bit before the pause, four after: one value of five bits, IDCODE's low bits first.
        EXPECT_EQ("5'h0B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
    });
}

TEST_F(SendTest, ClickedByHandTheIdcodeShowsInTheDisplay)
{
    AfterReset([&](CStepperDlg& dlg) {
        for (UINT nID : {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR})
            Click(dlg, nID);
        for (int i = 0; i < 20; ++i)
            Click(dlg, IDC_SHIFT_DR);
        Click(dlg, IDC_EXIT1_DR);
        EXPECT_EQ("20'h5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        Click(dlg, IDC_PAUSE_DR);
        Click(dlg, IDC_EXIT2_DR);
        // The first click only enters Shift-DR again; the next eleven shift.
        for (int i = 0; i < 12; ++i)
            Click(dlg, IDC_SHIFT_DR);
        Click(dlg, IDC_EXIT1_DR);
        EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
    });
}

TEST_F(SendTest, BadValuesAndWrongStatesClockNothing)
{
    AnsweringBoxes([&](CStepperDlg& dlg, const std::vector<AnsweredBox>& boxes) {
        EXPECT_FALSE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled()) << "before a reset the state is unknown";
        Click(dlg, IDC_TEST_LOGIC_RESET);
        EXPECT_TRUE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled());
        const size_t nRecorded = dlg.Tap().Session().Count();
        for (const char* pszBad : {"4'h1F", "12x", "", "0x"})
        {
            Item<CComboBox>(dlg, IDC_DR_VALUE).SetWindowText(pszBad);
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DR_VALUE, CBN_EDITCHANGE),
                            reinterpret_cast<LPARAM>(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd));
            EXPECT_FALSE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled()) << pszBad;
            // Enter in the list's edit field asks for it all the same, and is told why not.
            ::SetFocus(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd);
            dlg.SendMessage(WM_COMMAND, IDOK, 0);
        }
        EXPECT_EQ(nRecorded, dlg.Tap().Session().Count());
        ASSERT_EQ(4u, boxes.size());
        EXPECT_NE(std::string::npos, boxes[0].strText.find("does not fit in 4 bits")) << boxes[0].strText;
        EXPECT_NE(std::string::npos, boxes[1].strText.find("4'b0010, 6'h09")) << boxes[1].strText;

        // A valid value where a SEND cannot start: disabled, and Enter says from where it can.
        Item<CComboBox>(dlg, IDC_DR_VALUE).SetWindowText("1");
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DR_VALUE, CBN_EDITCHANGE),
                        reinterpret_cast<LPARAM>(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd));
        Click(dlg, IDC_RUN_TEST_IDLE);
        Click(dlg, IDC_SELECT_DR);
        EXPECT_FALSE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled());
        Click(dlg, IDC_SEND_DR);
        ::SetFocus(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd);
        dlg.SendMessage(WM_COMMAND, IDOK, 0);
        EXPECT_EQ(nRecorded + 2, dlg.Tap().Session().Count());
        ASSERT_EQ(5u, boxes.size());
        EXPECT_NE(std::string::npos, boxes[4].strText.find("SEND-DR starts from")) << boxes[4].strText;
        // Enter anywhere else does nothing at all.
        ::SetFocus(Item<CHistoryListBox>(dlg, IDC_HISTORY).m_hWnd);
        dlg.SendMessage(WM_COMMAND, IDOK, 0);
        EXPECT_EQ(5u, boxes.size());
        EXPECT_EQ(nRecorded + 2, dlg.Tap().Session().Count());
    });
}

TEST_F(SendTest, EnterInAListPressesItsSend)
{
    AfterReset([&](CStepperDlg& dlg) {
        Item<CComboBox>(dlg, IDC_IR_VALUE).SetWindowText("1111");
        ::SetFocus(Item<CComboBox>(dlg, IDC_IR_VALUE).m_hWnd);
        const size_t nRecorded = dlg.Tap().Session().Count();
        dlg.SendMessage(WM_COMMAND, IDOK, 0);
        EXPECT_EQ(nRecorded + 4 + 5 + 2, dlg.Tap().Session().Count()) << "from TEST-LOGIC-RESET: one clock more";
        EXPECT_EQ(CJtagDevice::IR_BYPASS, SimulatedBoard().Instruction());
    });
}

TEST_F(SendTest, TheListsKeepTheValuesSentNewestFirstAcrossAStart)
{
    // In folders not made yet, as ~/.config/morva may not be on Linux.
    const std::string strFolder = m_strIni + ".d";
    ::DeleteFileA(m_strIni.c_str());
    m_strIni = strFolder + "\\morva\\morva.ini";
    {
        CStepperDlg dlg;
        Prepare(dlg);
        RunDialog(dlg, [&] {
            // With nothing kept, the board's own instructions and a register's zero are offered.
            EXPECT_EQ((std::vector<std::string>{"4'b0010", "4'b1111"}), ListItems(dlg, IDC_IR_VALUE));
            EXPECT_EQ("4'b0010", WindowText(Item<CComboBox>(dlg, IDC_IR_VALUE).m_hWnd));
            EXPECT_EQ((std::vector<std::string>{"32'h0"}), ListItems(dlg, IDC_DR_VALUE));
            Click(dlg, IDC_TEST_LOGIC_RESET);
            for (int i = 0; i < 25; ++i)
                SendValue(dlg, IDC_DR_VALUE, ("8'd" + std::to_string(i)).c_str());
            SendValue(dlg, IDC_DR_VALUE, "0x03");  // the same value as 8'd3: kept once, newest
            SendValue(dlg, IDC_IR_VALUE, "4'hF");   // the same as 4'b1111
        });
    }
    CStepperDlg dlg;
    Prepare(dlg);
    RunDialog(dlg, [&] {
        const std::vector<std::string> dr = ListItems(dlg, IDC_DR_VALUE);
        ASSERT_EQ(20u, dr.size());
        EXPECT_EQ("0x03", dr[0]);
        EXPECT_EQ("8'd24", dr[1]);
        EXPECT_EQ("8'd6", dr[19]);
        EXPECT_EQ(20, Item<CComboBox>(dlg, IDC_DR_VALUE).GetCount());
        EXPECT_EQ("0x03", WindowText(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd));
        EXPECT_EQ((std::vector<std::string>{"4'hF", "4'b0010"}), ListItems(dlg, IDC_IR_VALUE));
    });
    ::DeleteFileA(m_strIni.c_str());
    ::RemoveDirectoryA((strFolder + "\\morva").c_str());
    ::RemoveDirectoryA(strFolder.c_str());
}

TEST_F(SendTest, AnUnwritableSettingsFileLeavesTheListsWorking)
{
    CStepperDlg dlg;
    // A folder that cannot be made (a file holds its name) stands for one the user may not
    // write to.
    dlg.SetSettingsPath(m_strIni + "\\MORVA.INI");
    RunDialog(dlg, [&] {
        CBoxAnswerer answerer(dlg);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        SendValue(dlg, IDC_DR_VALUE, "8'hA5");
        SendValue(dlg, IDC_DR_VALUE, "8'h5A");
        EXPECT_EQ((std::vector<std::string>{"8'h5A", "8'hA5", "32'h0"}), ListItems(dlg, IDC_DR_VALUE));
        EXPECT_EQ("8'h4B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd)) << "the second SEND shifted like the first";
        // Said once, with the file, not at every SEND.
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_NE(std::string::npos, AnsweredBoxes()[0].strText.find("MORVA.INI could not be written"))
            << AnsweredBoxes()[0].strText;
    });
}

namespace {

// Presses the running SEND's button (STOP) as TDO of the given clock is read, and lets the time
// pass after which the SEND looks at its messages: it takes the click before its next bit.
class CStopAtClock : public CParallelPort
{
public:
    // nButton IDCANCEL is Escape; WM_CLOSE the close box.
    CStopAtClock(CParallelPort& port, long nAt, HWND hDlg, UINT nButton) : m_port(port), m_nAt(nAt), m_hDlg(hDlg), m_nButton(nButton)
    {
    }
    void Write(unsigned short address, unsigned char value) override { m_port.Write(address, value); }
    unsigned char Read(unsigned short address) override
    {
        if (--m_nAt == 0)
        {
            if (m_nButton == WM_CLOSE)
                ::PostMessageW(m_hDlg, WM_CLOSE, 0, 0);
            else
                ::PostMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(m_nButton, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(m_hDlg, static_cast<int>(m_nButton))));
            // A SEND looks for messages once a millisecond: one passes before its next bit.
            const DWORD dwPosted = ::GetTickCount();
            while (::GetTickCount() - dwPosted < 2)
                ::Sleep(1);
        }
        return m_port.Read(address);
    }
    std::string Failure() const override { return m_port.Failure(); }

private:
    CParallelPort& m_port;
    long m_nAt;
    HWND m_hDlg;
    UINT m_nButton;
};

} // namespace

TEST_F(SendTest, AStoppedSendWaitsInPauseWithoutUpdating)
{
    AnsweringBoxes([&](CStepperDlg& dlg, const std::vector<AnsweredBox>& boxes) {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        SendValue(dlg, IDC_IR_VALUE, "4'hF");
        const size_t nRecorded = dlg.Tap().Session().Count();
        const size_t nLines = HistoryLines(dlg).size();
        CStopAtClock stopper(SimulatedPort(), 3 + 2048, dlg.m_hWnd, IDC_SEND_DR);
        CableTarget pBefore = SetCablePort(&stopper);
        SendValue(dlg, IDC_DR_VALUE, "4096'h0");
        SetCablePort(pBefore);
        // Three clocks into Shift-DR, 2048 bits, the bit after the click into Exit1, then Pause.
        EXPECT_EQ(3u + 2048u + 1u + 1u, dlg.Tap().Session().Count() - nRecorded);
        const std::vector<std::string> lines = HistoryLines(dlg);
        EXPECT_EQ(101u, lines.size()) << "the list kept as many lines as clicking would have";
        EXPECT_GT(lines.size(), nLines);
        EXPECT_EQ("100-E1D", lines[99]);
        EXPECT_EQ("011-PDR", lines[100]);
        for (const std::string& line : lines)
            EXPECT_EQ(std::string::npos, line.find("UDR")) << "an Update after the stop";
        EXPECT_EQ(6, dlg.Tap().State());
        EXPECT_EQ(TapState::PauseDr, SimulatedBoard().State());
        EXPECT_EQ("SEND-DR", WindowText(Item<CButton>(dlg, IDC_SEND_DR).m_hWnd));
        EXPECT_TRUE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled()) << "a SEND may start again from PAUSE-DR";
        EXPECT_TRUE(Item<CButton>(dlg, IDC_SEND_IR).IsWindowEnabled());
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("SEND-DR", boxes[0].strCaption);
        EXPECT_NE(std::string::npos, boxes[0].strText.find("not updated")) << boxes[0].strText;
        // BYPASS: the 0 captured, then 2048 zeros shifted through.
        EXPECT_EQ("2049'h" + std::string(513, '0'), WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
    });
}

// Escape stops a SEND as STOP does, and the window stays with its session; the close box stops it
// the same way, then closes.
TEST_F(SendTest, EscapeStopsASendAndKeepsTheWindowTheCloseBoxStopsItAndCloses)
{
    for (UINT nKey : {static_cast<UINT>(IDCANCEL), static_cast<UINT>(WM_CLOSE)})
    {
        CStepperDlg dlg;
        Prepare(dlg);
        bool bShownAfter = false;
        const INT_PTR nResult = RunDialog(dlg, [&] {
            CBoxAnswerer answerer(dlg);
            Click(dlg, IDC_TEST_LOGIC_RESET);
            const size_t nRecorded = dlg.Tap().Session().Count();
            CStopAtClock stopper(SimulatedPort(), 3 + 100, dlg.m_hWnd, nKey);
            CableTarget pBefore = SetCablePort(&stopper);
            SendValue(dlg, IDC_DR_VALUE, "4096'h0");
            SetCablePort(pBefore);
            EXPECT_EQ(3u + 100u + 1u + 1u, dlg.Tap().Session().Count() - nRecorded) << "key " << nKey;
            EXPECT_EQ(6, dlg.Tap().State()) << "key " << nKey;
            EXPECT_EQ(TapState::PauseDr, SimulatedBoard().State()) << "key " << nKey;
            // Whatever else the key asks is done by the time its message is through.
            AfxPumpWaitingMessages(dlg.m_hWnd);
            bShownAfter = ::IsWindowVisible(dlg.m_hWnd) != FALSE;
        });
        EXPECT_EQ(nKey == IDCANCEL, bShownAfter) << "key " << nKey;
        EXPECT_EQ(IDCANCEL, nResult);
    }
}
