#include "codepage.h"

#include <vector>

#include "language.h"

namespace {

const UINT CP_JAPANESE = 932;

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
    const std::string text = InProgramLanguage(lpText);
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
