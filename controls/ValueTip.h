// A tip over a field too narrow for its text: resting the mouse on the field shows the whole
// text, broken into lines of a fixed number of characters.
#pragma once

#include <windows.h>

#include <string>

class CValueTip
{
public:
    CValueTip() {}
    CValueTip(const CValueTip&) = delete;
    CValueTip& operator=(const CValueTip&) = delete;
    ~CValueTip();

    // The tip of hField, a child of hOwner. False where the system has no tips.
    bool Create(HWND hOwner, HWND hField);
    // The whole text; an empty one shows no tip.
    void SetText(const std::string& text);
    // What the tip shows now, its lines joined by "\r\n".
    const std::string& Shown() const { return m_strShown; }

    enum { LINE_CHARS = 40 };

private:
    HWND m_hTip = nullptr;
    HWND m_hOwner = nullptr;
    HWND m_hField = nullptr;
    std::string m_strShown;
};
