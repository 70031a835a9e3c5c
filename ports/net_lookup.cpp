#include "net_lookup.h"

#include <windows.h>

namespace {

// Shared by the caller and the thread; whichever lets go last frees it, so that a caller that
// stopped waiting leaves the thread nothing freed under it.
struct Lookup
{
    LONG nOwners = 2;
    HOST_LOOKUP pfnLookup = nullptr;
    std::string host;
    bool bFound = false;
    unsigned long ulAddress = 0;
    std::string strError;
};

void LetGo(Lookup* pLookup)
{
    if (::InterlockedDecrement(&pLookup->nOwners) == 0)
        delete pLookup;
}

DWORD WINAPI RunLookup(LPVOID pParameter)
{
    Lookup* pLookup = static_cast<Lookup*>(pParameter);
    pLookup->bFound = pLookup->pfnLookup(pLookup->host, pLookup->ulAddress, pLookup->strError);
    LetGo(pLookup);
    return 0;
}

} // namespace

NetResult LookUpHost(HOST_LOOKUP pfnLookup, const std::string& host, unsigned long& ulAddress, std::string& strError)
{
    Lookup* pLookup = new Lookup;
    pLookup->pfnLookup = pfnLookup;
    pLookup->host = host;
    DWORD dwThread = 0;
    const HANDLE hThread = ::CreateThread(nullptr, 0, &RunLookup, pLookup, 0, &dwThread);
    if (hThread == nullptr)
    {
        delete pLookup;
        strError = "the host name \"" + host + "\" could not be looked up: no thread for it";
        return NetResult::Failed;
    }
    const DWORD dwWaited = ::WaitForSingleObject(hThread, NET_TIMEOUT_MS);
    ::CloseHandle(hThread);
    NetResult result = NetResult::TimedOut;
    if (dwWaited != WAIT_OBJECT_0)
        strError = "the host name \"" + host + "\" was not looked up within a second: is the name server reachable?";
    else if (!pLookup->bFound)
    {
        strError = pLookup->strError;
        result = NetResult::Failed;
    }
    else
    {
        ulAddress = pLookup->ulAddress;
        result = NetResult::Done;
    }
    LetGo(pLookup);
    return result;
}

NetResult CKnownHost::Address(const std::string& host, unsigned long& ulAddress, std::string& strError)
{
    if (host != m_host || m_host.empty())
    {
        const NetResult found = LookUpHost(m_pfnLookup, host, m_ulAddress, strError);
        if (found != NetResult::Done)
            return found;
        m_host = host;
    }
    ulAddress = m_ulAddress;
    return NetResult::Done;
}
