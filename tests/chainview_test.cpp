// The chain window over the simulated chain: the scan from the window's menu, a device picked,
// its share of the bits in the value display, and what cannot be asked of it. The board test
// from the chain window, on a simulated board with an open and a short.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recording_port.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "temporary.h"

namespace {

class ChainWindowTest : public ::testing::Test
{
protected:
    CCountedWaits m_waits;
    CCableOn m_cable{&SimulatedChainPort()};
};

BOOL CALLBACK FindChainWindow(HWND hWnd, LPARAM lParam)
{
    if (::GetDlgItem(hWnd, IDC_CHAIN_LIST) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// This test's own chain window: tests running beside it in the same prefix have theirs.
HWND ChainWindow()
{
    HWND hChain = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindChainWindow, reinterpret_cast<LPARAM>(&hChain));
    return hChain;
}

void ScanWith(const char* pszIrLengths)
{
    ::SetDlgItemTextA(ChainWindow(), IDC_CHAIN_IRLEN, pszIrLengths);
    ::SendMessageA(ChainWindow(), WM_COMMAND, MAKEWPARAM(IDC_CHAIN_SCAN, BN_CLICKED), 0);
}

// A line of the list clicked, as the list tells of it.
void Pick(size_t nLine)
{
    const HWND hList = ::GetDlgItem(ChainWindow(), IDC_CHAIN_LIST);
    ::SendMessageA(hList, LB_SETCURSEL, nLine, 0);
    const WPARAM wParam = MAKEWPARAM(IDC_CHAIN_LIST, LBN_SELCHANGE);
    ::SendMessageA(ChainWindow(), WM_COMMAND, wParam, reinterpret_cast<LPARAM>(hList));
}

size_t Picked()
{
    return static_cast<size_t>(::SendDlgItemMessageA(ChainWindow(), IDC_CHAIN_LIST, LB_GETCURSEL, 0, 0));
}

std::string Display(CStepperDlg& dlg)
{
    return WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd);
}

} // namespace

TEST_F(ChainWindowTest, ADeviceWhoseLengthsAreNotToldCannotBePicked)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        dlg.SendMessage(WM_SYSCOMMAND, IDM_SCANCHAIN, 0);
        EXPECT_EQ(0, m_waits.Count()) << "the scan's clocks wait for nothing";
        {
            CBoxAnswerer answerer(dlg);
            Pick(2);
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_EQ(0u, AnsweredBoxes()[0].strText.find("Device 2 cannot be spoken to alone."));
        EXPECT_EQ(0u, Picked()) << "the whole chain stays";
    });
}

TEST_F(ChainWindowTest, APickedDeviceGetsItsOwnBitsByClicksAndBySend)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        dlg.SendMessage(WM_SYSCOMMAND, IDM_SCANCHAIN, 0);
        ScanWith("4,6,8");
        Pick(2);
        ASSERT_EQ(2u, Picked());

        // By hand after the scan's reset: device 3's BYPASS bit, then device 2's IDCODE, then
        // device 1's; the display shows device 2's 32 bits alone.
        for (UINT nID : {IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR})
            Click(dlg, nID);
        for (int i = 0; i < 64; ++i)
            Click(dlg, IDC_SHIFT_DR);
        Click(dlg, IDC_EXIT1_DR);
        EXPECT_EQ("32'h35678043", Display(dlg));
        EXPECT_EQ("65'h03579A1266ACF0086", dlg.Tap().ValueOut()) << "the engine keeps the whole chain's bits";
        Click(dlg, IDC_UPDATE_DR);
        Click(dlg, IDC_RUN_TEST_IDLE);

        // An instruction as long as another device's IR is refused before any clock.
        const size_t nBefore = dlg.Tap().Session().Count();
        {
            CBoxAnswerer answerer(dlg);
            SendValue(dlg, IDC_IR_VALUE, "4'h2");
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_EQ("Device 2's IR is 6 bits long; the instruction given has 4.", AnsweredBoxes()[0].strText);
        EXPECT_EQ(nBefore, dlg.Tap().Session().Count());

        // After an instruction the others are in BYPASS, one bit each; after a reset device 1
        // shows its IDCODE again: 32 bits of padding on the TDI side.
        SendValue(dlg, IDC_IR_VALUE, "6'h02");
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        const size_t nReset = dlg.Tap().Session().Count();
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ(3u + 65u + 2u, dlg.Tap().Session().Count() - nReset);
        EXPECT_EQ("32'h35678043", Display(dlg));

        // Closed, the window leaves the values to the whole chain.
        ::SendMessageA(ChainWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(FALSE, ::IsWindowVisible(ChainWindow()));
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ("32'h6ACF0086", Display(dlg)) << "device 3's BYPASS bit first, then device 2's IDCODE";
    });
}

namespace {

BOOL CALLBACK FindBoardWindow(HWND hWnd, LPARAM lParam)
{
    if (::GetDlgItem(hWnd, IDC_BOARD_LIST) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

std::vector<std::string> ListLines(HWND hList)
{
    std::vector<std::string> lines;
    const LRESULT nLines = ::SendMessageA(hList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < nLines; ++i)
    {
        char line[512] = {};
        ::SendMessageA(hList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

// This test's own report window, or null.
HWND BoardWindow()
{
    HWND hBoard = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBoardWindow, reinterpret_cast<LPARAM>(&hBoard));
    return hBoard;
}

// The example board in the test's folder, simulated as a board file says, behind the main window
// whose chain was scanned.
class BoardWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { m_files = WriteExampleBoard(); }
    void TearDown() override
    {
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
            RemoveTemporary(*it);
    }

    std::string Write(const std::string& strName, const std::string& text)
    {
        m_files.insert(m_files.begin(), WriteTemporary(strName, text));
        return m_files.front();
    }

    void RunOnBoard(const std::string& strBoard, const std::function<void(CStepperDlg&)>& body)
    {
        const std::shared_ptr<CParallelPort> pBoard = MakeBoardSimulatedPort(strBoard);
        ASSERT_TRUE(pBoard->IsAccessible()) << pBoard->AccessProblem();
        CCountedWaits waits;
        CCableOn cable{pBoard.get()};
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            dlg.SendMessage(WM_SYSCOMMAND, IDM_SCANCHAIN, 0);
            body(dlg);
        });
    }

    const std::string BOARD = "[board]\nchain=U1,U2\nnetlist=board.net\n[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n";
    std::vector<std::string> m_files;  // the last written first: removed before their folder
};

} // namespace

TEST_F(BoardWindowTest, TheChainWindowsBoardTestAsksOnceAndListsTheFaultyNetsFirst)
{
    const std::string strBoard = Write("faulty.ini", BOARD + "[faults]\nopen=U2.5\nshort=SDA,SCL\n");
    RunOnBoard(strBoard, [&](CStepperDlg& dlg) {
        for (int nTime = 0; nTime < 2; ++nTime)
        {
            CBoxAnswerer answerer(dlg);
            dlg.ChainWindow().TestBoard(strBoard);
            // The question names the nets, the first time only.
            ASSERT_EQ(nTime == 0 ? 1u : 0u, AnsweredBoxes().size());
            if (nTime == 0)
            {
                EXPECT_EQ(0u, AnsweredBoxes()[0].strText.find(
                                  "The board test drives these nets under EXTEST, one pattern after another: LED_R "
                                  "(U1.11 U2.5), LED_G (U1.12 U2.6), PWR_OK (U1.13), SDA (U1.14 U2.7), SCL (U1.15 "
                                  "U2.8), BTN_A (U2.11), BTN_B (U2.12), RESET_N (U2.15).\n\nEXTEST drives"))
                    << AnsweredBoxes()[0].strText;
            }
        }
        const HWND hBoard = BoardWindow();
        ASSERT_NE(nullptr, hBoard);
        EXPECT_TRUE(::IsWindowVisible(hBoard));
        EXPECT_EQ("faulty.ini: 8 nets tested, 2 faults, 8 nets not testable.",
                  WindowText(::GetDlgItem(hBoard, IDC_BOARD_SUMMARY)));
        const std::vector<std::string> lines = ListLines(::GetDlgItem(hBoard, IDC_BOARD_LIST));
        ASSERT_EQ(16u, lines.size());
        EXPECT_EQ(std::vector<std::string>({"open\tLED_R\tDRIVER U1.11 -> RECEIVER U2.5",
                                            "short\tSDA\tshorted to SCL (wired-AND)",
                                            "short\tSCL\tshorted to SDA (wired-AND)", "good\tLED_G\t"}),
                  std::vector<std::string>(lines.begin(), lines.begin() + 4));
        EXPECT_EQ("not tested\tSPARE1\tone scan pin only: U1.9", lines[8]);
        // The pins went back to their chips: the TAP was reset at the end.
        EXPECT_EQ(TapState::TestLogicReset, SimulatedBoardChips()->State());
    });
}

// A board whose chain is not the one scanned: the difference in a box, no question, no pin
// captured and no report.
TEST_F(BoardWindowTest, AChainThatIsNotTheBoardsIsSaidInABoxAndNothingIsDriven)
{
    std::string strSwapped = BOARD;
    strSwapped.replace(strSwapped.find("U1,U2"), 5, "U2,U1");
    strSwapped = Write("swapped.ini", strSwapped);
    RunOnBoard(Write("board.ini", BOARD), [&](CStepperDlg& dlg) {
        {
            CBoxAnswerer answerer(dlg);
            dlg.ChainWindow().TestBoard(strSwapped);
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_EQ(0u, AnsweredBoxes()[0].strText.find("The chain is not as the board says, so nothing was driven. The "
                                                     "board says U2 is device 1, a MORVA_IO ("))
            << AnsweredBoxes()[0].strText;
        EXPECT_EQ(0u, SimulatedBoardChips()->Captures(0));
        EXPECT_EQ(0u, SimulatedBoardChips()->Captures(1));
        EXPECT_TRUE(BoardWindow() == nullptr || !::IsWindowVisible(BoardWindow()));
    });
}

