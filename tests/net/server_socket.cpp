#include "server_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
typedef SOCKET Socket;
typedef int AddressLength;
const Socket NO_SOCKET = INVALID_SOCKET;
const int SEND_FLAGS = 0;

void CloseSocket(Socket s)
{
    ::closesocket(s);
}
#else
typedef int Socket;
typedef socklen_t AddressLength;
const Socket NO_SOCKET = -1;
// A peer gone while the server answers is an error to the server, not a signal that ends it.
const int SEND_FLAGS = MSG_NOSIGNAL;

void CloseSocket(Socket s)
{
    ::close(s);
}
#endif

Socket Bound(unsigned short nPort, unsigned short& nBound)
{
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
    const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    AddressLength nSize = sizeof(address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nSize);
    nBound = ntohs(address.sin_port);
    return s;
}

} // namespace

long long ServerListen(unsigned short nPort, unsigned short& nBound)
{
    const Socket s = Bound(nPort, nBound);
    ::listen(s, 4);
    return static_cast<long long>(s);
}

#ifndef _WIN32
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
#endif

unsigned short ServerUnusedPort()
{
    unsigned short nPort = 0;
    CloseSocket(Bound(0, nPort));  // bound, never listened on, and closed: a connect there is refused
    return nPort;
}

bool ServerReadable(long long nSocket, int nMilliseconds)
{
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(nSocket), &set);
    timeval timeout = {0, nMilliseconds * 1000};
    return ::select(0, &set, nullptr, nullptr, &timeout) > 0;
#else
    pollfd entry = {static_cast<int>(nSocket), POLLIN, 0};
    return ::poll(&entry, 1, nMilliseconds) > 0;
#endif
}

long long ServerAccept(long long nListener)
{
    // Each answer goes out as it is made, as a JTAG server's should (no wait for the last one's
    // acknowledgement); a UNIX socket has no such option and refuses it harmlessly.
    const Socket s = ::accept(static_cast<Socket>(nListener), nullptr, nullptr);
    const int nOn = 1;
    if (s == NO_SOCKET)
        return -1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&nOn), sizeof(nOn));
    return static_cast<long long>(s);
}

int ServerReceive(long long nSocket, char* pData, size_t nSize)
{
    return static_cast<int>(::recv(static_cast<Socket>(nSocket), pData, static_cast<int>(nSize), 0));
}

void ServerSend(long long nSocket, const char* pData, size_t nSize)
{
    ::send(static_cast<Socket>(nSocket), pData, static_cast<int>(nSize), SEND_FLAGS);
}

void ServerClose(long long nSocket)
{
    CloseSocket(static_cast<Socket>(nSocket));
}
