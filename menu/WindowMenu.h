// The window's own commands, About, Save trace, Scan chain, Save as SVF, Play SVF file and the
// SRST pulse: in its system menu, and in the menu a right click opens inside the window, since a
// Linux desktop's window manager draws the title bar itself and never shows the system menu.
#pragma once

#include <windows.h>

#include "../platform/wnd.h"

class CWindowMenu
{
public:
    // Appends the commands (IDM_ABOUTBOX, IDM_SAVETRACE, IDM_SCANCHAIN, IDM_SAVESVF, IDM_PLAYSVF,
    // IDM_PULSESRST), after a separator where others stand before them.
    static void AppendCommands(CMenu& menu, bool bSeparated);
    // Opens the commands as a popup menu at a point of the screen (from the keyboard, lParam -1:
    // at the window's corner) and gives the command chosen, or 0.
    static UINT TrackContextMenu(CWnd& window, LPARAM lParam);
};
