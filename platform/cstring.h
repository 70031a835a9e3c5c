// CString: the framework's ANSI string, with the operations this program calls.
#pragma once

#include <windows.h>

#include <string>

class CString
{
public:
    CString() {}
    CString(LPCSTR psz) : m_str(psz != nullptr ? psz : "") {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    operator LPCSTR() const { return m_str.c_str(); }

    // At most nCount characters from index nFirst on; empty when nFirst is at or past the end.
    CString Mid(int nFirst, int nCount) const;

    CString& operator+=(LPCSTR psz);
    void Format(LPCSTR pszFormat, ...);
    // The string table's text in code page 932.
    BOOL LoadString(UINT nID);

private:
    std::string m_str;
};
