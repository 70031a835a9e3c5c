#include "libftdi_standin.h"

#include <cstdio>

#include "standin/hex_bytes.h"

namespace {

const char UART_SERIAL[] = "MVUART01";
const unsigned char CHIP_ADDRESS = 5;
const unsigned char UART_ADDRESS = 6;
// The library's context, as far as the cable sees it: an address and the last error.
struct Context
{
    const char* pszError = "all fine";
    int nInterface = 0;
};

Context* Of(ftdi_context* pFtdi)
{
    return reinterpret_cast<Context*>(pFtdi);
}

void Log(const std::string& line)
{
    Libftdi().log.push_back(line);
}

// A call on an open device: fails as libusb does once the device is gone.
int Usable(ftdi_context* pFtdi)
{
    LibftdiStandin& standin = Libftdi();
    if (!standin.bOpen)
    {
        Of(pFtdi)->pszError = "USB device unavailable";
        return -666;
    }
    if (!standin.bPresent)
    {
        Of(pFtdi)->pszError = "usb bulk write failed";
        return -1;
    }
    return 0;
}

ftdi_context* New()
{
    Log("new");
    ++Libftdi().nContexts;
    return reinterpret_cast<ftdi_context*>(new Context);
}

void Free(ftdi_context* pFtdi)
{
    Log("free");
    --Libftdi().nContexts;
    delete Of(pFtdi);
}

int SetInterface(ftdi_context* pFtdi, int nInterface)
{
    Log("interface " + std::to_string(nInterface));
    Of(pFtdi)->nInterface = nInterface;
    return 0;
}

int UsbOpenDesc(ftdi_context* pFtdi, int nVendor, int nProduct, const char* pszDescription, const char* pszSerial)
{
    char line[80];
    snprintf(line, sizeof(line), "open %04X %s", static_cast<unsigned>(nProduct), pszSerial != nullptr ? pszSerial : "-");
    Log(line);
    LibftdiStandin& standin = Libftdi();
    // The adapter is an FT232R: found first by a search that names no serial number.
    if (standin.bUart && nVendor == FTDI_VENDOR && nProduct == 0x6001 &&
        (pszSerial == nullptr || std::string(pszSerial) == UART_SERIAL))
    {
        standin.bUartOpened = true;
        standin.bOpen = true;
        return 0;
    }
    if (nVendor != FTDI_VENDOR || nProduct != standin.nProduct || pszDescription != nullptr || !standin.bPresent ||
        (pszSerial != nullptr && standin.serial != pszSerial))
    {
        Of(pFtdi)->pszError = "device not found";
        return FTDI_DEVICE_NOT_FOUND;
    }
    if (standin.nOpenResult != 0)
    {
        Of(pFtdi)->pszError = standin.nOpenResult == FTDI_NO_PERMISSION ? "inappropriate permissions on device!"
                              : standin.nOpenResult == FTDI_UNABLE_TO_CLAIM
                                  ? "unable to claim usb device. Make sure the default FTDI driver is not in use"
                                  : "usb_open() failed";
        return standin.nOpenResult;
    }
    standin.bOpen = true;
    return 0;
}

int UsbOpenBusAddr(ftdi_context* pFtdi, unsigned char bus, unsigned char address)
{
    Log("open bus " + std::to_string(bus) + " address " + std::to_string(address));
    LibftdiStandin& standin = Libftdi();
    if (bus != 1 || (address != CHIP_ADDRESS && address != UART_ADDRESS) || (address == CHIP_ADDRESS && !standin.bPresent) ||
        (address == UART_ADDRESS && !standin.bUart))
    {
        Of(pFtdi)->pszError = "device not found";
        return FTDI_DEVICE_NOT_FOUND;
    }
    standin.bUartOpened = standin.bUartOpened || address == UART_ADDRESS;
    standin.bOpen = true;
    return 0;
}

int FindAll(ftdi_context*, std::vector<FtdiDevice>& devices)
{
    LibftdiStandin& standin = Libftdi();
    devices.clear();
    if (standin.bPresent)
    {
        FtdiDevice chip;
        chip.serial = standin.serial;
        chip.description = "MV2232 JTAG";
        chip.location = 1 << 8 | CHIP_ADDRESS;
        chip.nChannels = standin.nProduct == 0x6010 ? 2 : 1;
        chip.engine = EngineOfType(standin.nType);
        devices.push_back(chip);
    }
    if (standin.bUart)
    {
        FtdiDevice uart;
        uart.serial = UART_SERIAL;
        uart.description = "FT232R USB UART";
        uart.location = 1 << 8 | UART_ADDRESS;
        devices.push_back(uart);
    }
    Log("find " + std::to_string(devices.size()));
    return static_cast<int>(devices.size());
}

int UsbClose(ftdi_context*)
{
    Log("close");
    Libftdi().bOpen = false;
    return 0;
}

int UsbReset(ftdi_context* pFtdi)
{
    Log("reset");
    const int nResult = Usable(pFtdi);
    if (nResult == 0)
        Libftdi().chip.SetBitMode(0, CFtdiChip::MODE_RESET);
    return nResult;
}

int SetLatencyTimer(ftdi_context* pFtdi, unsigned char latency)
{
    Log("latency " + std::to_string(latency));
    return Usable(pFtdi);
}

int SetBaudrate(ftdi_context* pFtdi, int nBaudrate)
{
    Log("baud " + std::to_string(nBaudrate));
    return Usable(pFtdi);
}

int SetBitmode(ftdi_context* pFtdi, unsigned char bitmask, unsigned char mode)
{
    Log("bitmode" + HexBytes(&bitmask, 1) + HexBytes(&mode, 1));
    const int nResult = Usable(pFtdi);
    if (nResult == 0)
        Libftdi().chip.SetBitMode(bitmask, mode);
    return nResult;
}

int Tcioflush(ftdi_context* pFtdi)
{
    Log("flush");
    const int nResult = Usable(pFtdi);
    if (nResult == 0)
        Libftdi().chip.Purge();
    return nResult;
}

int WriteData(ftdi_context* pFtdi, const unsigned char* pBuffer, int nSize)
{
    LibftdiStandin& standin = Libftdi();
    if (standin.bQuiet)
    {
        ++standin.nWrites;
        standin.nWrittenBytes += static_cast<size_t>(nSize);
        standin.kept.emplace_back(pBuffer, pBuffer + nSize);
    }
    else
        Log("write" + HexBytes(pBuffer, nSize));
    if (Libftdi().nUnplugAtWrite > 0 && --Libftdi().nUnplugAtWrite == 0)
        Libftdi().bPresent = false;
    const int nResult = Usable(pFtdi);
    if (nResult != 0)
        return nResult;
    if (!Libftdi().bSilent)
        Libftdi().chip.Write(pBuffer, static_cast<size_t>(nSize));
    return nSize;
}

int ReadData(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize)
{
    const int nResult = Usable(pFtdi);
    int nGot = nResult;
    if (nResult == 0)
    {
        LibftdiStandin& standin = Libftdi();
        const size_t nWant = static_cast<size_t>(nSize) < standin.nPiece ? static_cast<size_t>(nSize) : standin.nPiece;
        nGot = static_cast<int>(standin.chip.Read(pBuffer, nWant));
    }
    if (Libftdi().bQuiet)
        ++Libftdi().nReads;
    else
        Log("read " + std::to_string(nSize) + " -> " + std::to_string(nGot));
    return nGot;
}

const char* GetErrorString(ftdi_context* pFtdi)
{
    return Of(pFtdi)->pszError;
}

void SetTimeouts(ftdi_context*, int nReadMs, int nWriteMs)
{
    Log("timeouts " + std::to_string(nReadMs) + " " + std::to_string(nWriteMs));
}

int ChipType(ftdi_context*)
{
    return Libftdi().nType;
}

// A transfer started: a write is made at once, a read when it is waited for, from what the chip
// has by then.
struct Transfer
{
    ftdi_context* pFtdi;
    unsigned char* pBuffer;
    int nSize;
    bool bRead;
    int nWritten;
};

ftdi_transfer_control* WriteSubmit(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize)
{
    return reinterpret_cast<ftdi_transfer_control*>(new Transfer{pFtdi, pBuffer, nSize, false,
                                                                 WriteData(pFtdi, pBuffer, nSize)});
}

ftdi_transfer_control* ReadSubmit(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize)
{
    return reinterpret_cast<ftdi_transfer_control*>(new Transfer{pFtdi, pBuffer, nSize, true, 0});
}

int TransferDone(ftdi_transfer_control* pControl)
{
    Transfer* pTransfer = reinterpret_cast<Transfer*>(pControl);
    int nDone = pTransfer->nWritten;
    if (pTransfer->bRead)
    {
        // The whole answer as far as the chip has it: an asynchronous read is not cut in pieces.
        LibftdiStandin& standin = Libftdi();
        const size_t nPiece = standin.nPiece;
        standin.nPiece = static_cast<size_t>(pTransfer->nSize);
        nDone = ReadData(pTransfer->pFtdi, pTransfer->pBuffer, pTransfer->nSize);
        standin.nPiece = nPiece;
    }
    delete pTransfer;
    return nDone;
}

} // namespace

LibftdiStandin& Libftdi()
{
    return StandinOf<LibftdiStandin>();
}

const LibftdiApi& StandinLibftdi()
{
    StandinOf<LibftdiStandin>(true);
    static const LibftdiApi s_api = {&New,        &Free,       &SetInterface,    &UsbOpenDesc, &UsbOpenBusAddr, &FindAll, &UsbClose,
                                     &UsbReset,   &SetLatencyTimer, &SetBaudrate, &SetBitmode, &Tcioflush,
                                     &WriteData,  &ReadData,   &GetErrorString,  &SetTimeouts,
                                     &ChipType,   &WriteSubmit, &ReadSubmit,      &TransferDone};
    return s_api;
}
