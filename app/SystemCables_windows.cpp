// Windows: parallel ports by address, FTDI cables through D2XX, MORVA.INI beside the program.
#include "SystemCables.h"

#include <windows.h>

const char CABLE_NAME_FORMS[] =
    "lpt\tthe parallel port at 0x378\n"
    "lpt:ADDRESS\ta parallel port whose data register is at ADDRESS (hex with 0x, e.g. lpt:0xD010)\n"
    "ftdi\tthe first FTDI cable found\n"
    "ftdi:SERIAL\tthe FTDI cable with that serial number\n"
    "ftdi:SERIAL/B\tchannel B (A to D) of a two- or four-channel FTDI chip\n"
    "sim\tthe simulated board\n"
    "rbb:HOST:PORT\ta remote_bitbang JTAG server (e.g. rbb:localhost:44853)\n"
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

bool IsCableReachable(CableName& cable, std::string& strWhy)
{
    if (cable.kind == CableKind::Lpt && !cable.device.empty())
    {
        strWhy = "\"" + cable.device + "\" is a Linux device file; on Windows give the port's address in hex, as "
                 "in lpt:0xD010.";
        return false;
    }
    return true;
}

// The parallel port at 0x378: whether it answers is known only on opening it.
bool CheckDefaultCable(std::string&)
{
    return true;
}

bool SayOnTerminal(const std::string&, bool)
{
    // A Windows program of the GUI subsystem has no terminal to write to.
    return false;
}

std::string NoDisplayProblem()
{
    return std::string();
}
