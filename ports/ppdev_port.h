// A parallel port on Linux, through the kernel's ppdev driver (/dev/parportN): the port is
// claimed for this process alone where the kernel allows it (shared where another driver such
// as lp keeps it registered), the data register written and the status register read with
// one ioctl each, so the bytes and their order are those of the Windows program's port I/O.
#pragma once

#include <string>

#include "parallel_port.h"

// The system calls the port makes, as the C library declares them; each gives -1 with errno
// set on failure. Tests put the simulated board behind them.
struct PpdevCalls
{
    int (*pfnOpen)(const char* pszPath, int nFlags);
    int (*pfnIoctl)(int fd, unsigned long request, void* pArg);
    int (*pfnClose)(int fd);
};

// open, ioctl and close themselves.
const PpdevCalls& SystemPpdevCalls();

// Where the kernel says each parallel port's base address: parportN/base-addr.
const char PARPORT_PROC_FOLDER[] = "/proc/sys/dev/parport";

// The ppdev device file of the port whose base address (its data register) is wAddress, as the
// kernel lists them in strProcFolder. False, with the ports there are, when none has it.
bool FindParportAt(unsigned short wAddress, const std::string& strProcFolder, std::string& strDevice,
                   std::string& strError);

class CPpdevPort : public CParallelPort
{
public:
    // wDataAddress: where the cable driver writes the data register; status is the next
    // address, control the one after.
    CPpdevPort(const std::string& strDevice, unsigned short wDataAddress,
               const PpdevCalls& calls = SystemPpdevCalls());
    // Leaves the data register at 0x00 and releases the port.
    ~CPpdevPort() override;

    void Write(unsigned short address, unsigned char value) override;
    unsigned char Read(unsigned short address) override;
    bool IsAccessible() override;
    bool IsCheckedEverywhere() const override { return true; }
    std::string AccessProblem() const override { return m_strProblem; }
    std::string Failure() const override { return m_strFailure; }
    std::string Description() const override;
    void Release() override;

private:
    bool Open(std::string& strError);
    void Close();
    bool Ready();
    bool Call(unsigned long request, unsigned char* pValue, const char* pszName);

    std::string m_strDevice;
    unsigned short m_wData;
    PpdevCalls m_calls;
    int m_fd = -1;
    // The kernel refused the exclusive claim (another driver has the port registered).
    bool m_bShared = false;
    std::string m_strProblem;
    std::string m_strFailure;
    // A failure holds until the read that ends the failed clock has reported it: only the next
    // clock may open the port again.
    bool m_bFailureSeen = false;
};
