// The pin controls: a level held by hand is one write with TCK low; a TCK clock is a click's
// clock with the state following TMS; TDO is read without a clock; the controls show the levels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_runner.h"
#include "recording_port.h"

namespace {

// Writes and reads, as "W 10" and "R".
std::vector<std::string> Accesses(const CRecordingPort& port, size_t nFrom)
{
    std::vector<std::string> lines;
    for (size_t i = nFrom; i < port.accesses.size(); ++i)
    {
        char line[8];
        snprintf(line, sizeof(line), port.accesses[i].bWrite ? "W %02X" : "R", port.accesses[i].value);
        lines.push_back(line);
    }
    return lines;
}

TEST(PinControlTest, ALevelHeldByHandIsOneWriteWithTckLow)
{
    CRecordingPort port;
    CPortScope scope(&port);
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        EXPECT_TRUE(::IsWindowVisible(Item<CButton>(dlg, IDC_TMS).m_hWnd));
        EXPECT_EQ(0, Item<CButton>(dlg, IDC_TMS).GetCheck());
        size_t nFrom = port.accesses.size();
        Click(dlg, IDC_TMS);
        EXPECT_EQ((std::vector<std::string>{"W 14"}), Accesses(port, nFrom)) << "enable and TMS, TCK low";
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TMS).GetCheck());
        nFrom = port.accesses.size();
        Click(dlg, IDC_TDI);
        EXPECT_EQ((std::vector<std::string>{"W 15"}), Accesses(port, nFrom));
        nFrom = port.accesses.size();
        Click(dlg, IDC_TMS);
        EXPECT_EQ((std::vector<std::string>{"W 11"}), Accesses(port, nFrom));
        EXPECT_EQ(0, Item<CButton>(dlg, IDC_TMS).GetCheck());
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TDI).GetCheck());
        EXPECT_EQ(0, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount()) << "no clock";
        EXPECT_EQ(-1, dlg.Tap().State());

        // TDO now: one read, nothing written.
        port.status = 0x6F;
        nFrom = port.accesses.size();
        Click(dlg, IDC_TDO);
        EXPECT_EQ((std::vector<std::string>{"R"}), Accesses(port, nFrom));
        EXPECT_EQ(0, Item<CButton>(dlg, IDC_TDO).GetCheck());
        port.status = 0x7F;
        Click(dlg, IDC_TDO);
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TDO).GetCheck());
        EXPECT_EQ(0, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
}

// TCK is the clock a click makes, with the levels shown; the state follows TMS as the diagram
// says (a state the TAP has left is never shown).
TEST(PinControlTest, TckIsAClicksClockAndTheStateFollowsTms)
{
    CRecordingPort clicked;
    std::vector<std::string> clickedLines;
    {
        CPortScope scope(&clicked);
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            CCountedWaits waits;
            Click(dlg, IDC_TEST_LOGIC_RESET);
            Click(dlg, IDC_RUN_TEST_IDLE);
            Click(dlg, IDC_SELECT_DR);
            clickedLines = HistoryLines(dlg);
        });
    }
    CRecordingPort pinned;
    std::vector<size_t> levelWrites;
    CPortScope scope(&pinned);
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        EXPECT_FALSE(Item<CButton>(dlg, IDC_TCK).IsWindowEnabled()) << "no clock by hand from an unknown state";
        Click(dlg, IDC_TEST_LOGIC_RESET);
        // The reset left TMS and TDI high. RUN-TEST/IDLE's levels by hand: TMS 0 (TDI stays 1);
        // then SELECT-DR's TMS 1.
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TMS).GetCheck());
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TDI).GetCheck());
        levelWrites.push_back(pinned.accesses.size());
        Click(dlg, IDC_TMS);
        Click(dlg, IDC_TCK);
        EXPECT_EQ(1, dlg.Tap().State());
        EXPECT_TRUE(Item<CColorButton>(dlg, IDC_SELECT_DR).IsWindowEnabled());
        levelWrites.push_back(pinned.accesses.size());
        Click(dlg, IDC_TMS);
        Click(dlg, IDC_TCK);
        EXPECT_EQ(2, dlg.Tap().State());
        EXPECT_EQ(clickedLines, HistoryLines(dlg));
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TMS).GetCheck());
        // From SELECT-IR, TMS high leads to TEST-LOGIC-RESET.
        Click(dlg, IDC_TCK);
        EXPECT_EQ(12, dlg.Tap().State());
        Click(dlg, IDC_TCK);
        EXPECT_EQ(0, dlg.Tap().State());
    });
    // Without the two levels held by hand, the pins' clocks are the clicks' clocks, byte for byte
    // (power-on, the reset, RUN-TEST/IDLE, SELECT-DR).
    const std::vector<std::string> all = Accesses(pinned, 0);
    ASSERT_EQ(2u, levelWrites.size());
    EXPECT_EQ("W 11", all[levelWrites[0]]);
    EXPECT_EQ("W 15", all[levelWrites[1]]);
    std::vector<std::string> clocks;
    for (size_t i = 0; i < all.size(); ++i)
    {
        if (i != levelWrites[0] && i != levelWrites[1])
            clocks.push_back(all[i]);
    }
    const std::vector<std::string> expected = Accesses(clicked, 0);
    ASSERT_GT(clocks.size(), expected.size());
    // The clicked walk ends with power-off, which the pins' walk has not reached there.
    EXPECT_EQ(std::vector<std::string>(expected.begin(), expected.end() - 1),
              std::vector<std::string>(clocks.begin(), clocks.begin() + static_cast<long>(expected.size()) - 1));
}

} // namespace
