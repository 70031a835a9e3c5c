// The window's cable list: it shows the cable in use; dropped down, the cables there are now.
// A pick closes the cable in use and opens the new one, whose TAP state nobody knows yet.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "../engine/TapEngine.h"
#include "../platform/wnd.h"
#include "CableList.h"

// Posted to the window when the cable list has closed: a pick is acted on once the list is out
// of the way.
const UINT WM_CABLE_PICKED = WM_APP + 1;

class CCableChooser
{
public:
    // What a pick asks of the window: showing a cable that was switched. No pick is taken while
    // a command of many clocks runs.
    class ITarget
    {
    public:
        virtual ~ITarget() {}
        virtual void OnCableSwitched() = 0;
    };

    CCableChooser(CWnd& dialog, CTapEngine& tap, ITarget& target) : m_dialog(dialog), m_tap(tap), m_target(target) {}

    // The cables the list offers, given by the program; null: the list stays disabled.
    // The cables the list offers; none: the list offers none.
    void Offer(CCableList* pCables) { m_pCables = pCables; }

    // Enables the list where there are cables to offer, and shows the one in use.
    void Show();
    // The cable in use as a person names it ("sim:chain"); empty where none is offered.
    std::string InUseName() const { return m_pCables != nullptr ? m_pCables->InUse().strName : std::string(); }
    void OnDropped();
    void OnClosed();
    void OnPicked();

private:
    CCableList* m_pCables = nullptr;
    // The list holds the cable in use, or (bAll) every cable there is now.
    void Fill(bool bAll);
    void ShowNote();

    CWnd& m_dialog;
    CTapEngine& m_tap;
    ITarget& m_target;
    std::vector<CCableList::Entry> m_entries;  // as the list holds them now
};
