// A host name looked up on a thread of its own, waited for at most NET_TIMEOUT_MS: a name
// server that does not answer holds the window no longer than a connect does. Each system's
// link gives the look-up itself (gethostbyname, getaddrinfo).
#pragma once

#include <string>

#include "net_link.h"

// pfnLookup runs on the look-up's thread. Done with the address, Failed when the name is not known, TimedOut when no answer came in
// time (the look-up then ends on its own, and its answer is dropped).
NetResult LookUpHost(HOST_LOOKUP pfnLookup, const std::string& host, unsigned long& ulAddress, std::string& strError);

// A host name's address, looked up once and kept: a reconnect waits for no name server.
class CKnownHost
{
public:
    explicit CKnownHost(HOST_LOOKUP pfnLookup) : m_pfnLookup(pfnLookup) {}

    NetResult Address(const std::string& host, unsigned long& ulAddress, std::string& strError);

private:
    HOST_LOOKUP m_pfnLookup;
    std::string m_host;
    unsigned long m_ulAddress = 0;
};
