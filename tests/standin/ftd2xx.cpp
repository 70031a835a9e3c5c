// A stand-in for FTDI's D2XX library, for tests: one FT232H-like chip in synchronous bit-bang
// mode with the simulated board on its pins, and where asked a USB-serial adapter beside it.
// Set by the environment:
//   MORVA_FTDI_LOG     the log's path: "loaded <path>", then one line a call, e.g. "list 2",
//                      "openex MV232H01", "bitmode 0B 04", "write 0A 0A 0B 0B", "read 4", "close";
//                      a call on the adapter's handle starts with "uart "
//   MORVA_FTDI_SERIAL  the board's chip's serial number (default MV232H01)
//   MORVA_FTDI_TYPE    the board's chip's FT_DEVICE number (default 5, an FT232R: no MPSSE, so
//                      the cable bit-bangs; 4, 6, 7 and 8 have MPSSE)
//   MORVA_FTDI_PLUG    a file's path: the board's chip is plugged in while that file exists
//   MORVA_FTDI_UART    if set, an FT232R USB UART (serial MVUART01) is plugged in as well, listed
//                      after the board's chip, or before it if set to "first"
// Built as ftd2xx.dll (whole, and without FT_SetBitMode as an old library), and into test
// programs, where the same calls stand behind the cable in the same process.
#include <windows.h>

#include <cstdio>
#include <string>

#include "hex_bytes.h"

#include "ftd2xx_standin.h"

#ifdef STANDIN_IN_PROCESS
#define STANDIN_EXPORT
#else
#define STANDIN_EXPORT __declspec(dllexport)
#endif

namespace {

CFtdiChip g_chip;
bool g_bOpen = false;
// A handle dies with the device it was opened on: unplugging makes it useless for good.
bool g_bHandleDead = false;
FT_HANDLE const DEVICE_HANDLE = reinterpret_cast<FT_HANDLE>(0x2232);
// The adapter: its pins drive nothing of the board's.
CFtdiChip g_uart;
bool g_bUartOpen = false;
FT_HANDLE const UART_HANDLE = reinterpret_cast<FT_HANDLE>(0x0232);
const char UART_SERIAL[] = "MVUART01";
const DWORD DEVICE_LOCATION = 0x0111;
const DWORD UART_LOCATION = 0x0112;

std::string Environment(const char* pszName)
{
    char text[MAX_PATH] = {};
    if (::GetEnvironmentVariableA(pszName, text, MAX_PATH) == 0)
        return std::string();
    return text;
}

void Log(const std::string& line)
{
    const std::string path = Environment("MORVA_FTDI_LOG");
    if (path.empty())
        return;
    FILE* pFile = fopen(path.c_str(), "a");
    if (pFile == nullptr)
        return;
    fprintf(pFile, "%s\n", line.c_str());
    fclose(pFile);
}

bool Plugged()
{
    const std::string path = Environment("MORVA_FTDI_PLUG");
    return path.empty() || ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Serial()
{
    const std::string serial = Environment("MORVA_FTDI_SERIAL");
    return serial.empty() ? "MV232H01" : serial;
}

ULONG BoardType()
{
    const std::string type = Environment("MORVA_FTDI_TYPE");
    return type.empty() ? 5 : static_cast<ULONG>(std::stoul(type));
}

std::string Uart()
{
    return Environment("MORVA_FTDI_UART");
}

// What a call on that handle logs: the adapter's calls are marked.
std::string On(FT_HANDLE ftHandle, const std::string& line)
{
    return ftHandle == UART_HANDLE ? "uart " + line : line;
}

CFtdiChip& ChipOf(FT_HANDLE ftHandle)
{
    return ftHandle == UART_HANDLE ? g_uart : g_chip;
}

// Every call on an open handle: the device must still be there.
FT_STATUS Usable(FT_HANDLE ftHandle)
{
    if (ftHandle == UART_HANDLE && g_bUartOpen)
        return FT_OK;
    if (ftHandle != DEVICE_HANDLE || !g_bOpen)
        return 1;  // FT_INVALID_HANDLE
    if (!Plugged())
        g_bHandleDead = true;
    return g_bHandleDead ? 4 : FT_OK;  // FT_IO_ERROR
}

FT_STATUS Open(FT_HANDLE* pHandle)
{
    if (!Plugged())
        return FT_DEVICE_NOT_FOUND;
    if (g_bOpen && !g_bHandleDead)
        return 3;  // FT_DEVICE_NOT_OPENED: another handle has it
    g_bOpen = true;
    g_bHandleDead = false;
    // Plugged in anew: the chip starts from its power-on mode; the board keeps its state.
    g_chip.SetBitMode(0, CFtdiChip::MODE_RESET);
    g_chip.Purge();
    *pHandle = DEVICE_HANDLE;
    return FT_OK;
}

} // namespace

CFtdiChip& StandinChip()
{
    return g_chip;
}

extern "C" {

#ifndef STANDIN_IN_PROCESS
BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(hInstance, self, MAX_PATH);
        Log(std::string("loaded ") + self);
    }
    return TRUE;
}
#endif

// The devices plugged in now, in the library's order.
STANDIN_EXPORT FT_STATUS WINAPI FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs)
{
    *lpdwNumDevs = (Plugged() ? 1 : 0) + (Uart().empty() ? 0 : 1);
    Log("list " + std::to_string(*lpdwNumDevs));
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_GetDeviceInfoDetail(DWORD dwIndex, LPDWORD lpdwFlags, LPDWORD lpdwType,
                                                       LPDWORD lpdwID, LPDWORD lpdwLocId, LPVOID lpSerialNumber,
                                                       LPVOID lpDescription, FT_HANDLE* pftHandle)
{
    const bool bUartFirst = Uart() == "first";
    const bool bBoard = Plugged() && dwIndex == (bUartFirst && !Uart().empty() ? 1u : 0u);
    const bool bUart = !Uart().empty() && !bBoard && dwIndex == (bUartFirst || !Plugged() ? 0u : 1u);
    if (!bBoard && !bUart)
        return FT_DEVICE_NOT_FOUND;
    *lpdwFlags = (bBoard ? g_bOpen : g_bUartOpen) ? 1 : 0;
    *lpdwType = bBoard ? BoardType() : 5;  // FT_DEVICE_232R
    *lpdwID = bBoard ? 0x04036014 : 0x04036001;
    *lpdwLocId = bBoard ? DEVICE_LOCATION : UART_LOCATION;
    lstrcpynA(static_cast<char*>(lpSerialNumber), bBoard ? Serial().c_str() : UART_SERIAL, 16);
    lstrcpynA(static_cast<char*>(lpDescription), bBoard ? "MV232H JTAG" : "FT232R USB UART", 64);
    *pftHandle = nullptr;
    return FT_OK;
}

// Not logged: a question, not a step of the cable's sequence.
STANDIN_EXPORT FT_STATUS WINAPI FT_GetDeviceInfo(FT_HANDLE ftHandle, ULONG* pType, LPDWORD lpdwID, PCHAR pSerialNumber,
                                                 PCHAR pDescription, LPVOID)
{
    const FT_STATUS status = Usable(ftHandle);
    if (status != FT_OK)
        return status;
    const bool bBoard = ftHandle == DEVICE_HANDLE;
    *pType = bBoard ? BoardType() : 5;
    *lpdwID = bBoard ? 0x04036014 : 0x04036001;
    lstrcpynA(pSerialNumber, bBoard ? Serial().c_str() : UART_SERIAL, 16);
    lstrcpynA(pDescription, bBoard ? "MV232H JTAG" : "FT232R USB UART", 64);
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_OpenEx(PVOID pArg1, DWORD dwFlags, FT_HANDLE* pHandle)
{
    if (dwFlags == FT_OPEN_BY_LOCATION)
    {
        const DWORD dwLocation = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pArg1));
        char line[40];
        snprintf(line, sizeof(line), "openex location %04lX", static_cast<unsigned long>(dwLocation));
        Log(line);
        return dwLocation == DEVICE_LOCATION ? Open(pHandle) : FT_DEVICE_NOT_FOUND;
    }
    const std::string serial = static_cast<const char*>(pArg1);
    Log("openex " + serial);
    if (dwFlags == FT_OPEN_BY_SERIAL_NUMBER && serial == UART_SERIAL && !Uart().empty() && !g_bUartOpen)
    {
        g_bUartOpen = true;
        g_uart.SetBitMode(0, CFtdiChip::MODE_RESET);
        *pHandle = UART_HANDLE;
        return FT_OK;
    }
    if (dwFlags != FT_OPEN_BY_SERIAL_NUMBER || serial != Serial())
        return FT_DEVICE_NOT_FOUND;
    return Open(pHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Close(FT_HANDLE ftHandle)
{
    Log(On(ftHandle, "close"));
    if (ftHandle == UART_HANDLE && g_bUartOpen)
    {
        g_bUartOpen = false;
        return FT_OK;
    }
    if (ftHandle != DEVICE_HANDLE || !g_bOpen)
        return 1;
    g_bOpen = false;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_ResetDevice(FT_HANDLE ftHandle)
{
    Log(On(ftHandle, "reset"));
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ulReadTimeout, ULONG ulWriteTimeout)
{
    Log(On(ftHandle, "timeouts " + std::to_string(ulReadTimeout) + " " + std::to_string(ulWriteTimeout)));
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    Log(On(ftHandle, "latency " + std::to_string(ucLatency)));
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetBaudRate(FT_HANDLE ftHandle, ULONG ulBaudRate)
{
    Log(On(ftHandle, "baud " + std::to_string(ulBaudRate)));
    return Usable(ftHandle);
}

#ifndef STANDIN_WITHOUT_SETBITMODE
STANDIN_EXPORT FT_STATUS WINAPI FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucMode)
{
    char line[32];
    snprintf(line, sizeof(line), "bitmode %02X %02X", ucMask, ucMode);
    Log(On(ftHandle, line));
    const FT_STATUS status = Usable(ftHandle);
    if (status == FT_OK)
        ChipOf(ftHandle).SetBitMode(ucMask, ucMode);
    return status;
}
#endif

STANDIN_EXPORT FT_STATUS WINAPI FT_Purge(FT_HANDLE ftHandle, ULONG ulMask)
{
    Log(On(ftHandle, "purge " + std::to_string(ulMask)));
    const FT_STATUS status = Usable(ftHandle);
    if (status == FT_OK && (ulMask & FT_PURGE_RX) != 0)
        ChipOf(ftHandle).Purge();
    return status;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                                         LPDWORD lpBytesWritten)
{
    const unsigned char* pData = static_cast<const unsigned char*>(lpBuffer);
    Log(On(ftHandle, "write" + HexBytes(pData, dwBytesToWrite)));
    *lpBytesWritten = 0;
    const FT_STATUS status = Usable(ftHandle);
    if (status != FT_OK)
        return status;
    ChipOf(ftHandle).Write(pData, dwBytesToWrite);
    *lpBytesWritten = dwBytesToWrite;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                                        LPDWORD lpBytesReturned)
{
    Log(On(ftHandle, "read " + std::to_string(dwBytesToRead)));
    *lpBytesReturned = 0;
    const FT_STATUS status = Usable(ftHandle);
    if (status != FT_OK)
        return status;
    // What the chip has not sampled is not there: a real read would wait for its time-out.
    *lpBytesReturned = static_cast<DWORD>(ChipOf(ftHandle).Read(static_cast<unsigned char*>(lpBuffer), dwBytesToRead));
    return FT_OK;
}
}

#ifdef STANDIN_IN_PROCESS
const D2xxApi& StandinD2xx()
{
    static const D2xxApi s_api = {&FT_OpenEx, &FT_Close,           &FT_ResetDevice, &FT_SetTimeouts,
                                  &FT_SetLatencyTimer, &FT_SetBaudRate, &FT_SetBitMode, &FT_Purge,
                                  &FT_Write,  &FT_Read,            &FT_CreateDeviceInfoList,
                                  &FT_GetDeviceInfoDetail, &FT_GetDeviceInfo};
    return s_api;
}
#endif
