#include "language.h"

#include <vector>

#include "catalog.h"
#include "codepage.h"

namespace {

typedef LANGID(WINAPI* GET_UI_LANGUAGE)();

LANGID FindLanguage()
{
    // Windows 2000 and later say which language the user reads menus in; earlier systems have
    // one language for everything, their locale's.
    LANGID language = 0;
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    GET_UI_LANGUAGE pfnUiLanguage = hKernel != nullptr ? reinterpret_cast<GET_UI_LANGUAGE>(reinterpret_cast<void*>(
                                                             ::GetProcAddress(hKernel, "GetUserDefaultUILanguage")))
                                                       : nullptr;
    if (pfnUiLanguage != nullptr)
        language = pfnUiLanguage();
    if (language == 0)
        language = ::GetUserDefaultLangID();
    if (PRIMARYLANGID(language) == LANG_JAPANESE)
        return MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

HRSRC FindInLanguage(LPCSTR pszType, LPCSTR pszName)
{
    HMODULE hModule = ::GetModuleHandleA(nullptr);
    HRSRC hResource = ::FindResourceExA(hModule, pszType, pszName, ProgramLanguage());
    return hResource != nullptr ? hResource : ::FindResourceA(hModule, pszName, pszType);
}

std::string CodePage932FromUtf8(const std::string& utf8)
{
    const int nLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (nLength <= 0)
        return std::string();
    std::vector<WCHAR> wide(static_cast<size_t>(nLength));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), nLength);
    return CodePage932FromWide(wide.data());
}

CMessageCatalog ReadCatalog()
{
    CMessageCatalog catalog;
    HRSRC hResource = ::FindResourceExA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(10),
                                        "MESSAGES", ProgramLanguage());
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(::GetModuleHandleA(nullptr), hResource) : nullptr;
    const char* pText = hData != nullptr ? static_cast<const char*>(::LockResource(hData)) : nullptr;
    std::string strError;
    // The catalog is checked by the tests; one that cannot be read leaves the messages English.
    if (pText != nullptr &&
        !catalog.Read(std::string(pText, ::SizeofResource(::GetModuleHandleA(nullptr), hResource)), strError,
                      CodePage932FromUtf8))
        catalog = CMessageCatalog();
    return catalog;
}

} // namespace

LANGID ProgramLanguage()
{
    static const LANGID s_language = FindLanguage();
    return s_language;
}

std::string LoadText(UINT nID)
{
    // Strings are kept sixteen to a block, each as its length and its UTF-16 characters.
    HRSRC hResource = FindInLanguage(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(nID / 16 + 1));
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(::GetModuleHandleA(nullptr), hResource) : nullptr;
    const WCHAR* pText = hData != nullptr ? static_cast<const WCHAR*>(::LockResource(hData)) : nullptr;
    if (pText == nullptr)
        return std::string();
    for (UINT i = 0; i < nID % 16; ++i)
        pText += 1 + *pText;
    const CWideText text(pText + 1, *pText);
    std::string converted = CodePage932FromWide(text.c_str());
    if (converted.empty() && !text.empty())
    {
        // A system without the Japanese code page still shows an English text in its own.
        std::vector<char> buffer(text.size() * 2 + 1, '\0');
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), buffer.data(),
                              static_cast<int>(buffer.size() - 1), nullptr, nullptr);
        converted = buffer.data();
    }
    return converted;
}

LPCDLGTEMPLATE FindDialogTemplate(UINT nID)
{
    HRSRC hResource = FindInLanguage(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(nID));
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(::GetModuleHandleA(nullptr), hResource) : nullptr;
    return hData != nullptr ? static_cast<LPCDLGTEMPLATE>(::LockResource(hData)) : nullptr;
}

std::string InProgramLanguage(const std::string& english)
{
    if (PRIMARYLANGID(ProgramLanguage()) == LANG_ENGLISH)
        return english;
    static const CMessageCatalog s_catalog = ReadCatalog();
    return s_catalog.Translate(english);
}
