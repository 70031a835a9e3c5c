// The system calls the readers make, served by Linux itself: files, clocks and waits as the
// Win32 documentation describes them, and the settings file's values as GetPrivateProfileString
// finds them. Nothing here is reached by a window: the harness has none.
#include <windows.h>

#include <cerrno>
#include <dirent.h>
#include <fnmatch.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DWORD g_dwLastError = 0;

// A file handle is the descriptor plus one, so that no open file is null.
int Descriptor(HANDLE hFile)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(hFile)) - 1;
}

DWORD ErrorOf(int nErrno)
{
    switch (nErrno)
    {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Failed()
{
    g_dwLastError = ErrorOf(errno);
    return FALSE;
}

uint64_t Microseconds()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

std::string Trimmed(const std::string& text)
{
    const size_t nFirst = text.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return std::string();
    return text.substr(nFirst, text.find_last_not_of(" \t\r") - nFirst + 1);
}

} // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR pszName, DWORD dwAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreation, DWORD, HANDLE)
{
    int nFlags = (dwAccess & GENERIC_WRITE) != 0 ? ((dwAccess & GENERIC_READ) != 0 ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (dwCreation == CREATE_ALWAYS)
        nFlags |= O_CREAT | O_TRUNC;
    else if (dwCreation == CREATE_NEW)
        nFlags |= O_CREAT | O_EXCL;
    else if (dwCreation == OPEN_ALWAYS)
        nFlags |= O_CREAT;
    const int nFile = open(pszName, nFlags, 0600);
    if (nFile < 0)
    {
        Failed();
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(nFile) + 1);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID pBuffer, DWORD dwToRead, LPDWORD pdwRead, LPOVERLAPPED)
{
    const ssize_t nRead = read(Descriptor(hFile), pBuffer, dwToRead);
    if (nRead < 0)
        return Failed();
    *pdwRead = static_cast<DWORD>(nRead);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID pBuffer, DWORD dwToWrite, LPDWORD pdwWritten, LPOVERLAPPED)
{
    const ssize_t nWritten = write(Descriptor(hFile), pBuffer, dwToWrite);
    if (nWritten < 0)
        return Failed();
    *pdwWritten = static_cast<DWORD>(nWritten);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hFile)
{
    return close(Descriptor(hFile)) == 0 ? TRUE : Failed();
}

BOOL WINAPI DeleteFileA(LPCSTR pszName)
{
    return unlink(pszName) == 0 ? TRUE : Failed();
}

BOOL WINAPI MoveFileA(LPCSTR pszFrom, LPCSTR pszTo)
{
    // MoveFile does not replace a file that exists.
    struct stat existing = {};
    if (stat(pszTo, &existing) == 0)
    {
        g_dwLastError = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    return rename(pszFrom, pszTo) == 0 ? TRUE : Failed();
}

BOOL WINAPI MoveFileExA(LPCSTR pszFrom, LPCSTR pszTo, DWORD dwFlags)
{
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0)
        return MoveFileA(pszFrom, pszTo);
    return rename(pszFrom, pszTo) == 0 ? TRUE : Failed();
}

DWORD WINAPI GetLastError()
{
    return g_dwLastError;
}

DWORD WINAPI FormatMessageA(DWORD, LPCVOID, DWORD dwMessage, DWORD, LPSTR pszBuffer, DWORD dwSize, __ms_va_list*)
{
    if (dwSize == 0)
        return 0;
    return static_cast<DWORD>(snprintf(pszBuffer, dwSize, "system error %lu", static_cast<unsigned long>(dwMessage)));
}

DWORD WINAPI GetTickCount()
{
    return static_cast<DWORD>(Microseconds() / 1000u);
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* pCounter)
{
    pCounter->QuadPart = static_cast<LONGLONG>(Microseconds());
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* pFrequency)
{
    pFrequency->QuadPart = 1000000;
    return TRUE;
}

void WINAPI GetLocalTime(SYSTEMTIME* pTime)
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local = {};
    localtime_r(&now.tv_sec, &local);
    pTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    pTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    pTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    pTime->wDay = static_cast<WORD>(local.tm_mday);
    pTime->wHour = static_cast<WORD>(local.tm_hour);
    pTime->wMinute = static_cast<WORD>(local.tm_min);
    pTime->wSecond = static_cast<WORD>(local.tm_sec);
    pTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    usleep(static_cast<useconds_t>(dwMilliseconds) * 1000u);
}

int WINAPI lstrcmpiA(LPCSTR pszA, LPCSTR pszB)
{
    const int nOrder = strcasecmp(pszA, pszB);
    return nOrder < 0 ? -1 : nOrder > 0 ? 1 : 0;
}

// [SECTION] KEY= as the profile call finds it: section and key in any case, the spaces around the
// key and the value dropped, one pair of quotes around the value taken off; the value cut to the
// buffer, its length returned.
INT WINAPI GetPrivateProfileStringA(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer, UINT dwSize,
                                    LPCSTR pszFile)
{
    std::string value = pszDefault != nullptr ? pszDefault : "";
    FILE* pFile = fopen(pszFile, "rb");
    if (pFile != nullptr)
    {
        std::string line, section;
        bool bFound = false;
        for (int c = 0; !bFound && c != EOF;)
        {
            line.clear();
            while ((c = fgetc(pFile)) != EOF && c != '\n')
                line += static_cast<char>(c);
            const std::string text = Trimmed(line);
            if (!text.empty() && text[0] == '[')
            {
                section = Trimmed(text.substr(1, text.find(']') == std::string::npos ? std::string::npos : text.find(']') - 1));
                continue;
            }
            const size_t nEquals = text.find('=');
            if (nEquals == std::string::npos || strcasecmp(section.c_str(), pszSection) != 0 ||
                strcasecmp(Trimmed(text.substr(0, nEquals)).c_str(), pszKey) != 0)
                continue;
            value = Trimmed(text.substr(nEquals + 1));
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
                value = value.substr(1, value.size() - 2);
            bFound = true;
        }
        fclose(pFile);
    }
    if (dwSize == 0)
        return 0;
    const size_t nCopied = value.size() < dwSize - 1 ? value.size() : dwSize - 1;
    memcpy(pszBuffer, value.data(), nCopied);
    pszBuffer[nCopied] = '\0';
    return static_cast<INT>(nCopied);
}

// The harness reads settings and never writes them: a write is refused, as a read-only disk would.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR)
{
    g_dwLastError = ERROR_WRITE_PROTECT;
    return FALSE;
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR, LPCSTR, LPCSTR)
{
    g_dwLastError = ERROR_WRITE_PROTECT;
    return FALSE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pszName, LPSECURITY_ATTRIBUTES)
{
    return mkdir(pszName, 0700) == 0 ? TRUE : Failed();
}

// A folder's entries whose names match the pattern's last part (*, ?), one at a time.
struct FindState
{
    DIR* pDir;
    std::string strPattern;
};

BOOL WINAPI FindNextFileA(HANDLE hFind, WIN32_FIND_DATAA* pFound)
{
    FindState& state = *static_cast<FindState*>(hFind);
    while (dirent* pEntry = readdir(state.pDir))
    {
        if (fnmatch(state.strPattern.c_str(), pEntry->d_name, 0) != 0 || strlen(pEntry->d_name) >= MAX_PATH)
            continue;
        memset(pFound, 0, sizeof(*pFound));
        pFound->dwFileAttributes = pEntry->d_type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        strcpy(pFound->cFileName, pEntry->d_name);
        return TRUE;
    }
    g_dwLastError = ERROR_NO_MORE_FILES;
    return FALSE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pszPattern, WIN32_FIND_DATAA* pFound)
{
    const std::string strPattern = pszPattern;
    const size_t nSlash = strPattern.find_last_of("/\\");
    const std::string strFolder = nSlash == std::string::npos ? "." : strPattern.substr(0, nSlash);
    DIR* pDir = opendir(strFolder.empty() ? "/" : strFolder.c_str());
    if (pDir == nullptr)
    {
        Failed();
        return INVALID_HANDLE_VALUE;
    }
    FindState* pState = new FindState{pDir, nSlash == std::string::npos ? strPattern : strPattern.substr(nSlash + 1)};
    if (FindNextFileA(pState, pFound) == FALSE)
    {
        closedir(pDir);
        delete pState;
        g_dwLastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    return pState;
}

BOOL WINAPI FindClose(HANDLE hFind)
{
    FindState* pState = static_cast<FindState*>(hFind);
    closedir(pState->pDir);
    delete pState;
    return TRUE;
}

} // extern "C"

// The harness's files are named in the system's own code page.
bool UsesWideWindows()
{
    return false;
}
