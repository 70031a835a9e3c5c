#include "profile.h"

#include <windows.h>

#include <vector>

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
