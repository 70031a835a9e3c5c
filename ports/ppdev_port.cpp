#include "ppdev_port.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <algorithm>
#include <vector>

#include <dirent.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/ppdev.h>

namespace {

int SystemOpen(const char* pszPath, int nFlags)
{
    return ::open(pszPath, nFlags);
}

int SystemIoctl(int fd, unsigned long request, void* pArg)
{
    return ::ioctl(fd, request, pArg);
}

int SystemClose(int fd)
{
    return ::close(fd);
}

std::string ErrorText(int nError)
{
    return std::string(strerror(nError)) + " (errno " + std::to_string(nError) + ")";
}

} // namespace

const PpdevCalls& SystemPpdevCalls()
{
    static const PpdevCalls s_calls = {&SystemOpen, &SystemIoctl, &SystemClose};
    return s_calls;
}

bool FindParportAt(unsigned short wAddress, const std::string& strProcFolder, std::string& strDevice,
                   std::string& strError)
{
    // "parport0/base-addr" holds the base and the upper base in decimal: "888\t1912".
    std::vector<std::pair<std::string, unsigned long>> ports;
    if (DIR* pDir = opendir(strProcFolder.c_str()))
    {
        while (const dirent* pEntry = readdir(pDir))
        {
            const std::string name = pEntry->d_name;
            if (name.compare(0, 7, "parport") != 0 || name.size() == 7)
                continue;
            unsigned long base = 0;
            if (FILE* pFile = fopen((strProcFolder + "/" + name + "/base-addr").c_str(), "r"))
            {
                if (fscanf(pFile, "%lu", &base) == 1)
                    ports.push_back({name, base});
                fclose(pFile);
            }
        }
        closedir(pDir);
    }
    std::sort(ports.begin(), ports.end());
    for (const auto& port : ports)
    {
        if (port.second == wAddress)
        {
            strDevice = "/dev/" + port.first;
            return true;
        }
    }
    char address[16];
    snprintf(address, sizeof(address), "0x%X", wAddress);
    strError = std::string("No parallel port of this computer has the address ") + address + ".";
    if (ports.empty())
        strError += " The kernel lists none (in " + strProcFolder +
                    "): load its drivers with\n    sudo modprobe parport_pc ppdev\nand start MORVA again.";
    else
    {
        strError += " The kernel lists:";
        for (const auto& port : ports)
        {
            snprintf(address, sizeof(address), "0x%lX", port.second);
            strError += "\n    lpt:/dev/" + port.first + "  at " + address;
        }
    }
    return false;
}

CPpdevPort::CPpdevPort(const std::string& strDevice, unsigned short wDataAddress, const PpdevCalls& calls)
    : m_strDevice(strDevice), m_wData(wDataAddress), m_calls(calls)
{
}

CPpdevPort::~CPpdevPort()
{
    Release();
}

void CPpdevPort::Release()
{
    if (m_fd < 0)
        return;
    unsigned char zero = 0x00;
    m_calls.pfnIoctl(m_fd, PPWDATA, &zero);
    m_calls.pfnIoctl(m_fd, PPRELEASE, nullptr);
    Close();
}

std::string CPpdevPort::Description() const
{
    return "parallel port " + m_strDevice + (m_bShared ? " (ppdev, claim shared with other drivers)" : " (ppdev)");
}

bool CPpdevPort::IsAccessible()
{
    if (Ready())
        return true;
    m_strProblem = m_strFailure;
    return false;
}

bool CPpdevPort::Open(std::string& strError)
{
    int fd = m_calls.pfnOpen(m_strDevice.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
    {
        const int nError = errno;
        if (nError == EACCES || nError == EPERM)
            strError = "MORVA may not open " + m_strDevice + " (" + ErrorText(nError) +
                       ").\n\nParallel ports belong to the group lp: join it with\n    sudo usermod -aG lp $USER\n"
                       "then log out and in again, and start MORVA again.";
        else if (nError == ENOENT || nError == ENODEV || nError == ENXIO)
            strError = "There is no parallel port " + m_strDevice + " (" + ErrorText(nError) +
                       ").\n\nCheck the device's name (ls /dev/parport*). If there is none, load the kernel's "
                       "ppdev driver with\n    sudo modprobe ppdev\nand start MORVA again.";
        else
            strError = "MORVA could not open " + m_strDevice + " (" + ErrorText(nError) + ").";
        return false;
    }
    // Exclusive where the kernel allows it: no other driver may use the port while MORVA drives
    // the cable. With the printer driver lp loaded (as on many desktops) the kernel refuses an
    // exclusive claim (ENXIO); the port is then claimed as other programs claim it, and shared.
    m_bShared = false;
    int nClaim = m_calls.pfnIoctl(fd, PPEXCL, nullptr) < 0 ? -1 : m_calls.pfnIoctl(fd, PPCLAIM, nullptr);
    if (nClaim < 0 && errno == ENXIO)
    {
        // The refused wish for exclusivity stays with the open file: claim through a new one.
        m_calls.pfnClose(fd);
        fd = m_calls.pfnOpen(m_strDevice.c_str(), O_RDWR | O_CLOEXEC);
        nClaim = fd < 0 ? -1 : m_calls.pfnIoctl(fd, PPCLAIM, nullptr);
        m_bShared = nClaim == 0;
    }
    if (nClaim < 0)
    {
        const int nError = errno;
        if (fd >= 0)
            m_calls.pfnClose(fd);
        if (nError == EBUSY || nError == ENXIO)
            strError = m_strDevice + " is held by another program or driver (" + ErrorText(nError) +
                       ").\n\nClose the other program (another MORVA, a printer spooler), or unload the printer "
                       "driver with\n    sudo rmmod lp\nthen start MORVA again.";
        else
            strError = "MORVA could not claim " + m_strDevice + " (" + ErrorText(nError) + ").";
        return false;
    }
    m_fd = fd;
    return true;
}

void CPpdevPort::Close()
{
    if (m_fd >= 0)
        m_calls.pfnClose(m_fd);
    m_fd = -1;
}

// Open now, or, after a failure, at the first access of the next clock.
bool CPpdevPort::Ready()
{
    if (m_fd >= 0)
        return true;
    if (!m_strFailure.empty() && !m_bFailureSeen)
        return false;
    std::string strError;
    if (!Open(strError))
    {
        m_strFailure = strError;
        m_bFailureSeen = false;
        return false;
    }
    m_strFailure.clear();
    return true;
}

bool CPpdevPort::Call(unsigned long request, unsigned char* pValue, const char* pszName)
{
    if (m_calls.pfnIoctl(m_fd, request, pValue) == 0)
        return true;
    m_strFailure = m_strDevice + ": " + pszName + " failed: " + ErrorText(errno) + ".";
    m_bFailureSeen = false;
    Close();
    return false;
}

void CPpdevPort::Write(unsigned short address, unsigned char value)
{
    if (!Ready())
        return;
    if (address == m_wData)
        Call(PPWDATA, &value, "PPWDATA");
    else if (address == m_wData + 2)
        Call(PPWCONTROL, &value, "PPWCONTROL");
}

unsigned char CPpdevPort::Read(unsigned short address)
{
    unsigned char value = 0xFF;
    if (!Ready())
    {
        m_bFailureSeen = true;
        return value;
    }
    if (address == m_wData + 1)
        Call(PPRSTATUS, &value, "PPRSTATUS");
    else if (address == m_wData)
        Call(PPRDATA, &value, "PPRDATA");
    else if (address == m_wData + 2)
        Call(PPRCONTROL, &value, "PPRCONTROL");
    if (!m_strFailure.empty())
    {
        m_bFailureSeen = true;
        value = 0xFF;
    }
    return value;
}
