// Every state button, from every state in which one clock can take it, on the simulated board.
#include <gtest/gtest.h>

#include <cstdio>

#include "recording_port.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "tap_expectations.h"

namespace {

int BoardTdo()
{
    return (SimulatedBoard().ReadStatus() & 0x10) != 0 ? 1 : 0;
}

std::string LastLine(CStepperDlg& dlg)
{
    const std::vector<std::string> lines = HistoryLines(dlg);
    return lines.empty() ? std::string() : lines.back();
}

std::string Line(int tms, int tdi, int tdo, const char* code)
{
    char buffer[32];
    snprintf(buffer, sizeof(buffer), "%d%d%d-%s", tms, tdi, tdo, code);
    return buffer;
}

// Resets, then walks to the state, checking the board against the window after every click.
void WalkTo(CStepperDlg& dlg, const ExpectedState& target)
{
    Click(dlg, IDC_TEST_LOGIC_RESET);
    ASSERT_EQ(0, dlg.Tap().State());
    ASSERT_EQ(TapState::TestLogicReset, SimulatedBoard().State());
    for (UINT nID : target.path)
    {
        Click(dlg, nID);
        const ExpectedState* pNow = ExpectedStateFor(dlg.Tap().State());
        ASSERT_NE(nullptr, pNow) << "index " << dlg.Tap().State();
        ASSERT_EQ(pNow->board, SimulatedBoard().State()) << "after button " << nID;
    }
    ASSERT_EQ(target.nIndex, dlg.Tap().State());
}

// The tests' cable with an SRST line whose levels are kept, which can be taken away or lost.
class CSrstCable : public test_cable::CForwardCable
{
public:
    const CableTraits& Traits() const override
    {
        m_traits = CForwardCable::Traits();
        m_traits.bSrst = bHasSrst;
        return m_traits;
    }
    bool SetResetLine(ResetLine line, bool bAsserted) override
    {
        if (line == ResetLine::Srst && !bLost)
            levels.push_back(bAsserted);
        return !bLost;
    }
    std::string Failure() const override { return bLost ? "The SRST line's driver stopped." : CForwardCable::Failure(); }

    bool bHasSrst = true;
    bool bLost = false;
    std::vector<bool> levels;  // asserted or released, in turn

private:
    mutable CableTraits m_traits;
};

} // namespace

TEST(StepCommandTest, EveryButtonFromEveryStateItCanBeReachedFrom)
{
    CStepperDlg dlg;
    int nChecked = 0;
    RunDialog(dlg, [&] {
        for (const ExpectedState& from : ExpectedStates())
        {
            for (const ExpectedCommand& command : EXPECTED_COMMANDS)
            {
                const ExpectedState* pTo = ExpectedStateFor(command.nState);
                ASSERT_NE(nullptr, pTo);
                if (NextTapState(from.board, command.nTms != 0) != pTo->board)
                    continue;  // one clock cannot take this button from here
                // Commands that keep TDI are tried after both levels.
                for (int nTdiBefore = 0; nTdiBefore < 2; ++nTdiBefore)
                {
                    if (command.nTdi != -1 && nTdiBefore == 1)
                        break;
                    WalkTo(dlg, from);
                    if (::testing::Test::HasFatalFailure())
                        return;
                    dlg.Tap().DriveLevels(dlg.Tap().Tms(), static_cast<unsigned char>(nTdiBefore));
                    Click(dlg, command.nID);
                    const int nTdi = command.nTdi == -1 ? nTdiBefore : command.nTdi;
                    const std::string where =
                        std::string("button ") + std::to_string(command.nID) + " from " + from.pszCode;
                    EXPECT_EQ(command.nState, dlg.Tap().State()) << where;
                    EXPECT_EQ(pTo->board, SimulatedBoard().State()) << where;
                    EXPECT_EQ(command.nTms, dlg.Tap().Tms()) << where;
                    EXPECT_EQ(nTdi, dlg.Tap().Tdi()) << where;
                    EXPECT_EQ(Line(command.nTms, nTdi, BoardTdo(), pTo->pszCode), LastLine(dlg)) << where;
                    ++nChecked;
                }
            }
        }
    });
    // 30 transitions lead elsewhere than Test-Logic-Reset; the 10 into Shift and Exit1 have two
    // buttons each, and the 8 made by TDI-keeping buttons are tried twice.
    EXPECT_EQ(48, nChecked);
}

TEST(StepCommandTest, ResetFromAnyStateGivesSixClocksWithTmsAndTdiHigh)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        for (const ExpectedState& from : ExpectedStates())
        {
            WalkTo(dlg, from);
            if (::testing::Test::HasFatalFailure())
                return;
            dlg.Tap().DriveLevels(dlg.Tap().Tms(), 0);
            const size_t nBefore = HistoryLines(dlg).size();
            Click(dlg, IDC_TEST_LOGIC_RESET);
            const std::vector<std::string> lines = HistoryLines(dlg);
            ASSERT_GE(lines.size(), 6u);
            if (nBefore < 95)
            {
                EXPECT_EQ(nBefore + 6, lines.size());
            }
            for (size_t i = lines.size() - 6; i < lines.size(); ++i)
            {
                const bool bLast = i == lines.size() - 1;
                EXPECT_EQ(bLast ? "111-TLR" : "111-***", lines[i]) << "reset from " << from.pszCode;
            }
            EXPECT_EQ(0, dlg.Tap().State());
            EXPECT_EQ(TapState::TestLogicReset, SimulatedBoard().State());
        }
    });
}

TEST(StepCommandTest, SendButtonsWhereNoSendMayStartDoNothing)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        WalkTo(dlg, *ExpectedStateFor(4));
        const std::vector<std::string> before = HistoryLines(dlg);
        for (UINT nID : {IDC_SEND_DR, IDC_SEND_IR})
            Click(dlg, nID);
        EXPECT_EQ(before, HistoryLines(dlg));
        EXPECT_EQ(4, dlg.Tap().State());
        EXPECT_EQ(TapState::ShiftDr, SimulatedBoard().State());
    });
}

// A quick second click reaches an owner-drawn button as a double click: as many clocks all the
// same, on every button that can take one again, the reset and the "1" companions among them.
TEST(StepCommandTest, DoubleClickNotificationIsAStepOnEveryButtonThatTakesOne)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        const struct
        {
            int nState;
            UINT nID;
        } buttons[] = {{0, IDC_TEST_LOGIC_RESET}, {1, IDC_RUN_TEST_IDLE}, {4, IDC_SHIFT_DR}, {4, IDC_SHIFT_DR_1},
                       {6, IDC_PAUSE_DR},         {14, IDC_SHIFT_IR},     {14, IDC_SHIFT_IR_1}, {16, IDC_PAUSE_IR}};
        for (const auto& button : buttons)
        {
            WalkTo(dlg, *ExpectedStateFor(button.nState));
            const uint64_t nBefore = dlg.Tap().Clocks();
            Click(dlg, button.nID);
            const uint64_t nClick = dlg.Tap().Clocks() - nBefore;
            Click(dlg, button.nID, BN_DOUBLECLICKED);
            EXPECT_EQ(2 * nClick, dlg.Tap().Clocks() - nBefore) << "button " << button.nID;
            EXPECT_EQ(button.nState, dlg.Tap().State()) << "button " << button.nID;
            const ExpectedState* pNow = ExpectedStateFor(dlg.Tap().State());
            ASSERT_NE(nullptr, pNow);
            EXPECT_EQ(pNow->board, SimulatedBoard().State()) << "button " << button.nID;
        }
    });
}

TEST(StepCommandTest, TdiKeepingSequenceRecordsAsDriven)
{
    // SHIFT-DR, EXIT1-DR, PAUSE-DR, EXIT2-DR: 0, 0, 1, and EXIT2-DR keeps the 1.
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        WalkTo(dlg, *ExpectedStateFor(3));
        for (UINT nID : {IDC_SHIFT_DR, IDC_EXIT1_DR, IDC_PAUSE_DR, IDC_EXIT2_DR})
            Click(dlg, nID);
        EXPECT_EQ("0011", std::string(Row(dlg, IDC_TRACE_TDI).Mid(Row(dlg, IDC_TRACE_TDI).GetLength() - 4, 4)));
    });
}

TEST(StepCommandTest, EnterDoesNotCloseTheWindowAndEscapeDoes)
{
    CStepperDlg dlg;
    bool bStillOpen = false;
    const INT_PTR nResult = RunDialog(dlg, [&] {
        dlg.SendMessage(WM_COMMAND, IDOK, 0);
        bStillOpen = ::IsWindow(dlg.m_hWnd) != FALSE && ::IsWindowVisible(dlg.m_hWnd) != FALSE;
    });
    EXPECT_TRUE(bStillOpen);
    EXPECT_EQ(IDCANCEL, nResult);
}

// The menu's SRST pulse: asserted then released with no clock and the TAP where it was; a cable
// without the line says so and pulses nothing; a cable lost on the way is told as a clock's loss.
TEST(StepCommandTest, TheMenusSrstPulseMakesNoClockAndSaysWhyWhereItCannot)
{
    CSrstCable cable;
    CStepperDlg dlg;
    dlg.Tap().SetCable(&cable);
    RunDialog(dlg, [&] {
        WalkTo(dlg, *ExpectedStateFor(4));
        const uint64_t nClocks = dlg.Tap().Clocks();
        dlg.SendMessage(WM_SYSCOMMAND, IDM_PULSESRST, 0);
        EXPECT_EQ((std::vector<bool>{true, false}), cable.levels);
        EXPECT_EQ(nClocks, dlg.Tap().Clocks());
        EXPECT_EQ(4, dlg.Tap().State());
        EXPECT_EQ(TapState::ShiftDr, SimulatedBoard().State());

        cable.levels.clear();
        cable.bHasSrst = false;
        {
            CBoxAnswerer answerer(dlg);
            dlg.SendMessage(WM_SYSCOMMAND, IDM_PULSESRST, 0);
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_NE(std::string::npos, AnsweredBoxes()[0].strText.find("no SRST line")) << AnsweredBoxes()[0].strText;
        EXPECT_TRUE(cable.levels.empty());
        EXPECT_EQ(4, dlg.Tap().State());

        cable.bHasSrst = true;
        cable.bLost = true;
        {
            CBoxAnswerer answerer(dlg);
            dlg.SendMessage(WM_SYSCOMMAND, IDM_PULSESRST, 0);
        }
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_NE(std::string::npos, AnsweredBoxes()[0].strText.find("The SRST line's driver stopped."));
        EXPECT_EQ(STATE_UNKNOWN, dlg.Tap().State());
        EXPECT_EQ(nClocks, dlg.Tap().Clocks());
    });
}
