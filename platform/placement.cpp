#include "placement.h"

#include "profile.h"

namespace {

const char SECTION[] = "windows";
const int GAP = 4;

LONG Overlap(const RECT& a, const RECT& b)
{
    const LONG nWidth = (a.right < b.right ? a.right : b.right) - (a.left > b.left ? a.left : b.left);
    const LONG nHeight = (a.bottom < b.bottom ? a.bottom : b.bottom) - (a.top > b.top ? a.top : b.top);
    return nWidth > 0 && nHeight > 0 ? nWidth * nHeight : 0;
}

RECT At(LONG x, LONG y, SIZE size)
{
    return {x, y, x + size.cx, y + size.cy};
}

// Moved the least way into work (its top left corner first, where it is larger than work).
RECT Within(RECT rect, const RECT& work)
{
    const LONG nWidth = rect.right - rect.left, nHeight = rect.bottom - rect.top;
    if (rect.right > work.right)
        rect.left = work.right - nWidth;
    if (rect.bottom > work.bottom)
        rect.top = work.bottom - nHeight;
    if (rect.left < work.left)
        rect.left = work.left;
    if (rect.top < work.top)
        rect.top = work.top;
    rect.right = rect.left + nWidth;
    rect.bottom = rect.top + nHeight;
    return rect;
}

// "X,Y", each a whole number of pixels, negative to the left of or above the primary screen.
bool ParseNumber(const std::string& text, size_t& i, LONG& nValue)
{
    const bool bNegative = i < text.size() && text[i] == '-';
    i += bNegative ? 1 : 0;
    const size_t nStart = i;
    nValue = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && i - nStart < 6; ++i)
        nValue = nValue * 10 + (text[i] - '0');
    nValue = bNegative ? -nValue : nValue;
    return i > nStart;
}

bool ParsePlace(const std::string& text, LONG& x, LONG& y)
{
    size_t i = 0;
    if (!ParseNumber(text, i, x) || i >= text.size() || text[i] != ',')
        return false;
    ++i;
    return ParseNumber(text, i, y) && i == text.size();
}

struct Windows
{
    HWND hSelf;
    std::vector<RECT> rects;
};

BOOL CALLBACK AddWindow(HWND hWnd, LPARAM lParam)
{
    Windows& windows = *reinterpret_cast<Windows*>(lParam);
    RECT rect;
    if (hWnd != windows.hSelf && ::IsWindowVisible(hWnd) && ::GetWindowRect(hWnd, &rect))
        windows.rects.push_back(rect);
    return TRUE;
}

} // namespace

POINT ChoosePlace(SIZE size, const RECT& owner, const std::vector<RECT>& others, const RECT& work)
{
    std::vector<RECT> beside;
    std::vector<RECT> around = {owner};
    around.insert(around.end(), others.begin(), others.end());
    for (const RECT& next : around)
    {
        beside.push_back(At(next.right + GAP, next.top, size));
        beside.push_back(At(next.left, next.bottom + GAP, size));
        beside.push_back(At(next.left - GAP - size.cx, next.top, size));
        beside.push_back(At(next.left, next.top - GAP - size.cy, size));
    }
    RECT best = Within(beside[0], work);
    LONG nBestCost = -1;
    for (const RECT& candidate : beside)
    {
        const RECT placed = Within(candidate, work);
        LONG nOthers = 0;
        for (const RECT& other : others)
            nOthers += Overlap(placed, other);
        const LONG nOwner = Overlap(placed, owner);
        const bool bMoved = placed.left != candidate.left || placed.top != candidate.top;
        if (nOwner == 0 && nOthers == 0 && !bMoved)
            return {placed.left, placed.top};
        // Covering the owner costs four times as much as covering another window.
        const LONG nCost = 4 * nOwner + nOthers;
        if (nBestCost < 0 || nCost < nBestCost)
        {
            best = placed;
            nBestCost = nCost;
        }
    }
    return {best.left, best.top};
}

void CKeptPlace::Place(HWND hWnd, HWND hOwner) const
{
    RECT own, work;
    ::GetWindowRect(hWnd, &own);
    if (::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) == FALSE)
        work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const SIZE size = {own.right - own.left, own.bottom - own.top};
    std::string strKept;
    LONG x = 0, y = 0;
    POINT place;
    if (!m_strSettingsPath.empty() && ReadProfileValue(m_strSettingsPath, SECTION, m_pszName, 64, strKept) &&
        ParsePlace(strKept, x, y))
    {
        const RECT kept = Within(At(x, y, size), work);
        place = {kept.left, kept.top};
    }
    else
    {
        RECT owner;
        ::GetWindowRect(hOwner, &owner);
        Windows windows = {hWnd, {}};
        ::EnumThreadWindows(::GetCurrentThreadId(), &AddWindow, reinterpret_cast<LPARAM>(&windows));
        std::vector<RECT> others;
        for (const RECT& rect : windows.rects)
            if (rect.left != owner.left || rect.top != owner.top || rect.right != owner.right || rect.bottom != owner.bottom)
                others.push_back(rect);
        place = ChoosePlace(size, owner, others, work);
    }
    ::SetWindowPos(hWnd, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CKeptPlace::Keep(HWND hWnd)
{
    RECT rect;
    if (m_strSettingsPath.empty() || hWnd == nullptr || !::IsWindowVisible(hWnd) || ::IsIconic(hWnd) ||
        !::GetWindowRect(hWnd, &rect))
        return;
    const std::string strPlace = std::to_string(rect.left) + "," + std::to_string(rect.top);
    if (strPlace == m_strKept)
        return;
    std::string strError;
    // A place not kept costs the person a move at the next start, nothing more: no box for it.
    if (WriteProfileValue(m_strSettingsPath, SECTION, m_pszName, strPlace, strError))
        m_strKept = strPlace;
}
