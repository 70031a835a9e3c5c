#include "HistoryListBox.h"

#include <cstring>
#include <vector>

std::string CHistoryListBox::CopyText() const
{
    std::vector<int> lines(static_cast<size_t>(SendMessage(LB_GETSELCOUNT) > 0 ? SendMessage(LB_GETSELCOUNT) : 0));
    if (!lines.empty())
        SendMessage(LB_GETSELITEMS, lines.size(), reinterpret_cast<LPARAM>(lines.data()));
    else
    {
        for (int i = 0; i < GetCount(); ++i)
            lines.push_back(i);
    }
    std::string text;
    for (int nLine : lines)
    {
        const LRESULT nLength = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(nLine));
        if (nLength <= 0)
            continue;
        std::vector<char> line(static_cast<size_t>(nLength) + 1);
        SendMessage(LB_GETTEXT, static_cast<WPARAM>(nLine), reinterpret_cast<LPARAM>(line.data()));
        text += line.data();
        text += "\r\n";
    }
    return text;
}

BOOL CHistoryListBox::CopyToClipboard()
{
    const std::string text = CopyText();
    HGLOBAL hText = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (hText == nullptr)
        return FALSE;
    memcpy(::GlobalLock(hText), text.c_str(), text.size() + 1);
    ::GlobalUnlock(hText);
    if (::OpenClipboard(m_hWnd) == FALSE)
    {
        ::GlobalFree(hText);
        return FALSE;
    }
    ::EmptyClipboard();
    // The clipboard owns the text once it takes it.
    const BOOL bTaken = ::SetClipboardData(CF_TEXT, hText) != nullptr;
    ::CloseClipboard();
    if (!bTaken)
        ::GlobalFree(hText);
    return bTaken;
}

LRESULT CHistoryListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0)
    {
        CopyToClipboard();
        return 0;
    }
    return CListBox::WindowProc(message, wParam, lParam);
}
