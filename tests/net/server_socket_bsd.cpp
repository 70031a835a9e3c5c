#include "server_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int Bound(unsigned short nPort, unsigned short& nBound)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t nSize = sizeof(address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &nSize);
    nBound = ntohs(address.sin_port);
    return fd;
}

} // namespace

long long ServerListen(unsigned short nPort, unsigned short& nBound)
{
    const int fd = Bound(nPort, nBound);
    ::listen(fd, 4);
    return fd;
}

long long ServerListenLocal(const char* pszPath)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, pszPath, sizeof(address.sun_path) - 1);
    ::unlink(pszPath);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(fd, 4);
    return fd;
}

unsigned short ServerUnusedPort()
{
    unsigned short nPort = 0;
    ::close(Bound(0, nPort));  // bound, never listened on, and closed: a connect there is refused
    return nPort;
}

bool ServerReadable(long long nSocket, int nMilliseconds)
{
    pollfd entry = {static_cast<int>(nSocket), POLLIN, 0};
    return ::poll(&entry, 1, nMilliseconds) > 0;
}

long long ServerAccept(long long nListener)
{
    // Each answer goes out as it is made, as a JTAG server's should (no wait for the last one's
    // acknowledgement); a UNIX socket has no such option and refuses it harmlessly.
    const int nSocket = ::accept(static_cast<int>(nListener), nullptr, nullptr);
    const int nOn = 1;
    if (nSocket >= 0)
        ::setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof(nOn));
    return nSocket;
}

int ServerReceive(long long nSocket, char* pData, size_t nSize)
{
    return static_cast<int>(::recv(static_cast<int>(nSocket), pData, nSize, 0));
}

void ServerSend(long long nSocket, const char* pData, size_t nSize)
{
    ::send(static_cast<int>(nSocket), pData, nSize, MSG_NOSIGNAL);
}

void ServerClose(long long nSocket)
{
    ::close(static_cast<int>(nSocket));
}
