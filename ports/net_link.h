// A stream connection to a JTAG server on the network (or, on Linux, a UNIX socket), in which a
// host name's look-up, a connect, a send and a receive each wait at most NET_TIMEOUT_MS. The system's half is
// net_link_windows.cpp (Winsock 1.1, loaded only when it is needed) or net_link_linux.cpp.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

const int NET_TIMEOUT_MS = 1000;

enum class NetResult
{
    Done,
    Refused,   // nothing listens there
    TimedOut,  // no answer within NET_TIMEOUT_MS
    Closed,    // the server closed the connection
    Failed,    // anything else: the text says what
};

class CNetLink
{
public:
    virtual ~CNetLink() {}
    // A host name or a dotted IPv4 address, and a TCP port; TCP_NODELAY is set.
    virtual NetResult Connect(const std::string& host, unsigned short port, std::string& strError) = 0;
    // A UNIX socket's path.
    virtual NetResult ConnectLocal(const std::string& path, std::string& strError) = 0;
    virtual NetResult Send(const void* pData, size_t nSize, std::string& strError) = 0;
    // Exactly nSize bytes, or fewer (nReceived) when the time runs out or the server closes.
    virtual NetResult Receive(void* pData, size_t nSize, size_t& nReceived, std::string& strError) = 0;
    // Bytes up to and with a '\n', at most nMax of them, all within NET_TIMEOUT_MS.
    virtual NetResult ReceiveLine(std::string& line, size_t nMax, std::string& strError) = 0;
    virtual void Close() = 0;
    virtual bool IsConnected() const = 0;
};

// The IPv4 address of a host name in network order, or false with why.
typedef bool (*HOST_LOOKUP)(const std::string& host, unsigned long& ulAddress, std::string& strError);

// A link of this system, not connected; pfnLookup looks host names up in place of the system's
// name service (tests).
std::unique_ptr<CNetLink> MakeNetLink(HOST_LOOKUP pfnLookup = nullptr);

// What both systems' links do alike: sends and receives in a loop of waits, each wait bounded
// by what is left of NET_TIMEOUT_MS. Each system gives the socket's own calls.
class CStreamLink : public CNetLink
{
public:
    NetResult Send(const void* pData, size_t nSize, std::string& strError) override;
    NetResult Receive(void* pData, size_t nSize, size_t& nReceived, std::string& strError) override;
    NetResult ReceiveLine(std::string& line, size_t nMax, std::string& strError) override;

protected:
    // Until the socket can be read (bRead) or written, at most nMs milliseconds.
    virtual NetResult Wait(bool bRead, int nMs, std::string& strError) = 0;
    // Bytes sent or received by one call, 0 for a closed connection (receiving), or -1 with the
    // system's error in nError.
    virtual long SendSome(const char* pData, size_t nSize, int& nError) = 0;
    virtual long ReceiveSome(char* pData, size_t nSize, int& nError) = 0;
    // What the system's error means, said in strError.
    virtual NetResult Failure(int nError, std::string& strError) = 0;
};
