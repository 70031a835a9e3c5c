#include "PaintHold.h"

#include <algorithm>

#include "../platform/wnd.h"

namespace {

// A push button's raised frame, as DrawFrameControl draws it.
const int FRAME_WIDTH = 2;

} // namespace

void CPaintHold::Hold()
{
    if (m_bHeld || ::IsWindowVisible(m_dialog.m_hWnd) == FALSE)
        return;
    m_hDialog = m_dialog.m_hWnd;
    m_bHeld = true;
    m_hFocusBeforeHold = ::GetFocus();
    // Holding drops what waits to be painted (the button that lost the focus to the click, say):
    // paint it first.
    ::RedrawWindow(m_hDialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::SendMessageA(m_hDialog, WM_SETREDRAW, FALSE, 0);
}

void CPaintHold::MarkChanged(CWnd& control)
{
    if (m_bHeld)
        m_changed.push_back(control.m_hWnd);
}

void CPaintHold::Release()
{
    if (!m_bHeld)
        return;
    m_bHeld = false;
    ::SendMessageA(m_hDialog, WM_SETREDRAW, TRUE, 0);
    // Each control once, in the order of its last change, as painting every change at once
    // would leave them: a restored button before the new highlight, and where two buttons
    // share an edge, the one changed last on top.
    std::vector<HWND> order;
    for (auto it = m_changed.rbegin(); it != m_changed.rend(); ++it)
    {
        if (*it != nullptr && std::find(order.begin(), order.end(), *it) == order.end())
            order.push_back(*it);
    }
    m_changed.clear();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
    {
        if (::IsChild(m_hDialog, *it))
            ::RedrawWindow(*it, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }
    // A focus that moved on while held took its rectangle along unseen. Where nothing else of
    // the two buttons changed, only their insides are drawn again: their frames stay as they are.
    for (HWND hEnd : {m_hFocusBeforeHold, ::GetFocus()})
    {
        if (::GetFocus() == m_hFocusBeforeHold || hEnd == nullptr || !::IsChild(m_hDialog, hEnd) ||
            std::find(order.begin(), order.end(), hEnd) != order.end())
            continue;
        RECT inside;
        ::GetClientRect(hEnd, &inside);
        ::InflateRect(&inside, -FRAME_WIDTH, -FRAME_WIDTH);
        ::RedrawWindow(hEnd, &inside, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}
