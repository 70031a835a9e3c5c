#include "cstring.h"

#include <cstdarg>
#include <cstdio>

#include "codepage.h"
#include "language.h"

CString CString::Mid(int nFirst, int nCount) const
{
    const int nLength = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0 || nFirst >= nLength)
        return CString();
    if (nCount > nLength - nFirst)
        nCount = nLength - nFirst;
    CString result;
    result.m_str = m_str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount));
    return result;
}

CString& CString::operator+=(LPCSTR psz)
{
    if (psz != nullptr)
        m_str += psz;
    return *this;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list measure;
    va_copy(measure, args);
    const int nLength = vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (nLength < 0)
    {
        m_str.clear();
    }
    else
    {
        std::string text(static_cast<size_t>(nLength) + 1, '\0');
        vsnprintf(&text[0], text.size(), pszFormat, args);
        text.resize(static_cast<size_t>(nLength));
        m_str.swap(text);
    }
    va_end(args);
}

BOOL CString::LoadString(UINT nID)
{
    m_str = LoadText(nID);
    return m_str.empty() ? FALSE : TRUE;
}
