// Keys for the steps: which key presses which button, through the same path as a click; never a
// disabled button; text typed into a value list stays text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_runner.h"
#include "keys/StepKeys.h"
#include "recording_port.h"
#include "tap_expectations.h"

namespace {

// A key-down message as the dialog's loop offers it: to the control with the focus.
BOOL Press(CStepperDlg& dlg, WPARAM nKey, int nRepeats = 1, bool bExtended = false)
{
    MSG msg = {};
    msg.hwnd = ::GetFocus() != nullptr ? ::GetFocus() : dlg.m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = nKey;
    msg.lParam = nRepeats | (bExtended ? (1L << 24) : 0);
    return dlg.PreTranslateMessage(&msg);
}

// Shift held, as the thread's keyboard state says, for the life of the object.
class CShiftHeld
{
public:
    CShiftHeld() { Set(0x80); }
    ~CShiftHeld() { Set(0x00); }

private:
    static void Set(BYTE state)
    {
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = state;
        keys[VK_LSHIFT] = state;
        ::SetKeyboardState(keys);
    }
};

TEST(StepKeyTest, KeyCodesNotCharactersAndTheKeypadAsWell)
{
    EXPECT_EQ(StepKey::Tms, ReadStepKey('0', 1, false, true).kind);
    EXPECT_EQ(1, ReadStepKey('1', 1, false, true).nTms);
    EXPECT_EQ(1, ReadStepKey(VK_NUMPAD1, 1, false, true).nTms);
    EXPECT_TRUE(ReadStepKey('0', 1, true, false).bOne);
    // Shift with Num Lock on: the keypad's 0 and 1 come as Insert and End, Shift let go.
    EXPECT_TRUE(ReadStepKey(VK_INSERT, 1, false, true).bOne);
    EXPECT_EQ(1, ReadStepKey(VK_END, 1, false, true).nTms);
    // Num Lock off: the same keys are Insert and End and step nothing, never a TDI of 1 for a 0.
    EXPECT_EQ(StepKey::None, ReadStepKey(VK_INSERT, 1, false, false).kind);
    EXPECT_EQ(StepKey::None, ReadStepKey(VK_END, 1, false, false).kind);
    // The Insert and End keys beside the keypad are no step keys.
    EXPECT_EQ(StepKey::None, ReadStepKey(VK_INSERT, 1 | (1L << 24), false, true).kind);
    EXPECT_EQ(StepKey::Reset, ReadStepKey('R', 1, false, true).kind);
    EXPECT_EQ(StepKey::None, ReadStepKey('2', 1, false, true).kind);
}

// The IDCODE read with keys alone gives the history and the value of the same walk clicked.
TEST(StepKeyTest, TheIdcodeReadWithKeysEqualsTheSameWalkClicked)
{
    std::vector<std::string> clicked;
    {
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            CCountedWaits waits;
            ClickIdcodeWalk(dlg);
            clicked = HistoryLines(dlg);
        });
    }
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        EXPECT_TRUE(Press(dlg, 'R'));
        for (WPARAM nKey : {'0', '1', '0'})
            EXPECT_TRUE(Press(dlg, nKey));
        EXPECT_TRUE(Press(dlg, VK_NUMPAD0, 30));  // a held key: thirty repeats in one message
        EXPECT_TRUE(Press(dlg, '0'));
        EXPECT_TRUE(Press(dlg, VK_NUMPAD0));
        EXPECT_TRUE(Press(dlg, '1'));
        // The first reset clock reads TDO as the board was left by the clicked walk.
        std::vector<std::string> pressed = HistoryLines(dlg);
        ASSERT_EQ(clicked.size(), pressed.size());
        EXPECT_EQ(std::vector<std::string>(clicked.begin() + 1, clicked.end()),
                  std::vector<std::string>(pressed.begin() + 1, pressed.end()));
        EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        EXPECT_EQ(5, dlg.Tap().State());
    });
}

// Through all sixteen states and every "1" button: the keys give the clicks' history, trace rows
// and cable bytes, clock for clock.
TEST(StepKeyTest, AWalkThroughEveryStateByKeysEqualsTheSameWalkClicked)
{
    const UINT WALK[] = {IDC_RUN_TEST_IDLE, IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR,
                         IDC_SHIFT_DR_1,    IDC_EXIT1_DR,      IDC_PAUSE_DR,  IDC_PAUSE_DR,   IDC_EXIT2_DR,
                         IDC_SHIFT_DR_1,    IDC_EXIT1_DR_1,    IDC_UPDATE_DR, IDC_SELECT_DR,  IDC_SELECT_IR,
                         IDC_CAPTURE_IR,    IDC_SHIFT_IR_1,    IDC_SHIFT_IR,  IDC_EXIT1_IR_1, IDC_PAUSE_IR,
                         IDC_EXIT2_IR,      IDC_SHIFT_IR,      IDC_EXIT1_IR,  IDC_UPDATE_IR,  IDC_RUN_TEST_IDLE};
    struct Walked
    {
        std::vector<std::string> lines;
        std::vector<std::string> rows;
        std::vector<unsigned char> writes;
    };
    auto walk = [&](bool bKeys) {
        CRecordingPort port;
        CPortScope scope(&port);
        Walked walked;
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            CCountedWaits waits;
            if (bKeys)
                Press(dlg, 'R');
            else
                Click(dlg, IDC_TEST_LOGIC_RESET);
            for (UINT nID : WALK)
            {
                if (!bKeys)
                {
                    Click(dlg, nID);
                    continue;
                }
                int nTms = -1;
                for (const ExpectedCommand& command : EXPECTED_COMMANDS)
                    nTms = command.nID == nID ? command.nTms : nTms;
                ASSERT_NE(-1, nTms);
                if (IsOneButton(nID))
                {
                    CShiftHeld shift;
                    EXPECT_TRUE(Press(dlg, nTms == 1 ? '1' : '0'));
                }
                else
                {
                    EXPECT_TRUE(Press(dlg, nTms == 1 ? VK_NUMPAD1 : VK_NUMPAD0));
                }
            }
            walked.lines = HistoryLines(dlg);
            walked.rows = {std::string(Row(dlg, IDC_TRACE_NAME1)), std::string(Row(dlg, IDC_TRACE_NAME2)), std::string(Row(dlg, IDC_TRACE_NAME3)),
                           std::string(Row(dlg, IDC_TRACE_TMS)),   std::string(Row(dlg, IDC_TRACE_TDI)),   std::string(Row(dlg, IDC_TRACE_TDO))};
            walked.writes = port.DataWrites();
        });
        return walked;
    };
    const Walked clicked = walk(false);
    const Walked keyed = walk(true);
    ASSERT_EQ(6 + sizeof(WALK) / sizeof(WALK[0]), keyed.lines.size());
    EXPECT_EQ(clicked.lines, keyed.lines);
    EXPECT_EQ(clicked.rows, keyed.rows);
    EXPECT_EQ(clicked.writes, keyed.writes);
    // Every state the diagram has was entered.
    for (const char* pszCode : {"TLR", "RTI", "SDS", "CDR", "SDR", "E1D", "PDR", "E2D", "UDR", "SIS", "CIR", "SIR",
                                "E1I", "RIR", "E2I", "UIR"})
    {
        bool bSeen = false;
        for (const std::string& line : keyed.lines)
            bSeen = bSeen || line.substr(4) == pszCode;
        EXPECT_TRUE(bSeen) << pszCode;
    }
}

TEST(StepKeyTest, AKeyNeverPressesADisabledButton)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        // Before a reset only TEST-LOGIC-RESET is enabled.
        Press(dlg, '0');
        Press(dlg, '1');
        EXPECT_EQ(0, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
        Press(dlg, 'R');
        EXPECT_EQ(6, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
        {
            // No "1" button beside RUN-TEST/IDLE, and none from TEST-LOGIC-RESET with TMS 1.
            CShiftHeld shift;
            Press(dlg, '0');
            Press(dlg, '1');
        }
        Press(dlg, '1');
        EXPECT_EQ(6, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
        Press(dlg, '0');
        Press(dlg, '1');
        Press(dlg, '0');
        Press(dlg, '0');
        {
            CShiftHeld shift;
            Press(dlg, '0');  // SHIFT-DR's "1": TDI 1
            Press(dlg, '1');  // EXIT1-DR's "1"
        }
        const std::vector<std::string> lines = HistoryLines(dlg);
        EXPECT_EQ("01", lines[lines.size() - 2].substr(0, 2)) << lines[lines.size() - 2];
        EXPECT_EQ("11", lines.back().substr(0, 2)) << lines.back();
        EXPECT_EQ("E1D", lines.back().substr(4));
    });
}

TEST(StepKeyTest, TextTypedIntoAValueListStaysText)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        Press(dlg, 'R');
        HWND hEdit = ::GetWindow(Item<CComboBox>(dlg, IDC_DR_VALUE).m_hWnd, GW_CHILD);
        ASSERT_NE(nullptr, hEdit);
        ::SetFocus(hEdit);
        EXPECT_FALSE(Press(dlg, '1'));
        EXPECT_FALSE(Press(dlg, 'R'));
        EXPECT_EQ(6, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
        // Any other control: the key steps.
        ::SetFocus(Item<CHistoryListBox>(dlg, IDC_HISTORY).m_hWnd);
        EXPECT_TRUE(Press(dlg, '0'));
        EXPECT_EQ(7, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
}

} // namespace
