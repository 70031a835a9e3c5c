// MORVA.EXE's parallel port: the registers through the processor's own IN and OUT instructions
// where this process may execute them (Windows 95/98, or NT with the GIVEIO driver), or else
// through the InpOut library's driver (NT, 64-bit Windows included).
#pragma once

#include <windows.h>

#include "parallel_port.h"

class CIoPort : public CParallelPort
{
public:
    // wDataPort: the data register's address, as the cable's name gives it.
    explicit CIoPort(unsigned short wDataPort) : m_wDataPort(wDataPort) {}

    void Write(unsigned short address, unsigned char value) override;
    unsigned char Read(unsigned short address) override;
    // On the NT family the GIVEIO driver grants this process port I/O when its device is opened;
    // without it, the InpOut library next to the program does the I/O in its own driver.
    bool IsAccessible() override;
    std::string Description() const override;

private:
    typedef void(__stdcall* OUT32)(short, short);
    typedef short(__stdcall* INP32)(short);
    typedef BOOL(__stdcall* IS_INPOUT_DRIVER_OPEN)();

    bool OpenInpOut();

    unsigned short m_wDataPort;
    OUT32 m_pfnOut32 = nullptr;
    INP32 m_pfnInp32 = nullptr;
};
