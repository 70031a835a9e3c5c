// Bytes as the stand-in libraries log them: " 0A 1B".
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

inline std::string HexBytes(const unsigned char* pData, size_t nCount)
{
    std::string text;
    char byte[4];
    for (size_t i = 0; i < nCount; ++i)
    {
        snprintf(byte, sizeof(byte), " %02X", pData[i]);
        text += byte;
    }
    return text;
}
