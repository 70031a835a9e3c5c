// BSD sockets, non-blocking, with poll() for every wait.
#include "net_link.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string ErrorText(int nError)
{
    return std::strerror(nError);
}

class CSocketLink : public CNetLink
{
public:
    ~CSocketLink() override { Close(); }

    NetResult Connect(const std::string& host, unsigned short port, std::string& strError) override
    {
        Close();
        addrinfo hints = {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* pFound = nullptr;
        const int nLookup = ::getaddrinfo(host.c_str(), nullptr, &hints, &pFound);
        if (nLookup != 0 || pFound == nullptr)
        {
            strError = "the host name \"" + host + "\" is not known (" + ::gai_strerror(nLookup) + ")";
            return NetResult::Failed;
        }
        sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(pFound->ai_addr);
        ::freeaddrinfo(pFound);
        address.sin_port = htons(port);
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

    NetResult Send(const void* pData, size_t nSize, std::string& strError) override
    {
        const char* p = static_cast<const char*>(pData);
        while (nSize > 0)
        {
            const NetResult ready = Wait(POLLOUT, strError);
            if (ready != NetResult::Done)
                return ready;
            const ssize_t nSent = ::send(m_fd, p, nSize, MSG_NOSIGNAL);
            if (nSent < 0)
                return Failure(errno, strError);
            p += nSent;
            nSize -= static_cast<size_t>(nSent);
        }
        return NetResult::Done;
    }

    NetResult Receive(void* pData, size_t nSize, size_t& nReceived, std::string& strError) override
    {
        nReceived = 0;
        char* p = static_cast<char*>(pData);
        while (nReceived < nSize)
        {
            const NetResult ready = Wait(POLLIN, strError);
            if (ready != NetResult::Done)
                return ready;
            const ssize_t nGot = ::recv(m_fd, p + nReceived, nSize - nReceived, 0);
            if (nGot == 0)
            {
                strError = "the server closed the connection";
                return NetResult::Closed;
            }
            if (nGot < 0)
                return Failure(errno, strError);
            nReceived += static_cast<size_t>(nGot);
        }
        return NetResult::Done;
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
        NetResult result = Wait(POLLOUT, strError);
        int nError = 0;
        socklen_t nSize = sizeof(nError);
        if (result == NetResult::Done && ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nSize) == 0 && nError != 0)
            result = Failure(nError, strError);
        if (result != NetResult::Done)
            Close();
        return result;
    }

    NetResult Wait(short nEvents, std::string& strError)
    {
        if (m_fd < 0)
        {
            strError = "not connected";
            return NetResult::Failed;
        }
        pollfd entry = {m_fd, nEvents, 0};
        int nReady;
        do
            nReady = ::poll(&entry, 1, NET_TIMEOUT_MS);
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

    static NetResult Failure(int nError, std::string& strError)
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

    int m_fd = -1;
};

} // namespace

std::unique_ptr<CNetLink> MakeNetLink()
{
    return std::make_unique<CSocketLink>();
}
