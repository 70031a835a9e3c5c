#include "net_link.h"

#include <windows.h>

namespace {

// What is left of NET_TIMEOUT_MS since dwStart.
int MillisecondsLeft(DWORD dwStart)
{
    const DWORD dwSpent = ::GetTickCount() - dwStart;
    return dwSpent >= static_cast<DWORD>(NET_TIMEOUT_MS) ? 0 : NET_TIMEOUT_MS - static_cast<int>(dwSpent);
}

} // namespace

NetResult CStreamLink::Send(const void* pData, size_t nSize, std::string& strError)
{
    const char* p = static_cast<const char*>(pData);
    while (nSize > 0)
    {
        const NetResult ready = Wait(false, NET_TIMEOUT_MS, strError);
        if (ready != NetResult::Done)
            return ready;
        int nError = 0;
        const long nSent = SendSome(p, nSize, nError);
        if (nSent < 0)
            return Failure(nError, strError);
        p += nSent;
        nSize -= static_cast<size_t>(nSent);
    }
    return NetResult::Done;
}

NetResult CStreamLink::Receive(void* pData, size_t nSize, size_t& nReceived, std::string& strError)
{
    nReceived = 0;
    char* p = static_cast<char*>(pData);
    DWORD dwStart = ::GetTickCount();
    while (nReceived < nSize)
    {
        const NetResult ready = Wait(true, MillisecondsLeft(dwStart), strError);
        if (ready != NetResult::Done)
            return ready;
        int nError = 0;
        const long nGot = ReceiveSome(p + nReceived, nSize - nReceived, nError);
        if (nGot == 0)
        {
            strError = "the server closed the connection";
            return NetResult::Closed;
        }
        if (nGot < 0)
            return Failure(nError, strError);
        nReceived += static_cast<size_t>(nGot);
        // The second is for silence: a server still answering, however slowly, is waited for.
        dwStart = ::GetTickCount();
    }
    return NetResult::Done;
}

NetResult CStreamLink::ReceiveLine(std::string& line, size_t nMax, std::string& strError)
{
    line.clear();
    DWORD dwStart = ::GetTickCount();
    while (line.size() < nMax && (line.empty() || line.back() != '\n'))
    {
        const NetResult ready = Wait(true, MillisecondsLeft(dwStart), strError);
        if (ready != NetResult::Done)
            return ready;
        char c = 0;
        int nError = 0;
        const long nGot = ReceiveSome(&c, 1, nError);
        if (nGot == 0)
        {
            strError = "the server closed the connection";
            return NetResult::Closed;
        }
        if (nGot < 0)
            return Failure(nError, strError);
        line += c;
        dwStart = ::GetTickCount();
    }
    return NetResult::Done;
}
