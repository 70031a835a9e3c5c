// Start-up: one instance at a time, the port check, the system menu and the About box.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/StepperApp.h"
#include "dialog_runner.h"
#include "platform/codepage.h"
#include "platform/language.h"
#include "recording_port.h"
#include "version.h"

namespace {

std::wstring Wide(const char* utf8)
{
    wchar_t buffer[256] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 256);
    return buffer;
}

// The program's text in the language it speaks here: Japanese under a Japanese locale (the
// app.ja.* runs), English under any other.
std::wstring Text(const char* pszJapanese, const char* pszEnglish)
{
    return Wide(PRIMARYLANGID(ProgramLanguage()) == LANG_JAPANESE ? pszJapanese : pszEnglish);
}

std::wstring WideText(HWND hWnd)
{
    wchar_t buffer[256] = {};
    ::GetWindowTextW(hWnd, buffer, 256);
    return buffer;
}

// A top-level window of this thread with the caption, or null; other test programs on the same
// display have windows of their own.
struct CaptionSearch
{
    std::wstring caption;
    HWND hFound;
};

BOOL CALLBACK MatchCaption(HWND hWnd, LPARAM lParam)
{
    CaptionSearch* pSearch = reinterpret_cast<CaptionSearch*>(lParam);
    if (WideText(hWnd) != pSearch->caption)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

HWND OwnWindow(const std::wstring& caption)
{
    CaptionSearch search = {caption, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

// Runs a check from inside whatever modal loop is running when the timer fires.
std::function<void()> g_pending;

void CALLBACK RunPending(HWND, UINT, UINT_PTR nTimer, DWORD)
{
    ::KillTimer(nullptr, nTimer);
    std::function<void()> pending;
    pending.swap(g_pending);
    pending();
}

void WhenModal(std::function<void()> check)
{
    g_pending = std::move(check);
    ::SetTimer(nullptr, 0, 50, &RunPending);
}

// All static texts of a dialog, in order.
std::vector<std::wstring> ChildTexts(HWND hDlg)
{
    std::vector<std::wstring> texts;
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        texts.push_back(WideText(hChild));
    return texts;
}

class CInaccessiblePort : public CRecordingPort
{
public:
    bool IsAccessible() override
    {
        ++nChecks;
        return false;
    }
    int nChecks = 0;
};

// The start's cable is the port given, for the life of the object.
class CStartPort
{
public:
    explicit CStartPort(CParallelPort& port)
    {
        s_pPort = &port;
        theApp.m_pfnMakeCable = &Make;
    }
    ~CStartPort() { theApp.m_pfnMakeCable = &MakeCable; }
    CStartPort(const CStartPort&) = delete;
    CStartPort& operator=(const CStartPort&) = delete;

private:
    static std::shared_ptr<ICable> Make(const CableName& cable, const FtdiPinMap&)
    {
        return CableOver(*s_pPort, cable.address);
    }
    static CParallelPort* s_pPort;
};

CParallelPort* CStartPort::s_pPort = nullptr;

} // namespace

TEST(StartUpTest, WithoutPortAccessShowsTheErrorAndNoWindowAndTouchesNoPort)
{
    CInaccessiblePort port;
    CStartPort start(port);
    std::wstring caption, text;
    bool bMainWindow = true;
    WhenModal([&] {
        HWND hBox = OwnWindow(Text("エラー", "Error"));
        ASSERT_NE(nullptr, hBox);
        caption = WideText(hBox);
        for (const std::wstring& child : ChildTexts(hBox))
            if (child.find(L"GIVEIO") != std::wstring::npos)
                text = child;
        bMainWindow = OwnWindow(L"MORVA") != nullptr;
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(FALSE, theApp.InitInstance());
    EXPECT_EQ(1, port.nChecks);
    EXPECT_EQ(Text("エラー", "Error"), caption);
    // MORVASIM.EXE's own start: it has no other cable to offer.
    EXPECT_EQ(Text("ＮＴ系なのでGIVEIO.SYSが必要です。",
                   "On Windows NT, 2000, XP and later, MORVA reaches the parallel port only through the GIVEIO.SYS "
                   "driver or the InpOut library (inpout32.dll beside MORVA.EXE), and neither is there."),
              text);
    EXPECT_FALSE(bMainWindow);
    EXPECT_TRUE(port.accesses.empty()) << "the port was used before the check";
    EXPECT_EQ(nullptr, theApp.m_pMainWnd);

    // The instance guard is the code-page-932 name, byte for byte.
    const std::string name = CodePage932FromWide(Wide("MORVA JTAG簡易操作ツール").c_str());
    EXPECT_EQ(24u, name.size());
    HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(nullptr, hMutex);
    ::CloseHandle(hMutex);
}

TEST(StartUpTest, SecondInstanceBringsTheFirstToTheFrontAndEnds)
{
    const std::string name = CodePage932FromWide(Wide("MORVA JTAG簡易操作ツール").c_str());
    HANDLE hFirst = ::CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(nullptr, hFirst);
    HWND hRunning = ::CreateWindowExA(0, "STATIC", "MORVA", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                      nullptr, nullptr, nullptr);
    HWND hOther = ::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 60, 0, 50, 50, nullptr,
                                    nullptr, nullptr, nullptr);
    ::SetForegroundWindow(hOther);
    CRecordingPort port;
    CStartPort start(port);

    EXPECT_EQ(FALSE, theApp.InitInstance());
    EXPECT_EQ(hRunning, ::GetForegroundWindow());
    EXPECT_EQ(nullptr, theApp.m_pMainWnd);
    EXPECT_TRUE(port.accesses.empty());
    ::DestroyWindow(hOther);
    ::DestroyWindow(hRunning);
    ::CloseHandle(hFirst);
}

TEST(SystemMenuTest, EndsWithASeparatorTheVersionEntrySaveTraceScanChainAndSvf)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        HMENU hMenu = ::GetSystemMenu(dlg.m_hWnd, FALSE);
        const int nItems = ::GetMenuItemCount(hMenu);
        ASSERT_GE(nItems, 7);
        MENUITEMINFOW separator = {};
        separator.cbSize = sizeof(separator);
        separator.fMask = MIIM_FTYPE;
        ::GetMenuItemInfoW(hMenu, static_cast<UINT>(nItems - 7), TRUE, &separator);
        EXPECT_NE(0u, separator.fType & MFT_SEPARATOR);
        const struct
        {
            UINT nID;
            std::wstring text;
        } entries[] = {
            {0x0010u, Text("ﾊﾞｰｼﾞｮﾝ情報(MORVA) (&A)...", "&About MORVA...")},
            {0x0020u, Text("ﾄﾚｰｽを保存(&S)...", "&Save trace...")},
            {0x0030u, Text("チェーンをスキャン(&C)...", "S&can chain...")},
            {0x0040u, Text("SVFとして保存(&V)...", "Save as S&VF...")},
            {0x0050u, Text("SVFファイルを再生(&P)...", "&Play SVF file...")},
            {0x0060u, Text("システムリセット SRST にパルス(&T)", "Pulse the system reset, SRS&T")},
        };
        for (int i = 0; i < 6; ++i)
        {
            wchar_t text[64] = {};
            const int nItem = nItems - 6 + i;
            EXPECT_EQ(entries[i].nID, ::GetMenuItemID(hMenu, nItem));
            ::GetMenuStringW(hMenu, static_cast<UINT>(nItem), text, 64, MF_BYPOSITION);
            EXPECT_EQ(entries[i].text, std::wstring(text));
        }
    });
}

TEST(SystemMenuTest, VersionEntryOpensTheAboutBoxAndLeavesTheTraceAlone)
{
    CStepperDlg dlg;
    theApp.m_pMainWnd = &dlg;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        const std::string tms(Row(dlg, IDC_TRACE_TMS));
        const int nLines = Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount();
        std::vector<std::wstring> texts;
        bool bOwned = false, bIcon = false;
        WhenModal([&] {
            HWND hAbout = OwnWindow(Text("ﾊﾞｰｼﾞｮﾝ情報 MORVA", "About MORVA"));
            ASSERT_NE(nullptr, hAbout);
            texts = ChildTexts(hAbout);
            bIcon = ::SendMessageW(::GetWindow(hAbout, GW_CHILD), STM_GETICON, 0, 0) != 0;
            bOwned = ::GetWindow(hAbout, GW_OWNER) == dlg.m_hWnd;
            ::SendMessageW(hAbout, WM_COMMAND, IDOK, 0);
        });
        dlg.SendMessage(WM_SYSCOMMAND, 0x0010, 0);
        EXPECT_TRUE(bOwned);
        EXPECT_TRUE(bIcon);
        ASSERT_FALSE(texts.empty());
        texts.erase(texts.begin());  // the icon
        // The version whole, as the package and the zip name it; no button to a page that is not there.
        const std::vector<std::wstring> expected = {L"MORVA Version " + Wide(MORVA_VERSION_STRING),
                                                    L"Copyright (C) 2026 MORVA",
                                                    L"OK",
                                                    Text("JTAG簡易操作ツール", "JTAG stepping tool"),
                                                    Text("ケーブル: シミュレーションボード", "Cable: simulated board")};
        EXPECT_EQ(expected, texts);
        EXPECT_EQ(tms, std::string(Row(dlg, IDC_TRACE_TMS)));
        EXPECT_EQ(nLines, Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount());
    });
}

TEST(SystemMenuTest, OtherCommandsGetTheDefaultHandling)
{
    CStepperDlg dlg;
    bool bMinimised = false;
    const INT_PTR nResult = RunDialog(dlg, [&] {
        dlg.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        bMinimised = ::IsIconic(dlg.m_hWnd) != FALSE;
        dlg.SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(bMinimised);
    EXPECT_EQ(IDCANCEL, nResult);
}

TEST(VersionTest, BothProgramsCarryTheirVersionResource)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of("\\/"));
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);  // the programs lie one folder up

    for (const char* program : {"MORVA.EXE", "MORVASIM.EXE"})
    {
        const std::string file = folder + program;
        DWORD handle = 0;
        const DWORD nSize = ::GetFileVersionInfoSizeA(file.c_str(), &handle);
        ASSERT_GT(nSize, 0u) << file;
        std::vector<char> data(nSize);
        ASSERT_TRUE(::GetFileVersionInfoA(file.c_str(), 0, nSize, data.data()));

        WORD* pTranslation = nullptr;
        UINT nLength = 0;
        ASSERT_TRUE(::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                                     reinterpret_cast<void**>(&pTranslation), &nLength));
        EXPECT_EQ(0x0411, pTranslation[0]);
        EXPECT_EQ(0x04B0, pTranslation[1]);

        auto value = [&](const char* name) {
            const std::wstring key = L"\\StringFileInfo\\041104b0\\" + Wide(name);
            wchar_t* pValue = nullptr;
            UINT nChars = 0;
            if (!::VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&pValue), &nChars))
                return std::wstring(L"(missing)");
            return std::wstring(pValue);
        };
        EXPECT_EQ(L"MORVA", value("FileDescription"));
        EXPECT_EQ(L"MORVA", value("InternalName"));
        EXPECT_EQ(L"MORVA", value("ProductName"));
        EXPECT_EQ(Wide(program), value("OriginalFilename"));
        EXPECT_EQ(Wide("JTAG簡易操作ツール"), value("Comments"));
        EXPECT_EQ(0u, value("FileVersion").find(L"0.0.")) << "the About box says Version 0.0";
    }
}
