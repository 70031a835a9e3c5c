#include "system_library.h"

std::string SystemFolderFile(const char* pszFile)
{
    char folder[MAX_PATH] = {};
    const UINT nLength = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return std::string();
    std::string path(folder, nLength);
    if (path.back() != '\\')
        path += '\\';
    return path + pszFile;
}

HMODULE LoadSystemLibrary(const char* pszFile)
{
    const std::string strPath = SystemFolderFile(pszFile);
    return strPath.empty() ? nullptr : ::LoadLibraryA(strPath.c_str());
}
