// The few socket calls the test server makes, for each build: Winsock 2 in the Windows tests,
// BSD sockets in the Linux program's (both in server_socket.cpp).
#pragma once

#include <cstddef>

// A socket listening on the loopback at nPort (0: any free port); gives the port it has.
long long ServerListen(unsigned short nPort, unsigned short& nBound);
// A socket listening on a UNIX socket's path (BSD sockets only: the Linux program's tests).
long long ServerListenLocal(const char* pszPath);
// A port on the loopback where nothing listens.
unsigned short ServerUnusedPort();
// Whether the socket can be read (or accepted on) within nMilliseconds.
bool ServerReadable(long long nSocket, int nMilliseconds);
long long ServerAccept(long long nListener);  // negative when none
int ServerReceive(long long nSocket, char* pData, size_t nSize);  // 0: closed; negative: failed
void ServerSend(long long nSocket, const char* pData, size_t nSize);
void ServerClose(long long nSocket);
