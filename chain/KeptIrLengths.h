// IR lengths a person typed for a chain the scan could not tell, kept in the settings file for
// that chain alone: recognised by its cable and its devices' IDCODEs, never given to another.
#pragma once

#include <string>
#include <vector>

#include "ChainScan.h"

// "sim:chain 1ABCD093 35678043 -": the cable, then each device's IDCODE from the TDI side, "-"
// for one that shows BYPASS.
std::string ChainIdentity(const std::string& strCable, const std::vector<ChainDevice>& devices);

// The lengths kept for the chain; false where none are.
bool FindKeptIrLengths(const std::string& strIniPath, const std::string& strIdentity, std::string& strLengths);

// Keeps the lengths for the chain, newest first; an empty text forgets them. The oldest chains
// go beyond KEPT_CHAINS. False, with why, where the file could not be written.
bool KeepIrLengths(const std::string& strIniPath, const std::string& strIdentity, const std::string& strLengths,
                   std::string& strError);

const size_t KEPT_CHAINS = 16;
