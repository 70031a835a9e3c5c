// The history list: Ctrl+C copies its chosen lines, or every line when none is chosen, as text.
#pragma once

#include <string>

#include "../platform/wnd.h"

class CHistoryListBox : public CListBox
{
public:
    // The lines to copy, each ended by CR LF.
    std::string CopyText() const;
    BOOL CopyToClipboard();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
