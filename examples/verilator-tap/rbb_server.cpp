// The Verilated TAP behind OpenOCD's remote_bitbang protocol: '0' to '7' set TCK, TMS and TDI
// (4, 2, 1), 'R' answers TDO as '0' or '1', 'Q' ends the session; the reset characters 'r' to
// 'u' and blink ('B', 'b') are taken and ignored (this TAP has no TRST). One client at a time,
// on the loopback only.
//
// Usage: rbb_server [PORT [tdo=0|tdo=1]]   (PORT 0 or none: any free port; the port is printed on
// the first line. tdo=: TDO held at that level whatever the TAP does, as a board without power
// or with TDO unwired shows it.)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Vtop.h"
#include "verilated.h"

int main(int argc, char** argv)
{
    Verilated::commandArgs(argc, argv);
    const char stuck = argc > 2 && std::strncmp(argv[2], "tdo=", 4) == 0 ? argv[2][4] : 0;
    Vtop tap;
    tap.tck = 0;
    tap.tms = 1;
    tap.tdi = 1;
    tap.eval();

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(argc > 1 ? atoi(argv[1]) : 0));
    socklen_t size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    {
        perror("rbb_server");
        return 1;
    }
    printf("remote_bitbang on 127.0.0.1:%u\n", ntohs(address.sin_port));
    fflush(stdout);

    for (;;)
    {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        char buffer[4096];
        bool quit = false;
        while (!quit)
        {
            const ssize_t got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            char answers[4096];
            size_t answered = 0;
            for (ssize_t i = 0; i < got; ++i)
            {
                const char c = buffer[i];
                if (c >= '0' && c <= '7')
                {
                    tap.tck = (c - '0') >> 2 & 1;
                    tap.tms = (c - '0') >> 1 & 1;
                    tap.tdi = (c - '0') & 1;
                    tap.eval();
                }
                else if (c == 'R')
                    answers[answered++] = stuck != 0 ? stuck : tap.tdo ? '1' : '0';
                else if (c == 'Q')
                    quit = true;
            }
            if (answered > 0 && send(client, answers, answered, MSG_NOSIGNAL) < 0)
                break;
        }
        close(client);
    }
}
