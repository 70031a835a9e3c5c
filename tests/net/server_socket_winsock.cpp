#include <winsock2.h>

#include "server_socket.h"

long long ServerListen(unsigned short nPort, unsigned short& nBound)
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int nSize = sizeof(address);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &nSize);
    nBound = ntohs(address.sin_port);
    ::listen(listener, 4);
    return static_cast<long long>(listener);
}

unsigned short ServerUnusedPort()
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int nSize = sizeof(address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nSize);
    ::closesocket(s);  // bound, never listened on, and closed: a connect there is refused
    return ntohs(address.sin_port);
}

bool ServerReadable(long long nSocket, int nMilliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(nSocket), &set);
    timeval timeout = {0, nMilliseconds * 1000};
    return ::select(0, &set, nullptr, nullptr, &timeout) > 0;
}

long long ServerAccept(long long nListener)
{
    // Each answer goes out as it is made, as a JTAG server's should.
    const SOCKET s = ::accept(static_cast<SOCKET>(nListener), nullptr, nullptr);
    const BOOL bOn = TRUE;
    if (s != INVALID_SOCKET)
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bOn), sizeof(bOn));
    return s == INVALID_SOCKET ? -1 : static_cast<long long>(s);
}

int ServerReceive(long long nSocket, char* pData, size_t nSize)
{
    return ::recv(static_cast<SOCKET>(nSocket), pData, static_cast<int>(nSize), 0);
}

void ServerSend(long long nSocket, const char* pData, size_t nSize)
{
    ::send(static_cast<SOCKET>(nSocket), pData, static_cast<int>(nSize), 0);
}

void ServerClose(long long nSocket)
{
    ::closesocket(static_cast<SOCKET>(nSocket));
}
