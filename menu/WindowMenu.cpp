#include "WindowMenu.h"

#include "../platform/cstring.h"
#include "../res/resource.h"

void CWindowMenu::AppendCommands(CMenu& menu, bool bSeparated)
{
    CString strAboutMenu;
    strAboutMenu.LoadString(IDS_ABOUTBOX);
    if (!strAboutMenu.IsEmpty())
    {
        if (bSeparated)
            menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
    }
    // Each command whose text the resources hold, in the menu's order.
    const UINT commands[][2] = {{IDS_SAVETRACE, IDM_SAVETRACE},
                                {IDS_SCANCHAIN, IDM_SCANCHAIN},
                                {IDS_SAVESVF, IDM_SAVESVF},
                                {IDS_PLAYSVF, IDM_PLAYSVF},
                                {IDS_PULSESRST, IDM_PULSESRST}};
    for (const UINT* command : commands)
    {
        CString strMenu;
        strMenu.LoadString(command[0]);
        if (!strMenu.IsEmpty())
            menu.AppendMenu(MF_STRING, command[1], strMenu);
    }
}

UINT CWindowMenu::TrackContextMenu(CWnd& window, LPARAM lParam)
{
    int x = static_cast<short>(LOWORD(lParam));
    int y = static_cast<short>(HIWORD(lParam));
    if (lParam == -1)
    {
        RECT rect;
        ::GetWindowRect(window.m_hWnd, &rect);
        x = rect.left + 16;
        y = rect.top + 16;
    }
    CMenu menu;
    if (menu.CreatePopupMenu() == FALSE)
        return 0;
    AppendCommands(menu, false);
    const UINT nCommand =
        static_cast<UINT>(menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, &window));
    menu.DestroyMenu();
    return nCommand;
}
