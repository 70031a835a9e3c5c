// The simulated board served over remote_bitbang on the loopback, for other JTAG tools to drive:
// writes the port it listens on into the file named, and serves until that file is deleted.
// With --drip-ms N it answers as a slow simulation does, a byte every N milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "jtag_server.h"

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--drip-ms" && std::atoi(argv[3]) > 0))
    {
        std::fprintf(stderr, "usage: sim_server PORTFILE [--drip-ms N]\n");
        return 2;
    }
    CJtagServer server(ServerProtocol::RemoteBitbang);
    if (argc == 4)
    {
        ServerFaults faults;
        faults.nDripMs = std::atoi(argv[3]);
        server.SetFaults(faults);
    }
    const std::string strPort = std::to_string(server.Port()) + "\n";
    const std::string strPart = std::string(argv[1]) + ".part";
    FILE* pFile = std::fopen(strPart.c_str(), "w");
    if (pFile == nullptr || std::fputs(strPort.c_str(), pFile) < 0 || std::fclose(pFile) != 0 ||
        ::MoveFileExA(strPart.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) == FALSE)
        return 1;
    while (::GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES)
        ::Sleep(100);
    return 0;
}
