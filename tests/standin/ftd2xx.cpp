// A stand-in for FTDI's D2XX library, for tests: one FT232H-like chip in synchronous bit-bang
// mode with the simulated board on its pins. Set by the environment:
//   MORVA_FTDI_LOG     the log's path: "loaded <path>", then one line a call, e.g. "open 0",
//                      "openex MV232H01", "bitmode 0B 04", "write 0A 0A 0B 0B", "read 4", "close"
//   MORVA_FTDI_SERIAL  the device's serial number (default MV232H01)
//   MORVA_FTDI_PLUG    a file's path: the device is plugged in while that file exists
// Built as ftd2xx.dll (whole, and without FT_SetBitMode as an old library), and into test
// programs, where the same calls stand behind the cable in the same process.
#include <windows.h>

#include <cstdio>
#include <string>

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

std::string Hex(const unsigned char* pData, DWORD nCount)
{
    std::string text;
    char byte[4];
    for (DWORD i = 0; i < nCount; ++i)
    {
        snprintf(byte, sizeof(byte), " %02X", pData[i]);
        text += byte;
    }
    return text;
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

// Every call on an open handle: the device must still be there.
FT_STATUS Usable(FT_HANDLE ftHandle)
{
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

STANDIN_EXPORT FT_STATUS WINAPI FT_Open(int deviceNumber, FT_HANDLE* pHandle)
{
    Log("open " + std::to_string(deviceNumber));
    return deviceNumber == 0 ? Open(pHandle) : FT_DEVICE_NOT_FOUND;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_OpenEx(PVOID pArg1, DWORD dwFlags, FT_HANDLE* pHandle)
{
    const std::string serial = static_cast<const char*>(pArg1);
    Log("openex " + serial);
    if (dwFlags != FT_OPEN_BY_SERIAL_NUMBER || serial != Serial())
        return FT_DEVICE_NOT_FOUND;
    return Open(pHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Close(FT_HANDLE ftHandle)
{
    Log("close");
    if (ftHandle != DEVICE_HANDLE || !g_bOpen)
        return 1;
    g_bOpen = false;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_ResetDevice(FT_HANDLE ftHandle)
{
    Log("reset");
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ulReadTimeout, ULONG ulWriteTimeout)
{
    Log("timeouts " + std::to_string(ulReadTimeout) + " " + std::to_string(ulWriteTimeout));
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    Log("latency " + std::to_string(ucLatency));
    return Usable(ftHandle);
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetBaudRate(FT_HANDLE ftHandle, ULONG ulBaudRate)
{
    Log("baud " + std::to_string(ulBaudRate));
    return Usable(ftHandle);
}

#ifndef STANDIN_WITHOUT_SETBITMODE
STANDIN_EXPORT FT_STATUS WINAPI FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucMode)
{
    char line[32];
    snprintf(line, sizeof(line), "bitmode %02X %02X", ucMask, ucMode);
    Log(line);
    const FT_STATUS status = Usable(ftHandle);
    if (status == FT_OK)
        g_chip.SetBitMode(ucMask, ucMode);
    return status;
}
#endif

STANDIN_EXPORT FT_STATUS WINAPI FT_Purge(FT_HANDLE ftHandle, ULONG ulMask)
{
    Log("purge " + std::to_string(ulMask));
    const FT_STATUS status = Usable(ftHandle);
    if (status == FT_OK && (ulMask & FT_PURGE_RX) != 0)
        g_chip.Purge();
    return status;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                                         LPDWORD lpBytesWritten)
{
    const unsigned char* pData = static_cast<const unsigned char*>(lpBuffer);
    Log("write" + Hex(pData, dwBytesToWrite));
    *lpBytesWritten = 0;
    const FT_STATUS status = Usable(ftHandle);
    if (status != FT_OK)
        return status;
    g_chip.Write(pData, dwBytesToWrite);
    *lpBytesWritten = dwBytesToWrite;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                                        LPDWORD lpBytesReturned)
{
    Log("read " + std::to_string(dwBytesToRead));
    *lpBytesReturned = 0;
    const FT_STATUS status = Usable(ftHandle);
    if (status != FT_OK)
        return status;
    // What the chip has not sampled is not there: a real read would wait for its time-out.
    *lpBytesReturned = static_cast<DWORD>(g_chip.Read(static_cast<unsigned char*>(lpBuffer), dwBytesToRead));
    return FT_OK;
}
}

#ifdef STANDIN_IN_PROCESS
const D2xxApi& StandinD2xx()
{
    static const D2xxApi s_api = {&FT_Open,        &FT_OpenEx,      &FT_Close,      &FT_ResetDevice,
                                  &FT_SetTimeouts, &FT_SetLatencyTimer, &FT_SetBaudRate, &FT_SetBitMode,
                                  &FT_Purge,       &FT_Write,       &FT_Read};
    return s_api;
}
#endif
