// The cable a program drives, chosen once at start, before anything touches a port.
#pragma once

#include <windows.h>

#include <string>

struct CommandLine;

// False, with what was wrong and how to choose, when the choice cannot be used. MORVASIM.EXE
// always drives its simulated board and chooses nothing.
bool ChooseCable(const CommandLine& options, std::string& strError);
