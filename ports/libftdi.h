// The calls of libftdi1 (Intra2net's open-source library for FTDI chips, over libusb) that the
// FTDI cable makes on Linux, as a table, so that tests can put a simulated chip behind them.
// Declared from the library's API documentation; the table of the real library is filled in
// libftdi_system.cpp, where the compiler checks every entry against the library's own header.
#pragma once

#include <vector>

#include "ftdi_port.h"

struct ftdi_context;
struct ftdi_transfer_control;

// Values from the documentation of enum ftdi_interface and enum ftdi_mpsse_mode.
const int FTDI_INTERFACE_ANY = 0;  // INTERFACE_A is 1, B 2, C 3, D 4
const unsigned char FTDI_BITMODE_RESET = CFtdiPort::MODE_RESET;
const unsigned char FTDI_BITMODE_MPSSE = CFtdiPort::MODE_MPSSE;
const unsigned char FTDI_BITMODE_SYNCBB = CFtdiPort::MODE_SYNC_BITBANG;
// enum ftdi_chip_type: the chips with the serial engine MPSSE.
const int FTDI_TYPE_2232C = 2;
const int FTDI_TYPE_2232H = 4;
const int FTDI_TYPE_4232H = 5;
const int FTDI_TYPE_232H = 6;

// What a chip of that type (enum ftdi_chip_type) can do.
FtdiEngine EngineOfType(int nType);
// ftdi_usb_open_desc: no device with that vendor, product and serial number.
const int FTDI_DEVICE_NOT_FOUND = -3;
const int FTDI_UNABLE_TO_OPEN = -4;
const int FTDI_UNABLE_TO_CLAIM = -5;
const int FTDI_NO_PERMISSION = -8;  // with "inappropriate permissions on device!"
const int FTDI_VENDOR = 0x0403;

struct LibftdiApi
{
    ftdi_context* (*pfnNew)();
    void (*pfnFree)(ftdi_context* pFtdi);
    int (*pfnSetInterface)(ftdi_context* pFtdi, int nInterface);
    int (*pfnUsbOpenDesc)(ftdi_context* pFtdi, int nVendor, int nProduct, const char* pszDescription,
                          const char* pszSerial);
    // ftdi_usb_open_bus_addr: the device at that USB bus and address.
    int (*pfnUsbOpenBusAddr)(ftdi_context* pFtdi, unsigned char bus, unsigned char address);
    // Every FTDI chip with a bit-bang mode on the USB (ftdi_usb_find_all), with its strings
    // (ftdi_usb_get_strings; empty where the device may not be opened), its location as bus and
    // address (bus << 8 | address), its channels and its engine. The count, or negative on failure.
    int (*pfnFindAll)(ftdi_context* pFtdi, std::vector<FtdiDevice>& devices);
    int (*pfnUsbClose)(ftdi_context* pFtdi);
    int (*pfnUsbReset)(ftdi_context* pFtdi);
    int (*pfnSetLatencyTimer)(ftdi_context* pFtdi, unsigned char latency);
    int (*pfnSetBaudrate)(ftdi_context* pFtdi, int nBaudrate);
    int (*pfnSetBitmode)(ftdi_context* pFtdi, unsigned char bitmask, unsigned char mode);
    int (*pfnTcioflush)(ftdi_context* pFtdi);
    int (*pfnWriteData)(ftdi_context* pFtdi, const unsigned char* pBuffer, int nSize);
    // 0 when nothing has arrived yet, else the bytes read; negative on failure.
    int (*pfnReadData)(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize);
    const char* (*pfnGetErrorString)(ftdi_context* pFtdi);
    // Sets the context's usb_read_timeout and usb_write_timeout (fields, not calls, in the library).
    void (*pfnSetTimeouts)(ftdi_context* pFtdi, int nReadMs, int nWriteMs);
    // The open device's chip, the context's type (a field in the library).
    int (*pfnChipType)(ftdi_context* pFtdi);
    // Transfers started and then waited for, so that a read can go on while a write does:
    // ftdi_write_data_submit, ftdi_read_data_submit (null on failure), and
    // ftdi_transfer_data_done (the bytes moved, negative on failure).
    ftdi_transfer_control* (*pfnWriteSubmit)(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize);
    ftdi_transfer_control* (*pfnReadSubmit)(ftdi_context* pFtdi, unsigned char* pBuffer, int nSize);
    int (*pfnTransferDone)(ftdi_transfer_control* pTransfer);
};

// The real library, linked in.
const LibftdiApi& SystemLibftdi();
