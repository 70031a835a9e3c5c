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
    CString strSaveMenu;
    strSaveMenu.LoadString(IDS_SAVETRACE);
    if (!strSaveMenu.IsEmpty())
        menu.AppendMenu(MF_STRING, IDM_SAVETRACE, strSaveMenu);
    CString strChainMenu;
    strChainMenu.LoadString(IDS_SCANCHAIN);
    if (!strChainMenu.IsEmpty())
        menu.AppendMenu(MF_STRING, IDM_SCANCHAIN, strChainMenu);
    CString strSvfMenu;
    strSvfMenu.LoadString(IDS_SAVESVF);
    if (!strSvfMenu.IsEmpty())
        menu.AppendMenu(MF_STRING, IDM_SAVESVF, strSvfMenu);
    CString strPlayMenu;
    strPlayMenu.LoadString(IDS_PLAYSVF);
    if (!strPlayMenu.IsEmpty())
        menu.AppendMenu(MF_STRING, IDM_PLAYSVF, strPlayMenu);
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
