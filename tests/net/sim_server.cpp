// The simulated board served over remote_bitbang on the loopback, for other JTAG tools to drive:
// prints "remote_bitbang on 127.0.0.1:PORT" and serves until its standard input closes.
#include <windows.h>

#include <cstdio>

#include "jtag_server.h"

int main()
{
    CJtagServer server(ServerProtocol::RemoteBitbang);
    std::printf("remote_bitbang on 127.0.0.1:%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    char buffer[256];
    DWORD dwRead = 0;
    HANDLE hInput = ::GetStdHandle(STD_INPUT_HANDLE);
    while (::ReadFile(hInput, buffer, sizeof(buffer), &dwRead, nullptr) != FALSE && dwRead > 0)
    {
    }
    return 0;
}
