// Where the person says which cable to drive: /cable:SPEC (or --cable=SPEC, --cable SPEC) on the
// command line, else cable=SPEC in the [cable] section of MORVA.INI beside the program, else the
// parallel port at 0x378. The FTDI pin map is in the [ftdi] section of the same file.
#pragma once

#include <windows.h>

#include <string>

#include "../ports/bitbang_port.h"
#include "../ports/cable_spec.h"

// Finds the cable on the command line; bGiven is false when there is none. False, with the
// reason, for an option MORVA does not know or a cable option without its spec.
bool FindCableOption(LPCSTR pszCommandLine, std::string& strSpec, bool& bGiven, std::string& strError);

// Reads the cable and the FTDI pin map from the settings file; what it lacks stays as it was.
bool ReadCableSettings(const std::string& strIniPath, std::string& strSpec, FtdiPinMap& map, std::string& strError);

// The command line over the settings file over the default. False with a message for the person:
// what was wrong, where it came from, and the accepted forms.
bool ResolveCable(LPCSTR pszCommandLine, const std::string& strIniPath, CableSpec& spec, FtdiPinMap& map,
                  std::string& strError);

// MORVA.INI in the program's own folder.
std::string SettingsPath();
