// The chain window over the simulated chain: the scan from the window's menu, a device picked,
// its share of the bits in the value display, and what cannot be asked of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_port.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"

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
