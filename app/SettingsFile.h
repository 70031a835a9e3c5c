// What the settings file (MORVA.INI, morva.ini) says: the cable, the chain's IR lengths, the
// folders of BSDL files and the FTDI pin map, each read as a person writes it.
#pragma once

#include <string>
#include <vector>

#include "../ports/ftdi_port.h"

// A whole number from 0 to nMax, in decimal or with 0x in hex.
bool ParseNumber(const std::string& text, unsigned long nMax, unsigned long& value);

// The cable the settings file names (the [cable] section's cable=), or empty.
std::string SettingsCable(const std::string& strIniPath);
// The same, false with what to do for a value too long to be read whole.
bool ReadCableSetting(const std::string& strIniPath, std::string& strCable, std::string& strError);

// The devices' IR lengths the settings file gives ([chain] irlen=4,6,8); none where it gives
// none. False, with what is wrong, for a value that is no list of lengths.
bool ReadChainSettings(const std::string& strIniPath, std::vector<int>& irLengths, std::string& strError);

// The folders the settings file names for BSDL files ([bsdl] folder=, several separated by ';').
std::vector<std::string> SettingsBsdlFolders(const std::string& strIniPath);

// The clock the settings file asks for ([cable] khz=6000), left as it was where none is given.
bool ReadClockSetting(const std::string& strIniPath, unsigned& nKhz, std::string& strError);

// Reads the FTDI pin map from the settings file's [ftdi] section, and the mode (mode=bitbang or
// mode=mpsse); what it lacks stays as it was.
bool ReadFtdiSettings(const std::string& strIniPath, FtdiPinMap& map, std::string& strError);
