// Where a tool window (the chain window, the pin view, the SVF window) opens: where the person
// last left it, kept in the settings file under [windows]; the first time, beside the window it
// belongs to, where it covers neither that window nor the program's other windows, as far as the
// screen has room.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The top left corner for a window of size at the first free place beside owner: right of it,
// below it, left of it, above it, then beside each of others; all within work. Where none is
// free, the place within work that covers the least: of owner, counted four times, and of the
// others.
POINT ChoosePlace(SIZE size, const RECT& owner, const std::vector<RECT>& others, const RECT& work);

class CKeptPlace
{
public:
    // pszName: the key under [windows], as "chain".
    explicit CKeptPlace(const char* pszName) : m_pszName(pszName) {}

    void SetSettingsPath(const std::string& strPath) { m_strSettingsPath = strPath; }
    // Puts the window, just made, at its kept place (moved onto the screen where the screen has
    // shrunk since), or at the first free one beside hOwner.
    void Place(HWND hWnd, HWND hOwner) const;
    // Keeps where the window is now, where it is shown: moved by the person (a place not kept
    // costs a move at the next start, and is not said).
    void Keep(HWND hWnd);

private:
    const char* m_pszName;
    std::string m_strSettingsPath;
    std::string m_strKept;  // "X,Y" as last read or written
};
