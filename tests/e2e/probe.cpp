// Reports what a person would see in the running MORVA window, one fact a line, for the
// end-to-end tests that click it with a real mouse:
//   window <visible> <left> <top> <right> <bottom>      (or "window none")
//   control <id> <enabled> <visible> <left> <top> <right> <bottom>
//   row <id> <text>
//   history <count> <top index> <last line>
//   colour <name> <rrggbb>
#include <windows.h>

#include <cstdio>

namespace {

const int CONTROLS[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                        1011, 1012, 1013, 1014, 1015, 1036, 1037, 1038, 1039, 1018, 1020,
                        1021, 1022, 1023, 1024, 1025, 1026, 1027, 1040, 1042, 1043};
const int ROWS[] = {1028, 1032, 1033, 1029, 1030, 1031};

void PrintColour(const char* name, int index)
{
    const COLORREF c = ::GetSysColor(index);
    printf("colour %s %02x%02x%02x\n", name, GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

int main()
{
    HWND hDlg = ::FindWindowA(nullptr, "MORVA");
    if (hDlg == nullptr)
    {
        printf("window none\n");
        return 0;
    }
    RECT rect;
    ::GetWindowRect(hDlg, &rect);
    printf("window %d %ld %ld %ld %ld\n", ::IsWindowVisible(hDlg) ? 1 : 0, rect.left, rect.top, rect.right,
           rect.bottom);
    for (int nID : CONTROLS)
    {
        HWND hControl = ::GetDlgItem(hDlg, nID);
        ::GetWindowRect(hControl, &rect);
        printf("control %d %d %d %ld %ld %ld %ld\n", nID, ::IsWindowEnabled(hControl) ? 1 : 0,
               ::IsWindowVisible(hControl) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom);
    }
    for (int nID : ROWS)
    {
        char text[512] = {};
        ::GetWindowTextA(::GetDlgItem(hDlg, nID), text, sizeof(text));
        printf("row %d %s\n", nID, text);
    }
    // Another process reads list lines only with the wide-character message.
    HWND hList = ::GetDlgItem(hDlg, 1027);
    const LRESULT nCount = ::SendMessageW(hList, LB_GETCOUNT, 0, 0);
    const LRESULT nTop = ::SendMessageW(hList, LB_GETTOPINDEX, 0, 0);
    wchar_t line[64] = {};
    if (nCount > 0)
        ::SendMessageW(hList, LB_GETTEXT, static_cast<WPARAM>(nCount - 1), reinterpret_cast<LPARAM>(line));
    char narrow[64] = {};
    ::WideCharToMultiByte(CP_ACP, 0, line, -1, narrow, sizeof(narrow), nullptr, nullptr);
    printf("history %ld %ld %s\n", static_cast<long>(nCount), static_cast<long>(nTop), narrow);
    PrintColour("activecaption", COLOR_ACTIVECAPTION);
    PrintColour("btnface", COLOR_BTNFACE);
    PrintColour("btnshadow", COLOR_BTNSHADOW);
    return 0;
}
