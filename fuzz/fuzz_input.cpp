#include "fuzz_input.h"

#include <fcntl.h>
#include <unistd.h>

std::string InputFile(const uint8_t* pData, size_t nSize, const char* pszExtension)
{
    const std::string strPath = "/tmp/morva-fuzz-" + std::to_string(getpid()) + "." + pszExtension;
    const int nFile = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (size_t nDone = 0; nFile >= 0 && nDone < nSize;)
    {
        const ssize_t nWritten = write(nFile, pData + nDone, nSize - nDone);
        if (nWritten <= 0)
            break;
        nDone += static_cast<size_t>(nWritten);
    }
    if (nFile >= 0)
        close(nFile);
    return strPath;
}
