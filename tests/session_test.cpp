// The session record, the waveform file saved and written as it goes, and copying the history.
#include <gtest/gtest.h>


#include "dialog_runner.h"
#include "recording_port.h"
#include "session/Vcd.h"
#include "tap/TapStates.h"

namespace {

// Through the system's file calls, which take the program's own names on every build.
std::string ReadFile(const std::string& path)
{
    std::string text;
    HANDLE hFile = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD dwRead = 0;
    while (::ReadFile(hFile, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0)
        text.append(buffer, dwRead);
    ::CloseHandle(hFile);
    return text;
}

void WriteText(const std::string& path, const std::string& text)
{
    HANDLE hFile = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A walk through both columns: reset, IDCODE out, an instruction in.
const UINT WALK[] = {IDC_TEST_LOGIC_RESET, IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR,
                     IDC_SHIFT_DR_1,       IDC_EXIT1_DR,      IDC_UPDATE_DR, IDC_SELECT_DR,  IDC_SELECT_IR,
                     IDC_CAPTURE_IR,       IDC_SHIFT_IR_1,    IDC_EXIT1_IR,  IDC_PAUSE_IR,   IDC_EXIT2_IR,
                     IDC_UPDATE_IR,        IDC_RUN_TEST_IDLE};

} // namespace

TEST(SessionRecordTest, KeepsEveryClockUpToItsBoundThenDropsTheOldestAndCountsThem)
{
    CSessionRecord record(3);
    for (int i = 0; i < 5; ++i)
        record.Add(MakeClockRecord(1000u * static_cast<unsigned>(i), 1000u * static_cast<unsigned>(i) + 2, i & 1, 0, 1, i));
    ASSERT_EQ(3u, record.Count());
    EXPECT_EQ(2u, record.FirstClock());
    EXPECT_EQ(2, record.At(0).nState);
    EXPECT_EQ(4, record.At(2).nState);
    EXPECT_EQ(4000u, record.At(2).FallUs());
    EXPECT_EQ(2, record.At(2).nRiseUs);

    // Times past 32 bits, and a rise that came before the fall, keep their order.
    const ClockRecord late = MakeClockRecord(0x123456789ull, 0x123456000ull, 1, 1, 0, -1);
    EXPECT_EQ(0x123456789ull, late.FallUs());
    EXPECT_EQ(1, late.nRiseUs);
    EXPECT_EQ(1, late.Tms());
    EXPECT_EQ(1, late.Tdi());
    EXPECT_EQ(0, late.Tdo());
}

// A bound past one block of the record: the ring wraps across its blocks, oldest first.
TEST(SessionRecordTest, ARecordOfManyBlocksKeepsItsLastClocksInOrder)
{
    const size_t nCapacity = 150001;
    CSessionRecord record(nCapacity);
    const size_t nClocks = 2 * nCapacity + 777;
    for (size_t i = 0; i < nClocks; ++i)
        record.Add(MakeClockRecord(i, i + 1, 0, 0, 0, 0));
    ASSERT_EQ(nCapacity, record.Count());
    EXPECT_EQ(nClocks - nCapacity, record.FirstClock());
    for (size_t i = 0; i < nCapacity; i += 997)
        ASSERT_EQ(nClocks - nCapacity + i, record.At(i).FallUs()) << i;
    EXPECT_EQ(nClocks - 1, record.At(nCapacity - 1).FallUs());
}

TEST(VcdTest, NamesTheWiresAndWritesOnlyWhatChanges)
{
    CVcdWriter writer;
    const std::string header = CVcdWriter::Header("2026-12-08 10:00:00", 7);
    EXPECT_NE(std::string::npos, header.find("$timescale 1 us $end"));
    EXPECT_NE(std::string::npos, header.find("$var wire 1 ! TCK $end"));
    EXPECT_NE(std::string::npos, header.find("$var wire 1 % STATE [3] $end\n$var wire 1 & STATE [2] $end\n"));
    EXPECT_NE(std::string::npos, header.find("from clock 7"));
    EXPECT_NE(std::string::npos, header.find("#0\n$dumpvars\n0!\n"));
    EXPECT_EQ("#5000\n0!\n1\"\n1#\n1$\n#5002\n1!\nx%\nx&\nx'\nx(\n#5003\n",
              writer.Clock(MakeClockRecord(5000, 5002, 1, 1, 1, -1)));
    // Same TMS and TDI; TDO changes; the next clock at the same time still comes later.
    EXPECT_EQ("#5004\n0!\n0$\n#5005\n1!\n1%\n1&\n1'\n1(\n#5006\n",
              writer.Clock(MakeClockRecord(5000, 5000, 1, 1, 0, 0)));
    EXPECT_STREQ("PAUSE-IR", TapStateName(16));
    // The states file names every code once, in GTKWave's hex.
    const std::string states = StatesFileText();
    EXPECT_NE(std::string::npos, states.find("\nF TEST-LOGIC-RESET\n"));
    EXPECT_NE(std::string::npos, states.find("\nB PAUSE-IR\n"));
    EXPECT_NE(std::string::npos, states.find("\n0 EXIT2-DR\n"));
    EXPECT_EQ("C:\\t\\run.states.txt", StatesFilePath("C:\\t\\run.VCD"));
    EXPECT_EQ("run.trace.states.txt", StatesFilePath("run.trace"));
    // GTKWave's save file: the dump, the wires, and STATE joined and named through the states file.
    const std::string gtkw = GtkwaveFileText("C:\\t\\run.vcd");
    EXPECT_EQ(0u, gtkw.find("[dumpfile] \"C:\\t\\run.vcd\"\n[savefile] \"C:\\t\\run.gtkw\"\n"));
    EXPECT_NE(std::string::npos,
              gtkw.find("@2022\n^1 C:\\t\\run.states.txt\n#{jtag.STATE} jtag.STATE[3] jtag.STATE[2] jtag.STATE[1] "
                        "jtag.STATE[0]\n"));
}

TEST(VcdTest, TheLiveFileEqualsTheSavedOneAfterEveryClick)
{
    const std::string live = TempPath("liv"), saved = TempPath("sav");
    CStepperDlg dlg;
    CLiveVcd trace;
    std::string strError;
    ASSERT_TRUE(trace.Open(live, dlg.Tap().SessionDate(), strError)) << strError;
    dlg.Tap().SetLiveTrace(&trace);
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        for (UINT nID : WALK)
        {
            Click(dlg, nID);
            ASSERT_TRUE(SaveVcd(dlg.Tap().Session(), dlg.Tap().SessionDate(), saved, strError)) << strError;
            ASSERT_EQ(ReadFile(saved), ReadFile(live)) << "after " << nID;
        }
        EXPECT_EQ(6u + std::size(WALK) - 1, dlg.Tap().Session().Count());
    });
    const std::string text = ReadFile(saved);
    EXPECT_NE(std::string::npos, text.find("1%\n0&\n1'\n0(\n")) << "SHIFT-IR";
    EXPECT_FALSE(Exists(saved + ".part"));
    EXPECT_EQ(StatesFileText(), ReadFile(StatesFilePath(saved)));
    EXPECT_EQ(GtkwaveFileText(saved), ReadFile(GtkwaveFilePath(saved)));
    for (const std::string& path : {saved, live})
    {
        ::DeleteFileA(StatesFilePath(path).c_str());
        ::DeleteFileA(GtkwaveFilePath(path).c_str());
    }
    trace.Close();
    ::DeleteFileA(live.c_str());
    ::DeleteFileA(saved.c_str());
}

// A port that sends a clock's writes in one transfer when asked, or at the TDO read (as an FTDI
// chip does), and takes a millisecond over it.
class CHeldPort : public CParallelPort
{
public:
    explicit CHeldPort(CStepperDlg& dlg) : m_dlg(dlg) {}
    void Write(unsigned short, unsigned char) override { m_bPending = true; }
    unsigned char Read(unsigned short) override
    {
        Flush();
        return 0x00;
    }
    void Flush()
    {
        if (!m_bPending)
            return;
        m_bPending = false;
        nSentUs = m_dlg.Tap().SessionMicroseconds();
        while (m_dlg.Tap().SessionMicroseconds() < nSentUs + 1000)
        {
        }
        nDoneUs = m_dlg.Tap().SessionMicroseconds();
    }

    uint64_t nSentUs = 0;
    uint64_t nDoneUs = 0;

private:
    CStepperDlg& m_dlg;
    bool m_bPending = false;
};

TEST(SessionRecordTest, AClockHeldBackByItsPortIsStampedAroundItsTransfer)
{
    CStepperDlg dlg;
    CHeldPort port(dlg);
    CPortScope scope(&port);
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        Click(dlg, IDC_TEST_LOGIC_RESET);
        ASSERT_GT(dlg.Tap().Session().Count(), 0u);
        const ClockRecord& clock = dlg.Tap().Session().At(dlg.Tap().Session().Count() - 1);
        EXPECT_LE(clock.FallUs(), port.nSentUs);
        EXPECT_GE(clock.FallUs() + clock.nRiseUs, port.nDoneUs) << "the rise is stamped before the clock left";
    });
}

TEST(VcdTest, AFailedSaveLeavesNothingAndSaysWhy)
{
    CSessionRecord record;
    record.Add(MakeClockRecord(10, 12, 1, 1, 1, -1));
    std::string strError;
    const std::string missing = "C:\\no such folder\\s.vcd";
    EXPECT_FALSE(SaveVcd(record, "now", missing, strError));
    EXPECT_NE(std::string::npos, strError.find("no such folder")) << strError;
    EXPECT_FALSE(Exists(missing + ".part"));

    // A target that cannot be replaced (a folder): the written part is removed again.
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string target = std::string(folder) + "morva-folder.vcd";
    ::CreateDirectoryA(target.c_str(), nullptr);
    EXPECT_FALSE(SaveVcd(record, "now", target, strError));
    EXPECT_NE(std::string::npos, strError.find(target)) << strError;
    EXPECT_FALSE(Exists(target + ".part"));
    ::RemoveDirectoryA(target.c_str());

    CLiveVcd trace;
    EXPECT_FALSE(trace.Open(missing, "now", strError));
    EXPECT_NE(std::string::npos, strError.find("no such folder")) << strError;
}

// Windows 95's way of replacing a file: a failed move must not cost the old file.
TEST(VcdTest, WithoutMoveFileExTheOldFileStaysUntilTheNewIsInPlace)
{
    const std::string target = TempPath("vcd");
    WriteText(target, "old trace");
    EXPECT_FALSE(MoveOver(target + ".missing", target, false));
    EXPECT_EQ("old trace", ReadFile(target));

    const std::string written = TempPath("new");
    WriteText(written, "new trace");
    EXPECT_TRUE(MoveOver(written, target, false));
    EXPECT_EQ("new trace", ReadFile(target));
    EXPECT_FALSE(Exists(written));
    EXPECT_FALSE(Exists(written + ".old"));
    ::DeleteFileA(target.c_str());
}

TEST(HistoryCopyTest, CopiesTheChosenLinesOrEveryLineAsText)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        EXPECT_EQ("111-***\r\n111-***\r\n111-***\r\n111-***\r\n111-***\r\n111-TLR\r\n011-RTI\r\n",
                  Item<CHistoryListBox>(dlg, IDC_HISTORY).CopyText());
        Item<CHistoryListBox>(dlg, IDC_HISTORY).SendMessage(LB_SELITEMRANGE, TRUE, MAKELPARAM(5, 6));
        EXPECT_EQ("111-TLR\r\n011-RTI\r\n", Item<CHistoryListBox>(dlg, IDC_HISTORY).CopyText());

        // A real Ctrl+C in the list puts the text on the clipboard.
        ::SetFocus(Item<CHistoryListBox>(dlg, IDC_HISTORY).m_hWnd);
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        ::SetKeyboardState(keys);
        Item<CHistoryListBox>(dlg, IDC_HISTORY).SendMessage(WM_KEYDOWN, 'C', 0);
        keys[VK_CONTROL] = 0;
        ::SetKeyboardState(keys);
        ASSERT_NE(FALSE, ::OpenClipboard(nullptr));
        HANDLE hText = ::GetClipboardData(CF_TEXT);
        const std::string copied = hText != nullptr ? static_cast<const char*>(::GlobalLock(hText)) : "";
        if (hText != nullptr)
            ::GlobalUnlock(hText);
        ::CloseClipboard();
        EXPECT_EQ("111-TLR\r\n011-RTI\r\n", copied);
    });
}
