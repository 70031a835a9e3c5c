// MORVA.EXE: the registers through the processor's own IN and OUT instructions where this
// process may execute them (Windows 95/98, or NT with the GIVEIO driver), or else through the
// InpOut library's driver (NT, 64-bit Windows included).
#include "port.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char INPOUT_DLL[] = "inpout32.dll";

typedef void(__stdcall* OUT32)(short, short);
typedef short(__stdcall* INP32)(short);
typedef BOOL(__stdcall* IS_INPOUT_DRIVER_OPEN)();

class CIoPort : public CPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        if (m_pfnOut32 != nullptr)
            m_pfnOut32(static_cast<short>(address), static_cast<short>(value));
        else
            __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(address));
    }

    unsigned char Read(unsigned short address) override
    {
        if (m_pfnInp32 != nullptr)
            return static_cast<unsigned char>(m_pfnInp32(static_cast<short>(address)));
        unsigned char value;
        __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(address));
        return value;
    }

    // On the NT family the GIVEIO driver grants this process port I/O when its device is opened;
    // without it, the InpOut library next to the program does the I/O in its own driver.
    bool IsAccessible() override
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

private:
    // Loads the library from the program's own folder only: a copy planted in the current folder
    // or anywhere on the search path is never loaded.
    bool OpenInpOut()
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

    OUT32 m_pfnOut32 = nullptr;
    INP32 m_pfnInp32 = nullptr;
};

CIoPort g_ioPort;

} // namespace

CPort& BuildPort()
{
    return g_ioPort;
}
