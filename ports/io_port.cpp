#include "io_port.h"

#include <cstdio>
#include <cstring>


namespace {

const char INPOUT_DLL[] = "inpout32.dll";

} // namespace

void CIoPort::Write(unsigned short address, unsigned char value)
{
    if (m_pfnOut32 != nullptr)
        m_pfnOut32(static_cast<short>(address), static_cast<short>(value));
    else
        __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(address));
}

unsigned char CIoPort::Read(unsigned short address)
{
    if (m_pfnInp32 != nullptr)
        return static_cast<unsigned char>(m_pfnInp32(static_cast<short>(address)));
    unsigned char value;
    __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(address));
    return value;
}

bool CIoPort::IsAccessible()
{
    HANDLE hDevice = ::CreateFileA("\\\\.\\giveio", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hDevice != INVALID_HANDLE_VALUE)
    {
        ::CloseHandle(hDevice);
        return true;
    }
    printf("Couldn't access giveio device\n");
    fflush(stdout);
    return OpenInpOut();
}

std::string CIoPort::Description() const
{
    char text[40];
    snprintf(text, sizeof(text), "parallel port at 0x%X", m_wDataPort);
    return text;
}

// Loads the library from the program's own folder only: a copy planted in the current folder
// or anywhere on the search path is never loaded.
bool CIoPort::OpenInpOut()
{
    char path[MAX_PATH];
    const DWORD nLength = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return false;
    char* pName = strrchr(path, '\\');
    if (pName == nullptr || (pName + 1 - path) + sizeof(INPOUT_DLL) > sizeof(path))
        return false;
    memcpy(pName + 1, INPOUT_DLL, sizeof(INPOUT_DLL));

    HMODULE hLibrary = ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hLibrary == nullptr)
        return false;
    OUT32 pfnOut32 = reinterpret_cast<OUT32>(reinterpret_cast<void*>(::GetProcAddress(hLibrary, "Out32")));
    INP32 pfnInp32 = reinterpret_cast<INP32>(reinterpret_cast<void*>(::GetProcAddress(hLibrary, "Inp32")));
    IS_INPOUT_DRIVER_OPEN pfnIsOpen = reinterpret_cast<IS_INPOUT_DRIVER_OPEN>(
        reinterpret_cast<void*>(::GetProcAddress(hLibrary, "IsInpOutDriverOpen")));
    if (pfnOut32 == nullptr || pfnInp32 == nullptr || pfnIsOpen == nullptr || pfnIsOpen() == FALSE)
    {
        ::FreeLibrary(hLibrary);
        return false;
    }
    // The library stays loaded for the rest of the process.
    m_pfnOut32 = pfnOut32;
    m_pfnInp32 = pfnInp32;
    return true;
}
