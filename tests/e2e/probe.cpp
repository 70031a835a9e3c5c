// Reports what a person would see in the running MORVA window, one fact a line, for the
// end-to-end tests that click it with a real mouse:
//   window <visible> <left> <top> <right> <bottom>      (or "window none")
//   control <id> <enabled> <visible> <left> <top> <right> <bottom>
//   row <id> <text>
//   history <count> <top index> <last line>
//   line <text>                                          (with "lines": every history line)
//   colour <name> <rrggbb>
//   windows <top-level windows captioned MORVA> <one of them is in front>
//   focus <control id, 0 for none> <enabled>
//   text <id> <text>                                     (value display, value lists, SEND buttons)
//   item <id> <text>                                     (each line of the value lists, in order)
//   box <error|about|save|send-dr|send-ir> <count> <left> <top> <right> <bottom> <texts, UTF-8, joined by |>
//   boxbutton <box> <id> <left> <top> <right> <bottom>    (each button of a box above)
//   title <text>                                         (the main window's caption)
//   menu <open> <left> <top> <right> <bottom>             (a popup menu open on the screen)
//   chain <visible> <left> <top> <right> <bottom> <picked line> <line height> (the chain window, or "chain none")
//   chaincontrol <id> <left> <top> <right> <bottom>      (Scan, the IR lengths field, the list, BSDL file, Pins)
//   chaintext <id> <text>                                (the IR lengths field, the scan's message)
//   chainitem <text>                                     (each line of the device list, tabs as |)
//   pins, pinscontrol, pinstext, pinsitem               (the same of the pin view: its buttons, its mode line)
//   svf, svfcontrol, svftext                             (the same of the SVF window: its command, TDO and status)
//   board, boardcontrol, boardtext, boarditem            (the same of the board test's report: its summary, its nets)
// With "save-trace" it first chooses "Save trace..." from the system menu, with "save-svf" "Save as
// SVF...", with "play-svf" "Play SVF file...". With "repaint-list" it first has the history list painted afresh. With "about" it first asks the main window for its About box (as the system menu does); with
// "close-error", "close-about" or "close-send" it first presses OK in that box (both SEND boxes).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const int CONTROLS[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                        1011, 1012, 1013, 1014, 1015, 1036, 1037, 1038, 1039, 1018, 1020,
                        1021, 1022, 1023, 1024, 1025, 1026, 1027, 1040, 1042, 1043};
const int ROWS[] = {1028, 1032, 1033, 1029, 1030, 1031};

typedef std::basic_string<WCHAR> Wide;

Wide FromUtf8(const char* text)
{
    WCHAR buffer[256] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, 256);
    return buffer;
}

// The boxes' captions in Japanese and in English: either is the box.
const Wide ERROR_CAPTION = FromUtf8("エラー") + Wide(1, '\n') + FromUtf8("Error");
const Wide ABOUT_CAPTION = FromUtf8("ﾊﾞｰｼﾞｮﾝ情報 MORVA") + Wide(1, '\n') + FromUtf8("About MORVA");

// One line of UTF-8: a message's line breaks become spaces.
std::string Utf8(const WCHAR* text)
{
    char buffer[4096] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    for (char& c : buffer)
        c = c == '\r' || c == '\n' ? ' ' : c;
    return buffer;
}

struct Search
{
    Wide captions;  // one or more, a line each
    std::vector<HWND> found;
};

// The main window is captioned "MORVA", or "MORVA - ..." where it says why its cable is not the
// one asked for.
const Wide MAIN_CAPTION = FromUtf8("MORVA");
const Wide MAIN_PREFIX = FromUtf8("MORVA - ");

bool IsOneOf(const Wide& captions, const WCHAR* text)
{
    if (captions == MAIN_CAPTION && Wide(text).compare(0, MAIN_PREFIX.size(), MAIN_PREFIX) == 0)
        return true;
    size_t start = 0;
    while (start <= captions.size())
    {
        const size_t end = std::min(captions.find('\n', start), captions.size());
        if (captions.compare(start, end - start, text) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
{
    Search* pSearch = reinterpret_cast<Search*>(lParam);
    WCHAR text[128] = {};
    ::GetWindowTextW(hWnd, text, 128);
    if (IsOneOf(pSearch->captions, text) && ::IsWindowVisible(hWnd))
        pSearch->found.push_back(hWnd);
    return TRUE;
}

BOOL CALLBACK FindRetitled(HWND hWnd, LPARAM lParam)
{
    WCHAR text[128] = {};
    ::GetWindowTextW(hWnd, text, 128);
    if (Wide(text).compare(0, MAIN_PREFIX.size(), MAIN_PREFIX) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

std::vector<HWND> TopLevel(const Wide& caption)
{
    Search search = {caption, {}};
    ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PrintBox(const char* name, const Wide& caption)
{
    const std::vector<HWND> boxes = TopLevel(caption);
    RECT rect = {};
    std::string texts;
    if (!boxes.empty())
    {
        ::GetWindowRect(boxes[0], &rect);
        for (HWND hChild = ::GetWindow(boxes[0], GW_CHILD); hChild != nullptr;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        {
            WCHAR text[2048] = {};
            ::GetWindowTextW(hChild, text, 2048);
            texts += Utf8(text) + "|";
            WCHAR className[16] = {};
            ::GetClassNameW(hChild, className, 16);
            RECT button = {};
            if (Wide(className) == FromUtf8("Button") && ::GetWindowRect(hChild, &button) != FALSE)
                printf("boxbutton %s %d %ld %ld %ld %ld\n", name, ::GetDlgCtrlID(hChild), static_cast<long>(button.left),
                       static_cast<long>(button.top), static_cast<long>(button.right),
                       static_cast<long>(button.bottom));
        }
    }
    printf("box %s %u %ld %ld %ld %ld %s\n", name, static_cast<unsigned>(boxes.size()), static_cast<long>(rect.left),
           static_cast<long>(rect.top), static_cast<long>(rect.right), static_cast<long>(rect.bottom), texts.c_str());
}

// A window of MORVA's own beside the main one: its place, the picked line of its list and the
// list's line height, some controls' places and texts, and the list's lines (tabs as |).
void PrintPanel(const char* name, HWND hPanel, int nList, std::initializer_list<int> controls,
                std::initializer_list<int> texts)
{
    if (hPanel == nullptr)
    {
        printf("%s none\n", name);
        return;
    }
    HWND hList = ::GetDlgItem(hPanel, nList);
    RECT rect;
    ::GetWindowRect(hPanel, &rect);
    printf("%s %d %ld %ld %ld %ld %ld %ld\n", name, ::IsWindowVisible(hPanel) ? 1 : 0, static_cast<long>(rect.left),
           static_cast<long>(rect.top), static_cast<long>(rect.right), static_cast<long>(rect.bottom),
           static_cast<long>(::SendMessageW(hList, LB_GETCURSEL, 0, 0)),
           static_cast<long>(::SendMessageW(hList, LB_GETITEMHEIGHT, 0, 0)));
    for (int nID : controls)
    {
        ::GetWindowRect(::GetDlgItem(hPanel, nID), &rect);
        printf("%scontrol %d %ld %ld %ld %ld\n", name, nID, static_cast<long>(rect.left), static_cast<long>(rect.top),
               static_cast<long>(rect.right), static_cast<long>(rect.bottom));
    }
    for (int nID : texts)
    {
        WCHAR text[2048] = {};
        ::SendMessageW(::GetDlgItem(hPanel, nID), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        printf("%stext %d %s\n", name, nID, Utf8(text).c_str());
    }
    const LRESULT nItems = ::SendMessageW(hList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < nItems; ++i)
    {
        WCHAR text[512] = {};
        if (::SendMessageW(hList, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 512)
            ::SendMessageW(hList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        std::string line = Utf8(text);
        std::replace(line.begin(), line.end(), '\t', '|');
        printf("%sitem %s\n", name, line.c_str());
    }
}

BOOL CALLBACK FindPinView(HWND hWnd, LPARAM lParam)
{
    // The pin view's title names its chip: it is known by its list.
    if (::GetDlgItem(hWnd, 1061) == nullptr || ::IsWindowVisible(hWnd) == FALSE)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

BOOL CALLBACK FindSvfWindow(HWND hWnd, LPARAM lParam)
{
    // The SVF window's title names its file: it is known by its Step command button.
    if (::GetDlgItem(hWnd, 1073) == nullptr || ::IsWindowVisible(hWnd) == FALSE)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

void PrintChain()
{
    const std::vector<HWND> found = TopLevel(FromUtf8("チェーン") + Wide(1, '\n') + FromUtf8("Chain"));
    PrintPanel("chain", found.empty() ? nullptr : found[0], 1052, {1050, 1051, 1052, 1054, 1055, 1056}, {1051, 1053});
    const std::vector<HWND> board = TopLevel(FromUtf8("ボードテスト") + Wide(1, '\n') + FromUtf8("Board test"));
    PrintPanel("board", board.empty() ? nullptr : board[0], 1081, {1080, 1081}, {1080});
    HWND hPins = nullptr;
    ::EnumWindows(&FindPinView, reinterpret_cast<LPARAM>(&hPins));
    PrintPanel("pins", hPins, 1061, {1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068}, {1060});
    HWND hSvf = nullptr;
    ::EnumWindows(&FindSvfWindow, reinterpret_cast<LPARAM>(&hSvf));
    PrintPanel("svf", hSvf, 1071, {1070, 1071, 1072, 1073, 1074, 1075}, {1070, 1071, 1072});
}

void PressOk(const Wide& caption)
{
    for (HWND hBox : TopLevel(caption))
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
}

void PrintColour(const char* name, int index)
{
    const COLORREF c = ::GetSysColor(index);
    printf("colour %s %02x%02x%02x\n", name, GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

int Probe(const std::string& action)
{
    if (action == "close-error")
        PressOk(ERROR_CAPTION);
    if (action == "close-about")
        PressOk(ABOUT_CAPTION);
    if (action == "close-send")
    {
        PressOk(FromUtf8("SEND-DR"));
        PressOk(FromUtf8("SEND-IR"));
    }

    const std::vector<HWND> mains = TopLevel(MAIN_CAPTION);
    HWND hFront = ::GetForegroundWindow();
    bool bFront = false;
    for (HWND hWnd : mains)
        bFront = bFront || hWnd == hFront;
    printf("windows %u %d\n", static_cast<unsigned>(mains.size()), bFront ? 1 : 0);
    PrintBox("error", ERROR_CAPTION);
    PrintBox("about", ABOUT_CAPTION);
    PrintBox("save", FromUtf8("Save As") + Wide(1, '\n') + FromUtf8("名前を付けて保存"));
    PrintBox("open", FromUtf8("Open") + Wide(1, '\n') + FromUtf8("開く"));
    // A popup menu is a window of the system's menu class while it is open.
    HWND hMenu = ::FindWindowA("#32768", nullptr);
    RECT menuRect = {};
    const bool bMenu = hMenu != nullptr && ::IsWindowVisible(hMenu);
    if (bMenu)
        ::GetWindowRect(hMenu, &menuRect);
    printf("menu %d %ld %ld %ld %ld\n", bMenu ? 1 : 0, static_cast<long>(menuRect.left),
           static_cast<long>(menuRect.top), static_cast<long>(menuRect.right), static_cast<long>(menuRect.bottom));
    PrintBox("send-dr", FromUtf8("SEND-DR"));
    PrintBox("send-ir", FromUtf8("SEND-IR"));
    PrintBox("extest", FromUtf8("EXTEST"));
    PrintChain();

    // Found shown or not: a window that holds its painting reads as hidden for that moment.
    HWND hDlg = ::FindWindowA(nullptr, "MORVA");
    if (hDlg == nullptr)
        ::EnumWindows(&FindRetitled, reinterpret_cast<LPARAM>(&hDlg));
    if (hDlg == nullptr)
    {
        printf("window none\n");
        return 0;
    }
    if (action == "about")
        ::PostMessageW(hDlg, WM_SYSCOMMAND, 0x0010, 0);
    if (action == "save-trace")
        ::PostMessageW(hDlg, WM_SYSCOMMAND, 0x0020, 0);
    if (action == "save-svf")
        ::PostMessageW(hDlg, WM_SYSCOMMAND, 0x0040, 0);
    if (action == "play-svf")
        ::PostMessageW(hDlg, WM_SYSCOMMAND, 0x0050, 0);
    if (action == "repaint-list")
        ::RedrawWindow(::GetDlgItem(hDlg, 1027), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);

    // Asked first by message, the count answers only between two of the window's commands: the
    // state read after it is the one a command left, unless another command ran meanwhile, which
    // the count asked again at the end shows.
    const LRESULT nCountBefore = ::SendMessageW(::GetDlgItem(hDlg, 1027), LB_GETCOUNT, 0, 0);
    WCHAR title[256] = {};
    ::GetWindowTextW(hDlg, title, 256);
    printf("title %s\n", Utf8(title).c_str());
    RECT rect;
    ::GetWindowRect(hDlg, &rect);
    printf("window %d %ld %ld %ld %ld\n", ::IsWindowVisible(hDlg) ? 1 : 0, static_cast<long>(rect.left),
           static_cast<long>(rect.top), static_cast<long>(rect.right), static_cast<long>(rect.bottom));
    for (int nID : CONTROLS)
    {
        HWND hControl = ::GetDlgItem(hDlg, nID);
        ::GetWindowRect(hControl, &rect);
        printf("control %d %d %d %ld %ld %ld %ld\n", nID, ::IsWindowEnabled(hControl) ? 1 : 0,
               ::IsWindowVisible(hControl) ? 1 : 0, static_cast<long>(rect.left), static_cast<long>(rect.top),
               static_cast<long>(rect.right), static_cast<long>(rect.bottom));
    }
    for (int nID : ROWS)
    {
        char text[512] = {};
        ::GetWindowTextA(::GetDlgItem(hDlg, nID), text, sizeof(text));
        printf("row %d %s\n", nID, text);
    }
    for (int nID : {1043, 1023, 1024, 1025, 1026, 1042})
    {
        // Asked by message: for another process's edit fields GetWindowText answers from the
        // window's caption, which they do not keep their text in.
        WCHAR text[2048] = {};
        ::SendMessageW(::GetDlgItem(hDlg, nID), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        printf("text %d %s\n", nID, Utf8(text).c_str());
    }
    for (int nID : {1023, 1024, 1042})
    {
        HWND hCombo = ::GetDlgItem(hDlg, nID);
        const LRESULT nItems = ::SendMessageW(hCombo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < nItems; ++i)
        {
            WCHAR text[2048] = {};
            if (::SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 2048)
                ::SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            printf("item %d %s\n", nID, Utf8(text).c_str());
        }
    }
    // Another process reads list lines only with the wide-character message.
    HWND hList = ::GetDlgItem(hDlg, 1027);
    const LRESULT nCount = ::SendMessageW(hList, LB_GETCOUNT, 0, 0);
    const LRESULT nTop = ::SendMessageW(hList, LB_GETTOPINDEX, 0, 0);
    WCHAR line[64] = {};
    if (nCount > 0)
        ::SendMessageW(hList, LB_GETTEXT, static_cast<WPARAM>(nCount - 1), reinterpret_cast<LPARAM>(line));
    char narrow[64] = {};
    ::WideCharToMultiByte(CP_ACP, 0, line, -1, narrow, sizeof(narrow), nullptr, nullptr);
    printf("history %ld %ld %s\n", static_cast<long>(nCount), static_cast<long>(nTop), narrow);
    printf("settled %d\n", nCount == nCountBefore ? 1 : 0);
    for (LRESULT i = 0; action == "lines" && i < nCount; ++i)
    {
        WCHAR text[64] = {};
        char lineText[64] = {};
        ::SendMessageW(hList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        ::WideCharToMultiByte(CP_ACP, 0, text, -1, lineText, sizeof(lineText), nullptr, nullptr);
        printf("line %s\n", lineText);
    }
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof(thread);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &thread);
    printf("focus %d %d\n", thread.hwndFocus != nullptr ? ::GetDlgCtrlID(thread.hwndFocus) : 0,
           thread.hwndFocus != nullptr && ::IsWindowEnabled(thread.hwndFocus) ? 1 : 0);
    PrintColour("activecaption", COLOR_ACTIVECAPTION);
    PrintColour("btnface", COLOR_BTNFACE);
    PrintColour("btnshadow", COLOR_BTNSHADOW);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--serve")
    {
        // An action a line on standard input, each answer ended by a line "end": a test asks
        // hundreds of times, and a program's start under Wine costs more than what it asks.
        char line[256];
        while (fgets(line, sizeof(line), stdin) != nullptr)
        {
            std::string action(line);
            while (!action.empty() && (action.back() == '\n' || action.back() == '\r'))
                action.pop_back();
            Probe(action);
            printf("end\n");
            fflush(stdout);
        }
        return 0;
    }
    return Probe(argc > 1 ? argv[1] : "");
}
