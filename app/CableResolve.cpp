// The cable the person chose, found and reached through the system, and the help that names the
// cable forms this system offers.
#include "CableOptions.h"

#include <algorithm>

#include "../ports/port_factory.h"
#include "SystemCables.h"

bool ResolveCable(const CommandLine& options, const std::string& strIniPath, CableName& cable, FtdiPinMap& map,
                  std::string& strError)
{
    const std::string strHow = "\n\n" + std::string(CABLE_CHOICE_HOW) + "CABLE is one of:\n" + CABLE_NAME_FORMS;
    const bool bGiven = options.bCable;
    const std::string& strCommandCable = options.strCable;
    std::string strText = strCommandCable;
    cable = CableName();
    if (!bGiven && !ReadCableSetting(strIniPath, strText, strError))
    {
        strError = ShownPath(strIniPath) + ": " + strError;
        return false;
    }
    if (strText.empty())
        return true;
    std::string strWhy;
    if (!ParseCableName(strText, cable, strWhy) || !IsCableReachable(cable, strWhy))
    {
        strError = "MORVA cannot use the cable \"" + strText + "\" " +
                   (bGiven ? std::string("given on the command line") : "given in " + ShownPath(strIniPath)) + ".\n" + strWhy +
                   strHow;
        return false;
    }
    // The [ftdi] section is the FTDI cable's: a mistake there stops no other cable. The clock
    // on the command line wins over the file's.
    if ((cable.kind == CableKind::Ftdi && !ReadFtdiSettings(strIniPath, map, strError)) ||
        (options.nKhz == 0 && !ReadClockSetting(strIniPath, map.nKhz, strError)))
    {
        strError = ShownPath(strIniPath) + ": " + strError;
        return false;
    }
    if (options.nKhz != 0)
        map.nKhz = options.nKhz;
    cable.bChosen = true;
    return true;
}

std::string CommandLineHelp()
{
    // The forms as a table: the descriptions start one column past the longest name.
    const std::string strForms = CABLE_NAME_FORMS;
    size_t nWidest = 0;
    for (size_t nLine = 0; nLine < strForms.size(); nLine = strForms.find('\n', nLine) + 1)
    {
        nWidest = std::max(nWidest, strForms.find('\t', nLine) - nLine);
        if (strForms.find('\n', nLine) == std::string::npos)
            break;
    }
    std::string forms;
    for (size_t nLine = 0;;)
    {
        const size_t nTab = strForms.find('\t', nLine);
        const size_t nEnd = strForms.find('\n', nLine);
        forms += (nLine == 0 ? "" : "\n    ") + strForms.substr(nLine, nTab - nLine) +
                 std::string(nWidest + 2 - (nTab - nLine), ' ') +
                 strForms.substr(nTab + 1, nEnd == std::string::npos ? std::string::npos : nEnd - nTab - 1);
        if (nEnd == std::string::npos)
            break;
        nLine = nEnd + 1;
    }
    // The exit statuses, one a line: the status, then what it means.
    std::string statuses;
    for (const char* p = EXIT_STATUS_TABLE; *p != '\0'; ++p)
        statuses += *p == '\t' ? std::string("  ") : *p == '\n' ? std::string("\n  ") : std::string(1, *p);
    statuses = "  " + statuses;
    return "MORVA steps a JTAG TAP by hand, one TCK clock a click.\n\n"
           "Options:\n" +
           OptionsHelp() + "\n"
           "Exit status:\n" +
           statuses + "\n\n"
           "CABLE is one of:\n    " +
           forms + "\n\n" + CABLE_CHOICE_HOW;
}
