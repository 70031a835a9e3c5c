// The few calls of FTDI's D2XX library (ftd2xx.dll) that the FTDI cable uses, declared from
// FTDI's D2XX Programmer's Guide. The library is loaded at run time, never linked.
#pragma once

#include <windows.h>

#include <string>

#include "ftdi_port.h"

typedef PVOID FT_HANDLE;
typedef ULONG FT_STATUS;

const FT_STATUS FT_OK = 0;
const FT_STATUS FT_DEVICE_NOT_FOUND = 2;
const DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
const DWORD FT_OPEN_BY_LOCATION = 4;
// The modes CFtdiPort sets, in D2XX's names.
const UCHAR FT_BITMODE_RESET = CFtdiPort::MODE_RESET;
const UCHAR FT_BITMODE_MPSSE = CFtdiPort::MODE_MPSSE;
const UCHAR FT_BITMODE_SYNC_BITBANG = CFtdiPort::MODE_SYNC_BITBANG;
// FT_DEVICE, as FT_GetDeviceInfo gives it: the chips with the serial engine MPSSE.
const ULONG FT_DEVICE_2232C = 4;  // also the FT2232D
const ULONG FT_DEVICE_2232H = 6;
const ULONG FT_DEVICE_4232H = 7;
const ULONG FT_DEVICE_232H = 8;
const ULONG FT_PURGE_RX = 1;
const ULONG FT_PURGE_TX = 2;

struct D2xxApi
{
    FT_STATUS(WINAPI* pfnOpenEx)(PVOID pArg1, DWORD dwFlags, FT_HANDLE* pHandle);
    FT_STATUS(WINAPI* pfnClose)(FT_HANDLE ftHandle);
    FT_STATUS(WINAPI* pfnResetDevice)(FT_HANDLE ftHandle);
    FT_STATUS(WINAPI* pfnSetTimeouts)(FT_HANDLE ftHandle, ULONG ulReadTimeout, ULONG ulWriteTimeout);
    FT_STATUS(WINAPI* pfnSetLatencyTimer)(FT_HANDLE ftHandle, UCHAR ucLatency);
    FT_STATUS(WINAPI* pfnSetBaudRate)(FT_HANDLE ftHandle, ULONG ulBaudRate);
    FT_STATUS(WINAPI* pfnSetBitMode)(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucMode);
    FT_STATUS(WINAPI* pfnPurge)(FT_HANDLE ftHandle, ULONG ulMask);
    FT_STATUS(WINAPI* pfnWrite)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten);
    FT_STATUS(WINAPI* pfnRead)(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned);
    FT_STATUS(WINAPI* pfnCreateDeviceInfoList)(LPDWORD lpdwNumDevs);
    // lpSerialNumber: 16 bytes; lpDescription: 64 bytes.
    FT_STATUS(WINAPI* pfnGetDeviceInfoDetail)(DWORD dwIndex, LPDWORD lpdwFlags, LPDWORD lpdwType, LPDWORD lpdwID,
                                              LPDWORD lpdwLocId, LPVOID lpSerialNumber, LPVOID lpDescription,
                                              FT_HANDLE* pftHandle);
    // The open device's type (an FT_DEVICE); SerialNumber 16 bytes, Description 64.
    FT_STATUS(WINAPI* pfnGetDeviceInfo)(FT_HANDLE ftHandle, ULONG* pType, LPDWORD lpdwID, PCHAR pSerialNumber,
                                        PCHAR pDescription, LPVOID pDummy);
};

// Where FTDI's driver installs the library: the Windows system folder, and nowhere else that
// MORVA looks.
std::string SystemD2xxPath();

// Loads the library at strPath and finds every call above; false, with what to do, when the
// file is missing or lacks a call (an old library).
bool LoadD2xx(const std::string& strPath, D2xxApi& api, std::string& strError);

// "FT_IO_ERROR (4)".
std::string D2xxStatusName(FT_STATUS status);
