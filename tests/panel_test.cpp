// The state-button panel: enabled buttons, highlights, and how often buttons are redrawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "cable/cable.h"
#include "recording_port.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "panel/TapTable.h"
#include "tap_expectations.h"

namespace {

// The buttons one clock can reach from each state index, and TEST-LOGIC-RESET.
const std::map<int, std::set<UINT>> ENABLED = {
    {-1, {1000}},
    {0, {1000, 1001}},
    {1, {1000, 1001, 1002}},
    {2, {1000, 1004, 1003}},
    {3, {1000, 1005, 1036, 1006, 1037}},
    {4, {1000, 1005, 1036, 1006, 1037}},
    {5, {1000, 1007, 1009}},
    {6, {1000, 1007, 1008}},
    {7, {1000, 1005, 1036, 1009}},
    {8, {1000, 1001, 1002}},
    {12, {1000, 1010}},
    {13, {1000, 1011, 1038, 1012, 1039}},
    {14, {1000, 1011, 1038, 1012, 1039}},
    {15, {1000, 1013, 1015}},
    {16, {1000, 1013, 1014}},
    {17, {1000, 1011, 1038, 1015}},
    {18, {1000, 1001, 1002}},
};

// Primary and companion button of each state.
const std::map<int, std::pair<UINT, UINT>> HIGHLIGHT = {
    {0, {1000, 0}},    {1, {1001, 0}},     {2, {1002, 0}},     {3, {1004, 0}},
    {4, {1005, 1036}}, {5, {1006, 1037}},  {6, {1007, 0}},     {7, {1008, 0}},
    {8, {1009, 0}},    {12, {1003, 0}},    {13, {1010, 0}},    {14, {1011, 1038}},
    {15, {1012, 1039}}, {16, {1013, 0}},   {17, {1014, 0}},    {18, {1015, 0}},
};

std::set<UINT> EnabledButtons(CStepperDlg& dlg)
{
    std::set<UINT> enabled;
    for (UINT nID : STATE_BUTTONS)
    {
        if (::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID))))
            enabled.insert(nID);
    }
    return enabled;
}

std::set<UINT> HighlightedButtons(CStepperDlg& dlg)
{
    std::set<UINT> highlighted;
    for (UINT nID : STATE_BUTTONS)
    {
        const CColorButton* pButton = &Item<CColorButton>(dlg, nID);
        if (pButton->m_crFace == ::GetSysColor(COLOR_ACTIVECAPTION) &&
            pButton->m_crText == ::GetSysColor(COLOR_CAPTIONTEXT))
            highlighted.insert(nID);
        else
            EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), pButton->m_crFace) << "button " << nID;
    }
    return highlighted;
}

std::set<UINT> Expected(int nIndex)
{
    const auto& ids = HIGHLIGHT.at(nIndex);
    std::set<UINT> expected = {ids.first};
    if (ids.second != 0)
        expected.insert(ids.second);
    return expected;
}

// Records the paints of the state buttons, in order, with the face each was painted with.
class CPaintLog
{
public:
    explicit CPaintLog(CStepperDlg& dlg) : m_dlg(dlg)
    {
        s_pLog = this;
        for (UINT nID : STATE_BUTTONS)
        {
            HWND hButton = ::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID));
            m_procs[hButton] = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(hButton, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy)));
        }
    }

    ~CPaintLog()
    {
        for (const auto& entry : m_procs)
            ::SetWindowLongPtrA(entry.first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry.second));
        s_pLog = nullptr;
    }

    struct Paint
    {
        UINT nID;
        bool bHighlighted;
    };
    std::vector<Paint> paints;

private:
    static LRESULT CALLBACK Spy(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        CPaintLog* pLog = s_pLog;
        if (message == WM_PAINT)
        {
            const UINT nID = static_cast<UINT>(::GetDlgCtrlID(hWnd));
            const bool bHighlighted =
                Item<CColorButton>(pLog->m_dlg, nID).m_crFace == ::GetSysColor(COLOR_ACTIVECAPTION);
            pLog->paints.push_back({nID, bHighlighted});
        }
        return ::CallWindowProcA(pLog->m_procs[hWnd], hWnd, message, wParam, lParam);
    }

    static CPaintLog* s_pLog;
    CStepperDlg& m_dlg;
    std::map<HWND, WNDPROC> m_procs;
};

CPaintLog* CPaintLog::s_pLog = nullptr;

// Lets the window finish painting what is already pending, so that a log sees only what follows.
void Settle(CStepperDlg& dlg)
{
    ::UpdateWindow(dlg.m_hWnd);
    for (UINT nID : STATE_BUTTONS)
        ::UpdateWindow(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID)));
}

// Resets and walks to a state, then lets pending paints finish.
void GoTo(CStepperDlg& dlg, int nIndex)
{
    Click(dlg, IDC_TEST_LOGIC_RESET);
    for (UINT nID : ExpectedStateFor(nIndex)->path)
        Click(dlg, nID);
    Settle(dlg);
}

// The window open, the TAP walked to the nIndex-th state of the walk, for the body.
void AtStep(int nIndex, const std::function<void(CStepperDlg&)>& body)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        GoTo(dlg, nIndex);
        body(dlg);
    });
}

} // namespace

TEST(PanelTest, AfterStartOnlyResetIsEnabledAndNothingIsHighlighted)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        EXPECT_EQ(ENABLED.at(-1), EnabledButtons(dlg));
        EXPECT_TRUE(HighlightedButtons(dlg).empty());
        EXPECT_EQ(-1, dlg.Tap().State());
        // Nothing can be sent or clocked before a reset establishes the state; values can be
        // typed and the pins held.
        for (UINT nID : {IDC_TCK, IDC_SEND_DR, IDC_SEND_IR, IDC_DEVICE})
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID)))) << nID;
        for (UINT nID : {IDC_DR_VALUE, IDC_IR_VALUE, IDC_VALUE_EDIT, IDC_TMS, IDC_TDI, IDC_TDO})
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID)))) << nID;
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dlg.m_hWnd, IDC_VALUE_EDIT)));
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), Item<CColorButton>(dlg, IDC_SEND_DR).m_crDisabledFace);
    });
}

TEST(PanelTest, EveryStateEnablesWhatOneClockReachesAndHighlightsItsButtons)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        for (const ExpectedState& state : ExpectedStates())
        {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            for (UINT nID : state.path)
                Click(dlg, nID);
            ASSERT_EQ(state.nIndex, dlg.Tap().State());
            EXPECT_EQ(ENABLED.at(state.nIndex), EnabledButtons(dlg)) << state.pszCode;
            EXPECT_EQ(Expected(state.nIndex), HighlightedButtons(dlg)) << state.pszCode;
            EXPECT_TRUE(Item<CButton>(dlg, IDC_TCK).IsWindowEnabled()) << state.pszCode;
        }
    });
}

TEST(PanelTest, ShiftWithOneHighlightsBothThenExitRestoresBothBeforeHighlighting)
{
    AtStep(3, [&](CStepperDlg& dlg) {

        CPaintLog log(dlg);
        Click(dlg, IDC_SHIFT_DR_1);
        ASSERT_EQ(3u, log.paints.size());
        EXPECT_EQ(IDC_CAPTURE_DR, log.paints[0].nID);
        EXPECT_FALSE(log.paints[0].bHighlighted);
        EXPECT_EQ(IDC_SHIFT_DR, log.paints[1].nID);
        EXPECT_TRUE(log.paints[1].bHighlighted);
        EXPECT_EQ(IDC_SHIFT_DR_1, log.paints[2].nID);
        EXPECT_TRUE(log.paints[2].bHighlighted);

        log.paints.clear();
        Click(dlg, IDC_EXIT1_DR);
        // Restore SHIFT-DR, highlight EXIT1-DR, restore the "1" beside SHIFT-DR, highlight the
        // "1" beside EXIT1-DR. Enabling and disabling also repaint, so look only at colour changes.
        std::vector<std::pair<UINT, bool>> changes;
        for (const auto& paint : log.paints)
        {
            const bool bWasHighlighted = paint.nID == IDC_SHIFT_DR || paint.nID == IDC_SHIFT_DR_1;
            if (paint.bHighlighted != bWasHighlighted)
                changes.push_back({paint.nID, paint.bHighlighted});
        }
        const std::vector<std::pair<UINT, bool>> expected = {
            {IDC_SHIFT_DR, false}, {IDC_EXIT1_DR, true}, {IDC_SHIFT_DR_1, false}, {IDC_EXIT1_DR_1, true}};
        EXPECT_EQ(expected, changes);
        EXPECT_EQ(Expected(5), HighlightedButtons(dlg));
    });
}

TEST(PanelTest, StayingInShiftRedrawsNothing)
{
    AtStep(4, [&](CStepperDlg& dlg) {
        CPaintLog log(dlg);
        Click(dlg, IDC_SHIFT_DR);
        Click(dlg, IDC_SHIFT_DR_1);
        Click(dlg, IDC_SHIFT_DR);
        EXPECT_TRUE(log.paints.empty()) << log.paints.size() << " paints, first of " << log.paints[0].nID;
        EXPECT_EQ(Expected(4), HighlightedButtons(dlg));
    });
}

TEST(PanelTest, ExitToPauseRestoresBothExitButtons)
{
    AtStep(5, [&](CStepperDlg& dlg) {
        EXPECT_EQ(Expected(5), HighlightedButtons(dlg));
        Click(dlg, IDC_PAUSE_DR);
        EXPECT_EQ(Expected(6), HighlightedButtons(dlg));
        // Nothing of the Exit1 pair is left to restore on the way on.
        Click(dlg, IDC_EXIT2_DR);
        EXPECT_EQ(Expected(7), HighlightedButtons(dlg));
    });
}

TEST(PanelTest, ResetKeepsTheOldHighlightForFiveClocksThenMovesIt)
{
    AtStep(18, [&](CStepperDlg& dlg) {
        // Watch the highlight on every clock the reset gives, from the port's point of view.
        struct CWatchingPort : CParallelPort
        {
            CStepperDlg* pDlg;
            std::vector<bool> updateIrShown;
            void Write(unsigned short address, unsigned char value) override { SimulatedPort().Write(address, value); }
            unsigned char Read(unsigned short address) override
            {
                updateIrShown.push_back(IsHighlighted(*pDlg, IDC_UPDATE_IR));
                return SimulatedPort().Read(address);
            }
        } port;
        port.pDlg = &dlg;
        CableTarget pBefore = SetCablePort(&port);
        CPaintLog log(dlg);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        SetCablePort(pBefore);

        EXPECT_EQ((std::vector<bool>{true, true, true, true, true, false}), port.updateIrShown);
        std::vector<std::pair<UINT, bool>> changes;
        for (const auto& paint : log.paints)
        {
            if (paint.nID == IDC_UPDATE_IR && !paint.bHighlighted)
                changes.push_back({paint.nID, false});
            if (paint.nID == IDC_TEST_LOGIC_RESET && paint.bHighlighted)
                changes.push_back({paint.nID, true});
        }
        ASSERT_GE(changes.size(), 2u);
        EXPECT_EQ(std::make_pair(static_cast<UINT>(IDC_UPDATE_IR), false), changes.front());
        EXPECT_EQ(std::make_pair(static_cast<UINT>(IDC_TEST_LOGIC_RESET), true), changes.back());
    });
}

TEST(PanelTest, CommandForADisabledButtonDoesNothing)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        // Before the first reset every state button but reset is disabled.
        Click(dlg, IDC_SHIFT_DR);
        EXPECT_EQ(-1, dlg.Tap().State());
        EXPECT_EQ(0, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());

        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        const int nLines = Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount();
        // From Run-Test/Idle, one clock cannot reach any of these.
        for (UINT nID : {IDC_CAPTURE_DR, IDC_SHIFT_DR_1, IDC_EXIT1_IR, IDC_UPDATE_DR, IDC_SELECT_IR})
        {
            Click(dlg, nID);
            EXPECT_EQ(1, dlg.Tap().State()) << nID;
            EXPECT_EQ(TapState::RunTestIdle, SimulatedBoard().State()) << nID;
        }
        EXPECT_EQ(nLines, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
}

TEST(PanelTest, ClosingSwitchesTheCableOffLast)
{
    {
        CStepperDlg dlg;
        HGDIOBJ hTitleFont = nullptr;
        HGDIOBJ hRowFont = nullptr;
        RunDialog(dlg, [&] {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            Click(dlg, IDC_RUN_TEST_IDLE);
            EXPECT_EQ(0x11, SimulatedDataRegister() & ~0x02);
            hTitleFont = reinterpret_cast<HGDIOBJ>(Item(dlg, IDC_TITLE).SendMessage(WM_GETFONT));
            hRowFont = reinterpret_cast<HGDIOBJ>(Item(dlg, IDC_TRACE_TMS).SendMessage(WM_GETFONT));
        });
        // The window's own fonts go with it.
        EXPECT_EQ(0u, ::GetObjectType(hTitleFont));
        EXPECT_EQ(0u, ::GetObjectType(hRowFont));
    }
    EXPECT_EQ(0x00, SimulatedDataRegister());
}
