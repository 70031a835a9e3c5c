// A chip with a BSDL file in the window: the scan names it, its instructions go by name, and the
// pin view reads its pins and drives one under EXTEST, on the example chip simulated.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording_port.h"
#include "bsdl/BsdlLibrary.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"

namespace {

const char DEMO[] = MORVA_SOURCE_DIR "/examples/bsdl/morva_demo.bsd";

struct Search
{
    UINT nID;
    HWND hFound;
};

BOOL CALLBACK FindWindowWith(HWND hWnd, LPARAM lParam)
{
    Search& search = *reinterpret_cast<Search*>(lParam);
    if (::GetDlgItem(hWnd, search.nID) == nullptr)
        return TRUE;
    search.hFound = hWnd;
    return FALSE;
}

// This test's own window that has the control.
HWND ThreadWindowWith(UINT nID)
{
    Search search = {nID, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindWindowWith, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

void Press(HWND hWnd, UINT nID)
{
    ::SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, nID)));
}

std::string Line(HWND hList, size_t nLine)
{
    char text[256] = {};
    ::SendMessageA(hList, LB_GETTEXT, nLine, reinterpret_cast<LPARAM>(text));
    return text;
}

// The line of the pin view that starts with the port's name.
size_t PinLine(HWND hList, const std::string& strPort)
{
    const size_t nCount = static_cast<size_t>(::SendMessageA(hList, LB_GETCOUNT, 0, 0));
    for (size_t i = 0; i < nCount; ++i)
    {
        if (Line(hList, i).compare(0, strPort.size() + 1, strPort + "\t") == 0)
            return i;
    }
    return nCount;
}

class PinViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pPort = MakeBsdlSimulatedPort(DEMO);
        ASSERT_TRUE(m_pPort->IsAccessible()) << m_pPort->AccessProblem();
        m_pBefore = SetCablePort(m_pPort.get());
        CableOn();
        std::string strError;
        ASSERT_TRUE(m_library.AddFile(DEMO, strError)) << strError;
    }
    void TearDown() override
    {
        CableOff();
        SetCablePort(m_pBefore);
    }

    std::shared_ptr<CParallelPort> m_pPort;
    CableTarget m_pBefore;
    CBsdlLibrary m_library;
};

TEST_F(PinViewTest, TheChipIsNamedItsInstructionsGoByNameAndOnePinIsDrivenAlone)
{
    CStepperDlg dlg;
    dlg.SetBsdlLibrary(&m_library);
    RunDialog(dlg, [&] {
        dlg.SendMessage(WM_SYSCOMMAND, IDM_SCANCHAIN, 0);
        const HWND hChain = ThreadWindowWith(IDC_CHAIN_LIST);
        const HWND hDevices = ::GetDlgItem(hChain, IDC_CHAIN_LIST);
        EXPECT_EQ("1\t5\t0x0BEEF04B\tTristar\t0xBEEF\t0\tMORVA_DEMO SO20", Line(hDevices, 1));
        ::SendMessageA(hDevices, LB_SETCURSEL, 1, 0);
        ::SendMessageA(hChain, WM_COMMAND, MAKEWPARAM(IDC_CHAIN_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hDevices));

        // The IR list is the file's; IDCODE by name, and the DR list offers its 32 bits.
        const std::vector<std::string> instructions = ListItems(dlg, IDC_IR_VALUE);
        EXPECT_NE(instructions.end(), std::find(instructions.begin(), instructions.end(), "IDCODE  00010"));
        SendValue(dlg, IDC_IR_VALUE, "idcode");
        EXPECT_EQ("5'h01", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        EXPECT_EQ("32'h0", WindowText(::GetDlgItem(dlg.m_hWnd, IDC_DR_VALUE)));
        Click(dlg, IDC_SEND_DR);
        EXPECT_EQ("32'h0BEEF04B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));

        // The pins, read once as the view opens: the first input high on the first capture.
        Press(hChain, IDC_CHAIN_PINS);
        const HWND hPins = ThreadWindowWith(IDC_PINS_LIST);
        ASSERT_NE(nullptr, hPins);
        const HWND hList = ::GetDlgItem(hPins, IDC_PINS_LIST);
        EXPECT_EQ("BTN(0)\t7\tin\tin 4\t1\t", Line(hList, PinLine(hList, "BTN(0)")));
        EXPECT_EQ("BTN(1)\t8\tin\tin 5\t0\t", Line(hList, PinLine(hList, "BTN(1)")));
        EXPECT_EQ(0u, WindowText(::GetDlgItem(hPins, IDC_PINS_MODE)).find("SAMPLE"));
        Press(hPins, IDC_PINS_READ);
        EXPECT_EQ("BTN(1)\t8\tin\tin 5\t1\t", Line(hList, PinLine(hList, "BTN(1)"))) << "the second capture: 2";

        // LED(0) driven high after the question; every other output at its safe value: OK's 1,
        // LED(1) (which shares LED(0)'s enable) its 0, the data bus off.
        ::SendMessageA(hList, LB_SETCURSEL, PinLine(hList, "LED(0)"), 0);
        {
            CBoxAnswerer answerer(dlg);
            Press(hPins, IDC_PINS_HIGH);
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_EQ("EXTEST", AnsweredBoxes()[0].strCaption);
        CJtagDevice& chip = *SimulatedBsdlChip();
        const char driven[] = {chip.PinDriven(0, 0), chip.PinDriven(0, 1), chip.PinDriven(0, 3), chip.PinDriven(0, 9),
                               chip.PinDriven(0, 12), 0};
        EXPECT_STREQ("101ZZ", driven) << "LED(0), LED(1), OK, DATA(0), DATA(1)";
        EXPECT_EQ("LED(0)\t12\tout\tout 0 control 2\tdrives 1\thigh", Line(hList, PinLine(hList, "LED(0)")));
        EXPECT_EQ(0u, WindowText(::GetDlgItem(hPins, IDC_PINS_MODE)).find("EXTEST: the pins set drive, and the pins that share"))
            << "LED(1) drives too: the line says so";

        // Asked once: the next drive goes without a question, and stays in EXTEST.
        ::SendMessageA(hList, LB_SETCURSEL, PinLine(hList, "LED(0)"), 0);
        {
            CBoxAnswerer answerer(dlg);
            Press(hPins, IDC_PINS_LOW);
        }
        EXPECT_EQ(0u, AnsweredBoxes().size());
        EXPECT_EQ('0', chip.PinDriven(0, 0));

        // One click leaves EXTEST: the chip's own logic has the pins again.
        Press(hPins, IDC_PINS_LEAVE);
        EXPECT_EQ('Z', chip.PinDriven(0, 0));
    });
}

} // namespace
