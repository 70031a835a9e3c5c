#include "profile.h"

#include <windows.h>

#include <vector>

namespace {

// Makes the folders of a path that do not exist yet (the settings file's may not, where it is
// kept apart from the program); those that exist are left as they are.
void MakeFolders(const std::string& strPath)
{
    for (size_t nSlash = strPath.find_first_of("\\/", 3); nSlash != std::string::npos;
         nSlash = strPath.find_first_of("\\/", nSlash + 1))
        ::CreateDirectoryA(strPath.substr(0, nSlash).c_str(), nullptr);
}

std::string WriteFailure(const std::string& strPath)
{
    const DWORD dwError = ::GetLastError();
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0, text,
                     sizeof(text), nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    if (reason.empty())
        reason = "error " + std::to_string(dwError);
    return "The settings file " + strPath + " could not be written (" + reason + ").";
}

} // namespace

std::string WithoutComment(const std::string& value)
{
    size_t end = value.size();
    // The profile call has taken the whitespace before a value: "key= ; comment" arrives as
    // "; comment".
    for (size_t i = 0; i < value.size(); ++i)
    {
        if (value[i] == ';' && (i == 0 || value[i - 1] == ' ' || value[i - 1] == '\t'))
        {
            end = i;
            break;
        }
    }
    while (end > 0 && (value[end - 1] == ' ' || value[end - 1] == '\t'))
        --end;
    return value.substr(0, end);
}

bool ReadProfileValue(const std::string& strPath, const char* pszSection, const char* pszKey, size_t nMax,
                      std::string& value)
{
    std::vector<char> text(nMax + 2, '\0');
    const DWORD nLength = ::GetPrivateProfileStringA(pszSection, pszKey, "", text.data(),
                                                     static_cast<DWORD>(text.size()), strPath.c_str());
    if (nLength > nMax)
        return false;
    value = WithoutComment(std::string(text.data(), nLength));
    return true;
}

bool WriteProfileValue(const std::string& strPath, const char* pszSection, const char* pszKey, const std::string& value,
                       std::string& strError)
{
    MakeFolders(strPath);
    if (::WritePrivateProfileStringA(pszSection, pszKey, value.c_str(), strPath.c_str()) != FALSE)
        return true;
    strError = WriteFailure(strPath);
    return false;
}

bool WriteProfileSectionText(const std::string& strPath, const char* pszSection, const std::string& text,
                             std::string& strError)
{
    MakeFolders(strPath);
    if (::WritePrivateProfileSectionA(pszSection, text.c_str(), strPath.c_str()) != FALSE)
        return true;
    strError = WriteFailure(strPath);
    return false;
}
