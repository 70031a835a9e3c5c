// MORVA.EXE: the registers through the processor's own IN and OUT instructions. On the NT family
// this needs the I/O permission that the start-up check makes sure of.
#include "port.h"

#include <windows.h>

#include <cstdio>

namespace {

class CIoPort : public CPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(address));
    }

    unsigned char Read(unsigned short address) override
    {
        unsigned char value;
        __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(address));
        return value;
    }

    // On the NT family the GIVEIO driver grants this process port I/O when its device is opened.
    bool IsAccessible() override
    {
        HANDLE hDevice = ::CreateFileA("\\\\.\\giveio", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hDevice == INVALID_HANDLE_VALUE)
        {
            printf("Couldn't access giveio device\n");
            return false;
        }
        ::CloseHandle(hDevice);
        return true;
    }
};

CIoPort g_ioPort;

} // namespace

CPort& BuildPort()
{
    return g_ioPort;
}
