// What every harness does with an input: keeps it as a file of its own where the reader opens a
// file, and bounds the work an input may ask of the simulated board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The input written to a file of this process's own, whose path is returned.
std::string InputFile(const uint8_t* pData, size_t nSize, const char* pszExtension);
