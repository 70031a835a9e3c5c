#include "codepage.h"

#include <vector>

#include "language.h"

namespace {

const UINT CP_JAPANESE = 932;

// A box expands a tab to the next stop, every eight average characters of its font. Lines with
// a tab in a row are a table: each first column gets as many tabs as reach one stop past the
// widest and a space, so the second column starts in one place whatever the names' widths.
std::string AlignedTables(const std::string& text)
{
    if (text.find('\t') == std::string::npos)
        return text;
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    HFONT hFont = nullptr;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE)
        hFont = ::CreateFontIndirectA(&metrics.lfMessageFont);
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = hFont != nullptr ? ::SelectObject(hdc, hFont) : nullptr;
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(hdc, &tm);
    const LONG nStop = tm.tmAveCharWidth > 0 ? 8 * tm.tmAveCharWidth : 64;
    std::vector<std::string> lines;
    for (size_t nStart = 0;;)
    {
        const size_t nEnd = text.find('\n', nStart);
        lines.push_back(text.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
        if (nEnd == std::string::npos)
            break;
        nStart = nEnd + 1;
    }
    std::vector<LONG> widths(lines.size(), -1);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const size_t nTab = lines[i].find('\t');
        if (nTab == std::string::npos)
            continue;
        const std::string name = lines[i].substr(0, nTab);
        SIZE size = {};
        if (UsesWideWindows())
        {
            const CWideText wide = WideFromCodePage932(name.c_str());
            ::GetTextExtentPoint32W(hdc, wide.c_str(), static_cast<int>(wide.size()), &size);
        }
        else
            ::GetTextExtentPoint32A(hdc, name.c_str(), static_cast<int>(name.size()), &size);
        widths[i] = size.cx;
    }
    if (hFont != nullptr)
    {
        ::SelectObject(hdc, hOld);
        ::DeleteObject(hFont);
    }
    ::ReleaseDC(nullptr, hdc);
    std::string aligned;
    for (size_t i = 0; i < lines.size();)
    {
        if (widths[i] < 0)
        {
            aligned += lines[i] + (i + 1 < lines.size() ? "\n" : "");
            ++i;
            continue;
        }
        size_t nEnd = i;
        LONG nWidest = 0;
        for (; nEnd < lines.size() && widths[nEnd] >= 0; ++nEnd)
            nWidest = widths[nEnd] > nWidest ? widths[nEnd] : nWidest;
        const LONG nColumn = (nWidest + tm.tmAveCharWidth) / nStop + 1;
        for (; i < nEnd; ++i)
        {
            const size_t nTab = lines[i].find('\t');
            const LONG nTabs = nColumn - widths[i] / nStop;
            aligned += lines[i].substr(0, nTab) + std::string(static_cast<size_t>(nTabs), '\t') +
                       lines[i].substr(nTab + 1) + (i + 1 < lines.size() ? "\n" : "");
        }
    }
    return aligned;
}

} // namespace

bool UsesWideWindows()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ::GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

CWideText WideFromCodePage932(LPCSTR psz)
{
    const int nLength = ::MultiByteToWideChar(CP_JAPANESE, 0, psz, -1, nullptr, 0);
    if (nLength <= 0)
        return CWideText();
    std::vector<WCHAR> buffer(static_cast<size_t>(nLength));
    ::MultiByteToWideChar(CP_JAPANESE, 0, psz, -1, buffer.data(), nLength);
    return CWideText(buffer.data());
}

std::string CodePage932FromWide(LPCWSTR psz)
{
    const int nLength = ::WideCharToMultiByte(CP_JAPANESE, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (nLength <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(nLength));
    ::WideCharToMultiByte(CP_JAPANESE, 0, psz, -1, buffer.data(), nLength, nullptr, nullptr);
    return std::string(buffer.data());
}

int MessageBoxCp932(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const std::string text = AlignedTables(InProgramLanguage(lpText));
    lpText = text.c_str();
    if (!UsesWideWindows())
        return ::MessageBoxA(hWnd, lpText, lpCaption, uType);
    return ::MessageBoxW(hWnd, WideFromCodePage932(lpText).c_str(), WideFromCodePage932(lpCaption).c_str(),
                         uType);
}

BOOL SetWindowTextCp932(HWND hWnd, LPCSTR lpText)
{
    const std::string text = InProgramLanguage(lpText);
    lpText = text.c_str();
    if (!UsesWideWindows())
        return ::SetWindowTextA(hWnd, lpText);
    return ::SetWindowTextW(hWnd, WideFromCodePage932(lpText).c_str());
}

void AddListLineCp932(HWND hList, const std::string& text)
{
    if (UsesWideWindows())
        ::SendMessageW(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromCodePage932(text.c_str()).c_str()));
    else
        ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
