// The SVF window on the simulated board: a file refused whole before any clock, commands without
// clocks passed on the way to the next clock, a command begun given up when the cable is switched,
// and a run that stops at the TDO that differs with its bits marked.
#include <gtest/gtest.h>

#include <string>

#include "recording_port.h"
#include "cable/cable.h"
#include "dialog_runner.h"
#include "ports/sim_port.h"
#include "svfview/SvfStepDlg.h"

namespace {

// The commands the window opens on the engine, begun and ended.
struct Target : ITapListener
{
    void OnCommandBegun() override { ++nHeld; }
    void OnCommandEnded() override { ++nShown; }
    int nHeld = 0, nShown = 0;
};

std::string WrittenFile(const std::string& text)
{
    const std::string strPath = TempPath("svf");
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
    return strPath;
}

std::string Text(const CSvfStepDlg& svf, UINT nID)
{
    return WindowText(::GetDlgItem(svf.m_hWnd, nID));
}

void Press(CSvfStepDlg& svf, UINT nID)
{
    svf.SendMessage(WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(svf.m_hWnd, nID)));
}

// The window's messages handled until the status line starts with the text (a run goes on its
// timer); false if it never does.
bool PumpUntilStatus(const CSvfStepDlg& svf, const std::string& strStart)
{
    const DWORD dwStart = ::GetTickCount();
    while (Text(svf, IDC_SVF_STATUS).compare(0, strStart.size(), strStart) != 0)
    {
        if (::GetTickCount() - dwStart > 60000)
            return false;
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        else
            ::WaitMessage();
    }
    return true;
}

class SvfWindowTest : public ::testing::Test
{
protected:

    CCableOn m_cable{&SimulatedPort()};
    Target m_target;
};

TEST_F(SvfWindowTest, AFileThatCannotBePlayedIsRefusedWholeBeforeAnyClock)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CSvfStepDlg svf(dlg.Tap());
        const std::string strPath = WrittenFile("STATE RESET;\nSIR 4 TDI (2);\nSDR 8 TDI (1G);\n");
        const uint64_t nBefore = dlg.Tap().Clocks();
        std::string strError;
        EXPECT_FALSE(svf.OpenBeside(dlg, strPath, strError));
        EXPECT_EQ(strPath + ":3: TDI: a hex digit was expected, not \"G\".", strError);
        EXPECT_EQ(nBefore, dlg.Tap().Clocks());
        EXPECT_EQ(nullptr, svf.m_hWnd) << "no window for a file refused";
        ::DeleteFileA(strPath.c_str());
    });
}

TEST_F(SvfWindowTest, AClockStepPassesCommandsWithoutClocksAndASwitchedCableStartsTheCommandAgain)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CSvfStepDlg svf(dlg.Tap());
        dlg.Tap().AddListener(&m_target);
        const std::string strPath =
            WrittenFile("STATE RESET;\nENDIR IRPAUSE;\nHIR 0;\nSIR 4 TDI (2) TDO (1) MASK (F);\nSTATE IDLE;\n");
        std::string strError;
        ASSERT_TRUE(svf.OpenBeside(dlg, strPath, strError)) << strError;
        EXPECT_EQ("Next, line 1:  STATE RESET", Text(svf, IDC_SVF_COMMAND));
        Press(svf, IDC_SVF_STEP);
        EXPECT_EQ(STATE_TEST_LOGIC_RESET, dlg.Tap().State());
        EXPECT_EQ("Line 1 played.", Text(svf, IDC_SVF_STATUS));

        // ENDIR and HIR make no clock: the step's one clock is the SIR's first, into Run-Test/Idle.
        const uint64_t nBefore = dlg.Tap().Clocks();
        Press(svf, IDC_SVF_CLOCK);
        EXPECT_EQ(nBefore + 1, dlg.Tap().Clocks());
        EXPECT_EQ(STATE_RUN_TEST_IDLE, dlg.Tap().State());
        EXPECT_EQ("Next, line 4:  SIR 4 TDI (2) TDO (1) MASK (F)", Text(svf, IDC_SVF_COMMAND));
        // To Shift-IR 5, four bits, Exit1 to Pause-IR as ENDIR asks: 10 clocks.
        EXPECT_EQ("Clock 1 of 10 of line 4.", Text(svf, IDC_SVF_STATUS));
        EXPECT_NE(std::string::npos, Text(svf, IDC_SVF_TDO).find("read     ????")) << Text(svf, IDC_SVF_TDO);

        // The TAP went elsewhere: the SIR is made whole from where it is now.
        svf.Stop();
        EXPECT_EQ("The cable was switched: line 4 starts again at its first clock.", Text(svf, IDC_SVF_STATUS));
        ASSERT_TRUE(dlg.Tap().Reset());
        const uint64_t nAfterReset = dlg.Tap().Clocks();
        Press(svf, IDC_SVF_STEP);
        EXPECT_EQ(nAfterReset + 10, dlg.Tap().Clocks());
        EXPECT_EQ(STATE_PAUSE_IR, dlg.Tap().State());
        EXPECT_EQ("Line 4 played, its TDO as expected.", Text(svf, IDC_SVF_STATUS));
        EXPECT_LT(0, m_target.nHeld);
        EXPECT_EQ(m_target.nHeld, m_target.nShown) << "every command begun ends";
        ::DestroyWindow(svf.m_hWnd);
        ::DeleteFileA(strPath.c_str());
    });
}

TEST_F(SvfWindowTest, ARunStopsAtTheTdoThatDiffersWithItsBitsMarked)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CSvfStepDlg svf(dlg.Tap());
        const std::string strPath = WrittenFile("STATE RESET;\nSIR 4 TDI (2) TDO (1) MASK (F);\n"
                                                "SDR 32 TDI (00000000) TDO (14D5654C) MASK (FFFFFFFF);\n"
                                                "STATE IDLE;\n");
        std::string strError;
        ASSERT_TRUE(svf.OpenBeside(dlg, strPath, strError)) << strError;
        const std::string strRun = Text(svf, IDC_SVF_RUN);
        Press(svf, IDC_SVF_RUN);
        EXPECT_EQ("Stop", Text(svf, IDC_SVF_RUN));
        ASSERT_TRUE(PumpUntilStatus(svf, "Line 3: SDR 32: TDO differs")) << Text(svf, IDC_SVF_STATUS);
        EXPECT_EQ(strRun, Text(svf, IDC_SVF_RUN)) << "the run ended";
        const std::string strTdo = Text(svf, IDC_SVF_TDO);
        EXPECT_NE(std::string::npos, strTdo.find("differ   00000007")) << strTdo;
        EXPECT_NE(std::string::npos, strTdo.find("\r\n" + std::string(11 + 29, ' ') + "^^^")) << strTdo;
        EXPECT_EQ("Next, line 4:  STATE IDLE", Text(svf, IDC_SVF_COMMAND)) << "nothing after the mismatch played";
        EXPECT_EQ(STATE_RUN_TEST_IDLE, dlg.Tap().State());
        ::DestroyWindow(svf.m_hWnd);
        ::DeleteFileA(strPath.c_str());
    });
}

} // namespace
