// A dialog's painting held for the life of a command. A click changes up to twenty buttons, six
// rows and the list; the window system would paint each change at once. Held, the dialog paints
// nothing until the hold ends, and then each changed control once.
#pragma once

#include <windows.h>

#include <vector>

class CWnd;

class CPaintHold
{
public:
    explicit CPaintHold(CWnd& dialog) : m_dialog(dialog) {}
    CPaintHold(const CPaintHold&) = delete;
    CPaintHold& operator=(const CPaintHold&) = delete;

    // Holds the dialog's painting, unless it is hidden (it paints nothing then) or held already.
    void Hold();
    // The control changed while held: it is painted when the hold ends.
    void MarkChanged(CWnd& control);
    // Paints what changed, each control once, and lets the dialog paint again.
    void Release();

    // Held for the life of a command.
    class CScope
    {
    public:
        explicit CScope(CPaintHold& hold) : m_hold(hold) { m_hold.Hold(); }
        ~CScope() { m_hold.Release(); }
        CScope(const CScope&) = delete;
        CScope& operator=(const CScope&) = delete;

    private:
        CPaintHold& m_hold;
    };

private:
    CWnd& m_dialog;
    HWND m_hDialog = nullptr;
    bool m_bHeld = false;
    HWND m_hFocusBeforeHold = nullptr;
    std::vector<HWND> m_changed;
};
