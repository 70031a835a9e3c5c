// Long use and hostile input: random legal walks, a dead cable, and messages from anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <utility>

#include "cable/cable.h"
#include "recording_port.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "panel/TapTable.h"
#include "tap_expectations.h"

namespace {

// The test run takes each soak at a short length, with the same commands, faults and seeds; the
// benchmark sets MORVA_SOAK=full and takes them at their whole length.
bool FullLength()
{
    const char* pszLength = std::getenv("MORVA_SOAK");
    return pszLength != nullptr && strcmp(pszLength, "full") == 0;
}

int Length(int nShort, int nFull)
{
    return FullLength() ? nFull : nShort;
}

// What a soak did and how fast, one line the benchmark shows as it is.
class CSoakReport
{
public:
    explicit CSoakReport(std::string strName) : m_strName(std::move(strName)), m_start(Clock::now()) {}

    void Done(size_t nCommands) const
    {
        const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        std::printf("soak %-48s %s %9zu commands %8.1f s %8.0f a second\n", m_strName.c_str(),
                    FullLength() ? "full " : "short", nCommands, seconds, seconds > 0 ? nCommands / seconds : 0.0);
        std::fflush(stdout);
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string m_strName;
    Clock::time_point m_start;
};

// Whether the window and the board agree, and the trace keeps its shape.
::testing::AssertionResult Consistent(CStepperDlg& dlg)
{
    const ExpectedState* pState = ExpectedStateFor(dlg.Tap().State());
    if (pState == nullptr)
        return ::testing::AssertionFailure() << "state index " << dlg.Tap().State();
    if (pState->board != SimulatedBoard().State())
        return ::testing::AssertionFailure() << "window shows " << pState->pszCode << ", board is in state "
                                             << static_cast<int>(SimulatedBoard().State());
    for (UINT nRow : {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3, IDC_TRACE_TMS, IDC_TRACE_TDI, IDC_TRACE_TDO})
    {
        if (Row(dlg, nRow).GetLength() != TraceWidth(dlg))
            return ::testing::AssertionFailure() << "a row of " << Row(dlg, nRow).GetLength() << " characters";
    }
    const int nLines = Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount();
    if (nLines > 101)
        return ::testing::AssertionFailure() << nLines << " history lines";
    return ::testing::AssertionSuccess();
}

// Forwards to the board; reads the status register as a dead cable would, if asked to.
class CFaultyCable : public CParallelPort
{
public:
    enum Mode { Stuck, Random };

    CFaultyCable(Mode mode, unsigned char status) : m_mode(mode), m_status(status) {}

    void Write(unsigned short address, unsigned char value) override { SimulatedPort().Write(address, value); }

    unsigned char Read(unsigned short address) override
    {
        SimulatedPort().Read(address);
        lastRead = m_mode == Stuck ? m_status : static_cast<unsigned char>(m_random());
        return lastRead;
    }

    unsigned char lastRead = 0;

private:
    Mode m_mode;
    unsigned char m_status;
    std::mt19937 m_random{7};
};

// Forwards to the board and keeps every access that a cable must never see.
class CGuardedPort : public CParallelPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        if (address != DATA_PORT || (value & 0xE8) != 0)
            faults.push_back("write " + std::to_string(value) + " to " + std::to_string(address));
        SimulatedPort().Write(address, value);
    }

    unsigned char Read(unsigned short address) override
    {
        if (address != STATUS_PORT)
            faults.push_back("read from " + std::to_string(address));
        return SimulatedPort().Read(address);
    }

    std::vector<std::string> faults;
};

BOOL CALLBACK FindAboutBox(HWND hWnd, LPARAM lParam)
{
    // The caption ends in " MORVA" after its Japanese words: ASCII, as the 932 text shows it.
    char text[64] = {};
    ::GetWindowTextA(hWnd, text, 64);
    if (strstr(text, " MORVA") != nullptr && ::IsWindowVisible(hWnd))
        *reinterpret_cast<HWND*>(lParam) = hWnd;
    return TRUE;
}

// While a message runs a modal loop of its own (the About box, moving, the system menu), this
// ends it again from inside.
void CALLBACK EndNestedLoop(HWND, UINT, UINT_PTR, DWORD)
{
    HWND hAbout = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindAboutBox, reinterpret_cast<LPARAM>(&hAbout));
    if (hAbout != nullptr)
        ::PostMessageW(hAbout, WM_COMMAND, IDOK, 0);
    HWND hFocus = ::GetFocus();
    ::PostMessageW(hFocus, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(hFocus, WM_KEYUP, VK_ESCAPE, 0);
    ::SendMessageW(::GetActiveWindow(), WM_CANCELMODE, 0, 0);
}

} // namespace

// Random legal commands, as four walks of their own that CTest can run side by side: 10,000 in
// the test run, 100,000 at full length.
// The window is hidden: this checks the logic, and Wine would otherwise repaint every control
// through X11 on every clock (the benchmark measures that).
class RandomWalkTest : public ::testing::TestWithParam<unsigned>
{
};

TEST_P(RandomWalkTest, KeepsWindowAndBoardTogether)
{
    CCountedWaits waits;
    CStepperDlg dlg;
    std::mt19937 random(GetParam());
    const int nCommands = Length(2500, 25000);
    const CSoakReport report("random walk, seed " + std::to_string(GetParam()));
    RunDialog(dlg, [&] {
        ::ShowWindow(dlg.m_hWnd, SW_HIDE);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        for (int i = 0; i < nCommands; ++i)
        {
            const UINT nID = RandomLegalButton(dlg, random);
            Click(dlg, nID);
            ASSERT_TRUE(Consistent(dlg)) << "after command " << i << ", button " << nID;
        }
        EXPECT_EQ(101, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
    EXPECT_GE(CCountedWaits::Count(), nCommands);
    report.Done(nCommands);
}

INSTANTIATE_TEST_SUITE_P(SoakTest, RandomWalkTest, ::testing::Values(1u, 2u, 3u, 4u));

TEST(SoakTest, DeadCableKeepsTheProgramWorkingAndTheTdoRowShowsWhatWasRead)
{
    CCountedWaits waits;
    const struct
    {
        CFaultyCable::Mode mode;
        unsigned char status;
    } cables[] = {{CFaultyCable::Stuck, 0x00}, {CFaultyCable::Stuck, 0xFF}, {CFaultyCable::Random, 0}};
    const int nCommands = Length(400, 2000);
    const CSoakReport report("dead cable, stuck at 0, at 1 and random");
    for (const auto& kind : cables)
    {
        CFaultyCable cable(kind.mode, kind.status);
        CableTarget pBefore = SetCablePort(&cable);
        CStepperDlg dlg;
        std::mt19937 random(kind.status + 1);
        RunDialog(dlg, [&] {
            ::ShowWindow(dlg.m_hWnd, SW_HIDE);
            Click(dlg, IDC_TEST_LOGIC_RESET);
            for (int i = 0; i < nCommands; ++i)
            {
                Click(dlg, RandomLegalButton(dlg, random));
                ASSERT_TRUE(Consistent(dlg)) << "command " << i;
                const char tdo = (cable.lastRead & 0x10) != 0 ? '1' : '0';
                ASSERT_EQ(tdo, Row(dlg, IDC_TRACE_TDO).operator LPCSTR()[TraceWidth(dlg) - 1]) << "command " << i;
                ASSERT_EQ(tdo, HistoryLines(dlg).back()[2]) << "command " << i;
            }
        });
        SetCablePort(pBefore);
    }
    report.Done(std::size(cables) * static_cast<size_t>(nCommands));
}

TEST(SoakTest, CommandsFromAnywhereNeverBreakTheWindowOrTheCable)
{
    CCountedWaits waits;
    CGuardedPort port;
    CableTarget pBefore = SetCablePort(&port);
    CStepperDlg dlg;
    std::mt19937 random(42);
    size_t nSent = 0;
    const CSoakReport report("commands from anywhere");
    RunDialog(dlg, [&] {
        ::ShowWindow(dlg.m_hWnd, SW_HIDE);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        // Every control ID with every notification a button sends, in random order; IDCANCEL
        // ends the window as Escape does and stays out. The test run sends every one up to 1279,
        // which holds every ID the program has, and 8,000 of the others picked at random.
        std::vector<DWORD> commands;
        std::vector<DWORD> others;
        for (DWORD nID = 0; nID <= 0xFFFF; ++nID)
        {
            for (DWORD nCode = BN_CLICKED; nCode <= BN_KILLFOCUS; ++nCode)
            {
                if (nID != IDCANCEL)
                    (nID < 1280 || FullLength() ? commands : others).push_back(MAKELONG(nID, nCode));
            }
        }
        std::shuffle(others.begin(), others.end(), random);
        commands.insert(commands.end(), others.begin(), others.begin() + std::min<size_t>(others.size(), 8000));
        std::shuffle(commands.begin(), commands.end(), random);
        for (size_t i = 0; i < commands.size(); ++i)
        {
            const UINT nID = LOWORD(commands[i]);
            const LPARAM lParam = reinterpret_cast<LPARAM>(random() % 2 == 0 ? ::GetDlgItem(dlg.m_hWnd, nID) : nullptr);
            dlg.SendMessage(WM_COMMAND, commands[i], lParam);
            ASSERT_TRUE(Consistent(dlg)) << "after command " << nID << " code " << HIWORD(commands[i]);
        }
        nSent = commands.size();
        ASSERT_TRUE(::IsWindow(dlg.m_hWnd));

        // System commands other than close, any that open a loop of their own ended from inside.
        const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 20, &EndNestedLoop);
        std::vector<UINT> sysCommands = {SC_SIZE,     SC_MOVE,         SC_MINIMIZE, SC_MAXIMIZE, SC_NEXTWINDOW,
                                         SC_PREVWINDOW, SC_VSCROLL,    SC_HSCROLL,  SC_MOUSEMENU, SC_KEYMENU,
                                         SC_ARRANGE,  SC_RESTORE,      SC_HOTKEY,   SC_DEFAULT,  0x0010,
                                         0x0013};
        for (int i = 0; i < 300; ++i)
            sysCommands.push_back(random() & 0xFFFF);
        for (UINT nCommand : sysCommands)
        {
            if ((nCommand & 0xFFF0) == SC_CLOSE)
                continue;
            dlg.SendMessage(WM_SYSCOMMAND, nCommand, 0);
            ++nSent;
            ASSERT_TRUE(::IsWindow(dlg.m_hWnd)) << "system command " << nCommand << " closed the window";
            ASSERT_TRUE(Consistent(dlg)) << "after system command " << nCommand;
        }
        ::KillTimer(nullptr, nTimer);
        dlg.SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);

        // Still a working tool.
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        EXPECT_EQ(1, dlg.Tap().State());
        EXPECT_TRUE(Consistent(dlg));
    });
    SetCablePort(pBefore);
    EXPECT_EQ(std::vector<std::string>(), port.faults);
    EXPECT_EQ(0x00, SimulatedDataRegister());
    report.Done(nSent);
}
