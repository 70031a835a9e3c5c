// BSD sockets, non-blocking, with poll() for every wait.
#include "net_link.h"


#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "net_lookup.h"

namespace {

bool SystemLookup(const std::string& host, unsigned long& ulAddress, std::string& strError)
{
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    const int nLookup = ::getaddrinfo(host.c_str(), nullptr, &hints, &pFound);
    if (nLookup != 0 || pFound == nullptr)
    {
        strError = "the host name \"" + host + "\" is not known (" + ::gai_strerror(nLookup) + ")";
        return false;
    }
    ulAddress = reinterpret_cast<const sockaddr_in*>(pFound->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(pFound);
    return true;
}

std::string ErrorText(int nError)
{
    return std::strerror(nError);
}

class CSocketLink : public CStreamLink
{
public:
    explicit CSocketLink(HOST_LOOKUP pfnLookup) : m_knownHost(pfnLookup != nullptr ? pfnLookup : &SystemLookup) {}
    ~CSocketLink() override { Close(); }

    NetResult Connect(const std::string& host, unsigned short port, std::string& strError) override
    {
        Close();
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        {
            unsigned long ulAddress = 0;
            const NetResult found = m_knownHost.Address(host, ulAddress, strError);
            if (found != NetResult::Done)
                return found;
            address.sin_addr.s_addr = static_cast<in_addr_t>(ulAddress);
        }
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
        {
            strError = "no socket: " + ErrorText(errno);
            return NetResult::Failed;
        }
        const int nOn = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof(nOn));
        return Finish(reinterpret_cast<const sockaddr*>(&address), sizeof(address), strError);
    }

    NetResult ConnectLocal(const std::string& path, std::string& strError) override
    {
        Close();
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof(address.sun_path))
        {
            strError = "the socket path is longer than the system allows";
            return NetResult::Failed;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (m_fd < 0)
        {
            strError = "no socket: " + ErrorText(errno);
            return NetResult::Failed;
        }
        return Finish(reinterpret_cast<const sockaddr*>(&address), sizeof(address), strError);
    }

    void Close() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool IsConnected() const override { return m_fd >= 0; }

private:
    NetResult Finish(const sockaddr* pAddress, socklen_t nLength, std::string& strError)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        if (::connect(m_fd, pAddress, nLength) != 0 && errno != EINPROGRESS)
        {
            const NetResult result = Failure(errno, strError);
            Close();
            return result;
        }
        NetResult result = Wait(false, NET_TIMEOUT_MS, strError);
        int nError = 0;
        socklen_t nSize = sizeof(nError);
        if (result == NetResult::Done && ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nSize) == 0 && nError != 0)
            result = Failure(nError, strError);
        if (result != NetResult::Done)
            Close();
        return result;
    }

    long SendSome(const char* pData, size_t nSize, int& nError) override
    {
        const ssize_t nSent = ::send(m_fd, pData, nSize, MSG_NOSIGNAL);
        nError = nSent < 0 ? errno : 0;
        return static_cast<long>(nSent);
    }

    long ReceiveSome(char* pData, size_t nSize, int& nError) override
    {
        const ssize_t nGot = ::recv(m_fd, pData, nSize, 0);
        nError = nGot < 0 ? errno : 0;
        return static_cast<long>(nGot);
    }

    NetResult Wait(bool bRead, int nMs, std::string& strError) override
    {
        if (m_fd < 0)
        {
            strError = "not connected";
            return NetResult::Failed;
        }
        pollfd entry = {m_fd, static_cast<short>(bRead ? POLLIN : POLLOUT), 0};
        int nReady;
        do
            nReady = ::poll(&entry, 1, nMs > 0 ? nMs : 0);
        while (nReady < 0 && errno == EINTR);
        if (nReady == 0)
        {
            strError = "no answer within a second";
            return NetResult::TimedOut;
        }
        if (nReady < 0)
            return Failure(errno, strError);
        return NetResult::Done;
    }

    NetResult Failure(int nError, std::string& strError) override
    {
        strError = ErrorText(nError);
        if (nError == ECONNREFUSED || nError == ENOENT)
            return NetResult::Refused;
        if (nError == ECONNRESET || nError == EPIPE)
        {
            strError = "the server closed the connection";
            return NetResult::Closed;
        }
        return NetResult::Failed;
    }

    CKnownHost m_knownHost;
    int m_fd = -1;
};

} // namespace

std::unique_ptr<CNetLink> MakeNetLink(HOST_LOOKUP pfnLookup)
{
    return std::make_unique<CSocketLink>(pfnLookup);
}
