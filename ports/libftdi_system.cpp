// The table of the real libftdi1. This file sees no Windows header: it is compiled as Linux code
// (see CMakeLists.txt), so that libftdi's and libusb's headers take their Linux declarations.
#include "libftdi.h"

#include <ftdi.h>
#include <libusb.h>

namespace {

int SetInterface(ftdi_context* pFtdi, int nInterface)
{
    return ftdi_set_interface(pFtdi, static_cast<ftdi_interface>(nInterface));
}

int OpenBusAddr(ftdi_context* pFtdi, unsigned char bus, unsigned char address)
{
    return ftdi_usb_open_bus_addr(pFtdi, bus, address);
}

int FindAll(ftdi_context* pFtdi, std::vector<FtdiDevice>& devices)
{
    devices.clear();
    ftdi_device_list* pList = nullptr;
    // Vendor and product 0: the library's own list of FTDI's chips.
    const int nFound = ftdi_usb_find_all(pFtdi, &pList, 0, 0);
    if (nFound < 0)
        return nFound;
    for (ftdi_device_list* pEntry = pList; pEntry != nullptr; pEntry = pEntry->next)
    {
        char manufacturer[128] = {};
        char description[128] = {};
        char serial[128] = {};
        FtdiDevice device;
        if (ftdi_usb_get_strings(pFtdi, pEntry->dev, manufacturer, sizeof(manufacturer), description,
                                 sizeof(description), serial, sizeof(serial)) >= 0)
        {
            device.serial = serial;
            device.description = description;
        }
        device.location = static_cast<unsigned long>(libusb_get_bus_number(pEntry->dev)) << 8 |
                          libusb_get_device_address(pEntry->dev);
        libusb_device_descriptor descriptor = {};
        if (libusb_get_device_descriptor(pEntry->dev, &descriptor) == 0)
        {
            device.nChannels = descriptor.idProduct == 0x6010 ? 2 : descriptor.idProduct == 0x6011 ? 4 : 1;
            // The chip by its release number, as the library tells the type of a device it opens.
            const int nType = descriptor.bcdDevice == 0x500 ? TYPE_2232C
                              : descriptor.bcdDevice == 0x700 ? TYPE_2232H
                              : descriptor.bcdDevice == 0x800 ? TYPE_4232H
                              : descriptor.bcdDevice == 0x900 ? TYPE_232H
                                                              : TYPE_R;
            device.engine = EngineOfType(nType);
        }
        devices.push_back(device);
    }
    ftdi_list_free(&pList);
    return nFound;
}

void SetTimeouts(ftdi_context* pFtdi, int nReadMs, int nWriteMs)
{
    pFtdi->usb_read_timeout = nReadMs;
    pFtdi->usb_write_timeout = nWriteMs;
}

int ChipType(ftdi_context* pFtdi)
{
    return pFtdi->type;
}

static_assert(INTERFACE_ANY == FTDI_INTERFACE_ANY && INTERFACE_A == 1 && INTERFACE_D == 4, "ftdi_interface");
static_assert(BITMODE_RESET == FTDI_BITMODE_RESET && BITMODE_SYNCBB == FTDI_BITMODE_SYNCBB &&
                  BITMODE_MPSSE == FTDI_BITMODE_MPSSE,
              "ftdi_mpsse_mode");
static_assert(TYPE_2232C == FTDI_TYPE_2232C && TYPE_2232H == FTDI_TYPE_2232H && TYPE_4232H == FTDI_TYPE_4232H &&
                  TYPE_232H == FTDI_TYPE_232H,
              "ftdi_chip_type");

} // namespace

const LibftdiApi& SystemLibftdi()
{
    static const LibftdiApi s_api = {
        &ftdi_new,       &ftdi_free,          &SetInterface,       &ftdi_usb_open_desc, &OpenBusAddr, &FindAll, &ftdi_usb_close,
        &ftdi_usb_reset, &ftdi_set_latency_timer, &ftdi_set_baudrate, &ftdi_set_bitmode, &ftdi_tcioflush,
        &ftdi_write_data, &ftdi_read_data,   &ftdi_get_error_string, &SetTimeouts, &ChipType,
        &ftdi_write_data_submit, &ftdi_read_data_submit, &ftdi_transfer_data_done,
    };
    return s_api;
}
