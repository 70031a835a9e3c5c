// A stand-in for libftdi1, for tests: one FTDI chip, in synchronous bit-bang mode or running
// MPSSE's commands, with the simulated board on its pins, behind the same calls as the real
// library takes.
#pragma once

#include <string>
#include <vector>

#include "ports/libftdi.h"
#include "simboard/ftdi_chip.h"
#include "standin/call_log.h"

// The calls, one line each in log: "new", "timeouts 400 400", "interface 2", "open 6010 MV2232",
// "reset", "latency 2", "baud 9600", "bitmode 00 04", "flush", "write 0A 0A 0B 0B", "read 4 -> 4",
// "close", "free"; "find 2", "open bus 1 address 5".
struct LibftdiStandin : CallLog
{
    int nProduct = 0x6010;           // the chip on the bus (FT2232)
    // The context's chip type once open: TYPE_R, without MPSSE, keeps the cable in bit-bang;
    // FTDI_TYPE_2232C or an H series type gives it MPSSE.
    int nType = 3;
    std::string serial = "MV2232";
    bool bPresent = true;            // false: unplugged
    bool bUart = false;              // an FT232R USB UART (MVUART01) is plugged in beside it
    bool bUartOpened = false;        // something opened the adapter
    int nOpenResult = 0;             // what opening a present device answers (-4, -5, -8: refused)
    size_t nPiece = 64;              // the most one read gives
    bool bSilent = false;            // the chip takes writes but sends nothing back
    int nUnplugAtWrite = 0;          // unplugged as the write this many writes on is made (0: never)
    // For the benchmark: writes and reads counted, not logged, and each write's bytes kept.
    bool bQuiet = false;
    size_t nWrites = 0, nWrittenBytes = 0, nReads = 0;
    std::vector<std::vector<unsigned char>> kept;
    int nContexts = 0;               // contexts made and not yet freed
    bool bOpen = false;
    CFtdiChip chip;
};

LibftdiStandin& Libftdi();
// Starts the stand-in afresh and gives its calls.
const LibftdiApi& StandinLibftdi();
