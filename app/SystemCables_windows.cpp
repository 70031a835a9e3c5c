// Windows: parallel ports by address, FTDI cables through D2XX, MORVA.INI beside the program.
#include "SystemCables.h"

#include <windows.h>

#include "../ports/port_factory.h"

namespace {

void WriteLine(HANDLE hOut, const std::string& text)
{
    const std::string line = text + "\r\n";
    DWORD dwWritten = 0;
    ::WriteFile(hOut, line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
}

} // namespace

const char CABLE_NAME_FORMS[] =
    "lpt\tthe parallel port at 0x378\n"
    "lpt:ADDRESS\ta parallel port whose data register is at ADDRESS (hex with 0x, e.g. lpt:0xD010)\n"
    CABLE_NAME_FORMS_SHARED
    "xvc:HOST:PORT\ta Xilinx Virtual Cable server (e.g. xvc:192.168.1.10:2542)";

const char CABLE_CHOICE_HOW[] = "Choose the cable with /cable:CABLE on the command line, or in MORVA.INI beside "
                                "the program, as in\n    [cable]\n    cable=ftdi\n";

std::string SettingsPath()
{
    char path[MAX_PATH] = {};
    const DWORD nLength = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, nLength < MAX_PATH ? nLength : 0);
    const size_t slash = folder.rfind('\\');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    return folder + "MORVA.INI";
}

std::string ShownPath(const std::string& strPath)
{
    return strPath;
}

bool CheckDefaultCable(std::string&)
{
    std::string strDevice;
    return IsDefaultCablePresent(strDevice);
}

void SayOnConsole(const std::string& text, bool bError)
{
    // A GUI program has standard handles only where its starter gave it some (a pipe, a file);
    // started from a console, it writes to that console once attached to it (Windows XP on).
    HANDLE hOut = ::GetStdHandle(bError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (hOut == nullptr || hOut == INVALID_HANDLE_VALUE)
    {
        typedef BOOL(WINAPI * ATTACH_CONSOLE)(DWORD dwProcessId);
        const DWORD ATTACH_TO_PARENT = static_cast<DWORD>(-1);
        const HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
        const FARPROC pfn = hKernel != nullptr ? ::GetProcAddress(hKernel, "AttachConsole") : nullptr;
        const auto pfnAttach = reinterpret_cast<ATTACH_CONSOLE>(reinterpret_cast<void*>(pfn));
        // A second call fails once attached: the console is there all the same.
        if (pfnAttach != nullptr)
            pfnAttach(ATTACH_TO_PARENT);
        hOut = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        if (hOut == INVALID_HANDLE_VALUE)
            return;
        WriteLine(hOut, text);
        ::CloseHandle(hOut);
        return;
    }
    WriteLine(hOut, text);
}

bool SayOnTerminal(const std::string& text, bool bError)
{
    // A Windows program of the GUI subsystem has no terminal to write to; but one started by a
    // script whose output goes through a pipe is read by that script, and a box would wait for
    // nobody there.
    for (DWORD nStream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
    {
        const HANDLE hStream = ::GetStdHandle(nStream);
        if (hStream != nullptr && hStream != INVALID_HANDLE_VALUE && ::GetFileType(hStream) == FILE_TYPE_PIPE)
        {
            SayOnConsole(text, bError);
            return true;
        }
    }
    return false;
}

std::string NoDisplayProblem()
{
    return std::string();
}

namespace {

volatile LONG g_nInterrupted = 0;

BOOL WINAPI OnInterrupt(DWORD dwEvent)
{
    if (dwEvent != CTRL_C_EVENT && dwEvent != CTRL_BREAK_EVENT)
        return FALSE;
    g_nInterrupted = 1;
    return TRUE;
}

} // namespace

void CatchInterrupt()
{
    ::SetConsoleCtrlHandler(&OnInterrupt, TRUE);
}

bool Interrupted()
{
    return g_nInterrupted != 0;
}
