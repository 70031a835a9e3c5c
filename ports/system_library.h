// Libraries that only some Windows have, loaded at run time from the system folder so that the
// programs still start without them, and their calls looked up by name.
#pragma once

#include <windows.h>

#include <string>

// The file's path in the system folder ("C:\WINDOWS\SYSTEM32\wsock32.dll"), or empty where the
// system folder cannot be found.
std::string SystemFolderFile(const char* pszFile);

// The DLL of the system folder's, never one of the same name beside the program; null where it
// cannot be loaded.
HMODULE LoadSystemLibrary(const char* pszFile);

// Looks the call up in the library; where it is missing, the first missing name goes into
// strMissing.
template <typename F>
bool FindCall(HMODULE hLibrary, const char* pszName, F& pfn, std::string& strMissing)
{
    pfn = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(hLibrary, pszName)));
    if (pfn == nullptr && strMissing.empty())
        strMissing = pszName;
    return pfn != nullptr;
}
