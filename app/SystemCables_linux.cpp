// Linux: parallel ports through ppdev by their device files, FTDI cables through libftdi, and
// the settings in ~/.config/morva/morva.ini (or under $XDG_CONFIG_HOME).
#include "SystemCables.h"

#include "../ports/port_factory.h"

#include <windows.h>

#include <cstdlib>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

const char CABLE_NAME_FORMS[] =
    "lpt\tthe parallel port /dev/parport0\n"
    "lpt:DEVICE\ta parallel port by its ppdev device file (e.g. lpt:/dev/parport1)\n"
    "lpt:0xADDR\ta parallel port by its base address, as the kernel lists it (e.g. lpt:0xD010)\n"
    CABLE_NAME_FORMS_SHARED
    "rbb:SOCKET\tthe same on a UNIX socket (e.g. rbb:/tmp/jtag.sock)\n"
    "xvc:HOST:PORT\ta Xilinx Virtual Cable server (e.g. xvc:192.168.1.10:2542)";

const char CABLE_CHOICE_HOW[] = "Choose the cable with --cable CABLE on the command line, or in "
                                "~/.config/morva/morva.ini, as in\n    [cable]\n    cable=ftdi\n";

// The file's Linux path, as the person knows it.
std::string SettingsFile()
{
    const char* pszConfig = getenv("XDG_CONFIG_HOME");
    if (pszConfig != nullptr && pszConfig[0] == '/')
        return std::string(pszConfig) + "/morva/morva.ini";
    const char* pszHome = getenv("HOME");
    return std::string(pszHome != nullptr ? pszHome : "") + "/.config/morva/morva.ini";
}

std::string SettingsPath()
{
    // The folders are made here, before anything is written, as the XDG rules ask: for this
    // user alone (0700). Wine would make them readable by all, and its profile calls make none.
    const std::string strFile = SettingsFile();
    for (size_t nSlash = strFile.find('/', 1); nSlash != std::string::npos; nSlash = strFile.find('/', nSlash + 1))
        mkdir(strFile.substr(0, nSlash).c_str(), 0700);
    // The profile calls take a Windows path: Wine gives the one that reaches the Linux file.
    WCHAR* pszDos = wine_get_dos_file_name(strFile.c_str());
    if (pszDos == nullptr)
        return strFile;
    char path[MAX_PATH * 2] = {};
    const int nLength = ::WideCharToMultiByte(CP_ACP, 0, pszDos, -1, path, sizeof(path), nullptr, nullptr);
    ::HeapFree(::GetProcessHeap(), 0, pszDos);
    return nLength > 0 ? std::string(path) : strFile;
}

std::string ShownPath(const std::string& strPath)
{
    WCHAR wide[MAX_PATH * 2] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), -1, wide, MAX_PATH * 2) <= 0)
        return strPath;
    char* pszUnix = wine_get_unix_file_name(wide);
    if (pszUnix == nullptr)
        return strPath;
    const std::string strUnix(pszUnix);
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return strUnix;
}

bool CheckDefaultCable(std::string& strError)
{
    std::string strDevice;
    if (IsDefaultCablePresent(strDevice))
        return true;
    strError = "No cable is chosen, and this computer has no parallel port " + strDevice +
               ".\n\n" + CABLE_CHOICE_HOW + "CABLE is one of:\n" + CABLE_NAME_FORMS +
               "\n\nTo try MORVA without a cable: morva --cable sim";
    return false;
}

void SayOnConsole(const std::string& text, bool bError)
{
    const int fd = bError ? STDERR_FILENO : STDOUT_FILENO;
    const std::string line = (bError ? "morva: " : "") + text + "\n";
    for (size_t nDone = 0; nDone < line.size();)
    {
        const ssize_t nWritten = write(fd, line.data() + nDone, line.size() - nDone);
        if (nWritten <= 0)
            break;
        nDone += static_cast<size_t>(nWritten);
    }
}

bool SayOnTerminal(const std::string& text, bool bError)
{
    // Said on the stream in any case (a desktop keeps it in its log); a box is still needed where
    // no terminal shows it and no script reads it through a pipe: a start from a desktop's menu.
    SayOnConsole(text, bError);
    if (isatty(STDIN_FILENO) != 0 || isatty(STDOUT_FILENO) != 0 || isatty(STDERR_FILENO) != 0)
        return true;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO})
    {
        struct stat status = {};
        if (fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode))
            return true;
    }
    return false;
}

namespace {

volatile sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int)
{
    g_bInterrupted = 1;
}

} // namespace

void CatchInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted()
{
    return g_bInterrupted != 0;
}

std::string NoDisplayProblem()
{
    const char* pszDisplay = getenv("DISPLAY");
    if (pszDisplay != nullptr && pszDisplay[0] != '\0')
        return std::string();
    return "there is no display to show the window on (DISPLAY is not set). Start MORVA on a desktop, or "
           "over ssh -X, or on a virtual display: xvfb-run morva";
}
