// Which cable the program drives, as a person writes it: "lpt", "lpt:0xD010" (Windows),
// "lpt:/dev/parport1" (Linux), "ftdi", "ftdi:SERIAL", "ftdi:SERIAL/B", "dap", "dap:SERIAL" (a
// CMSIS-DAP probe), "sim", "sim:chain",
// "sim:bsdl=FILE" (a simulated chip as its BSDL file describes it), "sim:board=FILE" (a simulated
// board of chips and nets as its board file describes it), or a JTAG server
// on the network: "rbb:HOST:PORT" (OpenOCD's remote_bitbang; on Linux also "rbb:/path/to/socket")
// and "xvc:HOST:PORT" (Xilinx Virtual Cable 1.0).
#pragma once

#include <string>

enum class CableKind
{
    Lpt,
    Ftdi,
    Sim,
    RemoteBitbang,
    Xvc,
    Dap,
};

struct CableName
{
    CableKind kind = CableKind::Lpt;
    unsigned short address = 0x378;  // data register; status is the next address
    std::string device;              // a parallel port's device file, or remote_bitbang's UNIX socket
    std::string host;                // a network server's host name or IPv4 address
    unsigned short port = 0;         // and its TCP port
    std::string serial;              // empty: the first FTDI device (or CMSIS-DAP probe) found
    char channel = 0;                // 'A' to 'D' on two- and four-channel chips; 0: not given
    bool bChosen = false;            // false: nobody chose, the system's default applies
    bool bChain = false;             // sim:chain: the simulated chain of three devices
    std::string bsdl;                // sim:bsdl=FILE: the simulated chip's BSDL file
    std::string board;               // sim:board=FILE: the simulated board's file
};

// False, with the reason in strError, for anything that is not one of the forms above. An
// address is accepted only where a parallel port can be: 0x378, 0x278 or 0x3BC below 0x400
// (the rest of that range belongs to the PC's own devices), and from 0x400 to 0xFFF8 a multiple
// of 8, as add-in cards decode eight registers. A device file is an absolute path.
bool ParseCableName(const std::string& strText, CableName& cable, std::string& strError);

// "parallel port at 0x378", "parallel port /dev/parport0", "FTDI cable MV1234 channel B",
// "simulated board", "simulated chip from FILE", "simulated board from FILE", "remote_bitbang server at localhost:44853", "XVC server at 10.0.0.2:2542".
std::string DescribeCable(const CableName& cable);
