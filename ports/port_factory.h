// Every way to a cable, made from a cable choice: the one place any program gets its port.
// The build picks the system's half (system_windows.cpp or system_linux.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../cable/cable.h"
#include "dap_port.h"
#include "ftdi_port.h"
#include "cable_name.h"

// That cable, not yet opened: it opens when first asked (Open) or used. The simulated board is
// one for the whole process, so its port is shared, never owned.
std::shared_ptr<ICable> MakeCable(const CableName& cable, const FtdiPinMap& map);

// A cable this computer has: as a person writes it, and what it is.
struct FoundCable
{
    std::string strName;
    std::string strWhat;
};

// The cables the system names now: parallel ports, then FTDI devices when their library is
// there. Looked up afresh at every call.
// map: the FTDI settings, which decide how each FTDI cable is driven and at what clock.
std::vector<FoundCable> FindCables(const FtdiPinMap& map);
// The system's half of the list: its parallel ports.
std::vector<FoundCable> FindSystemPorts();

// False, with why, for a cable this system has no way to: a port address no port of Linux has,
// a device file on Windows. A port address on Linux becomes the device file of the port that
// has it.
bool IsCableReachable(CableName& cable, std::string& strWhy);
// Whether the default cable's device is there, where the system can tell before opening it;
// strDevice: which device that is.
bool IsDefaultCablePresent(std::string& strDevice);

// The system's half of the factory: its parallel port, and its FTDI library's cable.
std::shared_ptr<ICable> MakeSystemParallelCable(const CableName& cable);
std::unique_ptr<CFtdiPort> MakeSystemFtdiPort(const CableName& cable, const FtdiPinMap& map);
// How the system looks for CMSIS-DAP probes and opens one (its libraries loaded at the first call).
DapFinder SystemDapFinder();

// The FTDI devices a library lists, as cables: one with a serial number by it (and its channel
// letter), one without only as the first found ("ftdi").
void AddFtdiCables(const std::vector<FtdiDevice>& devices, const char* pszLibrary, const FtdiPinMap& map,
                   std::vector<FoundCable>& cables);

