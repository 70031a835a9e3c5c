#include "ppdev_standin.h"

#include <cerrno>
#include <cstdio>

#include <sys/ioctl.h>

#include <linux/ppdev.h>

namespace {

const int PORT_FD = 7;


std::string Hex(unsigned char value)
{
    char text[4];
    snprintf(text, sizeof(text), "%02X", value);
    return text;
}

int Fail(int nError)
{
    errno = nError;
    return -1;
}

int Open(const char* pszPath, int)
{
    PpdevStandin& port = Ppdev();
    port.log.push_back(std::string("open ") + pszPath);
    if (port.nOpenErrno != 0)
        return Fail(port.nOpenErrno);
    if (pszPath != port.device)
        return Fail(ENOENT);
    if (!port.bPresent)
        return Fail(ENODEV);
    ++port.nOpenFiles;
    port.bExclusive = false;
    return PORT_FD;
}

int Ioctl(int fd, unsigned long request, void* pArg)
{
    PpdevStandin& port = Ppdev();
    unsigned char* pValue = static_cast<unsigned char*>(pArg);
    if (fd != PORT_FD || port.nOpenFiles == 0)
        return Fail(EBADF);
    std::string line;
    switch (request)
    {
    case PPEXCL:
        line = "PPEXCL";
        break;
    case PPCLAIM:
        line = "PPCLAIM";
        break;
    case PPRELEASE:
        line = "PPRELEASE";
        break;
    case PPWDATA:
        line = "PPWDATA " + Hex(*pValue);
        break;
    case PPRSTATUS:
        line = "PPRSTATUS";
        break;
    default:
        line = "ioctl " + std::to_string(request);
        break;
    }
    port.log.push_back(line);
    if (!port.bPresent)
        return Fail(ENODEV);
    if (request == PPEXCL)
        port.bExclusive = true;
    if (request == PPCLAIM)
    {
        if (port.nClaimErrno != 0)
            return Fail(port.nClaimErrno);
        if (port.bLpLoaded && port.bExclusive)
            return Fail(ENXIO);
        port.bClaimed = true;
        return 0;
    }
    if (request == PPRELEASE)
    {
        port.bClaimed = false;
        return 0;
    }
    if ((request == PPWDATA || request == PPRSTATUS) && !port.bClaimed)
        return Fail(EINVAL);  // as ppdev answers register access without a claim
    if (request == PPWDATA)
        port.board.WriteData(*pValue);
    else if (request == PPRSTATUS)
    {
        *pValue = port.board.ReadStatus();
        port.log.back() += " " + Hex(*pValue);
    }
    return 0;
}

int Close(int fd)
{
    PpdevStandin& port = Ppdev();
    port.log.push_back("close");
    if (fd != PORT_FD || port.nOpenFiles == 0)
        return Fail(EBADF);
    // Closing releases a claim the program left.
    --port.nOpenFiles;
    port.bClaimed = false;
    return 0;
}

} // namespace

PpdevStandin& Ppdev()
{
    return StandinOf<PpdevStandin>();
}

const PpdevCalls& StandinPpdevCalls()
{
    StandinOf<PpdevStandin>(true);
    static const PpdevCalls s_calls = {&Open, &Ioctl, &Close};
    return s_calls;
}
