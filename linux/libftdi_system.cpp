// The table of the real libftdi1. This file sees no Windows header: it is compiled as Linux code
// (see CMakeLists.txt), so that libftdi's and libusb's headers take their Linux declarations.
#include "libftdi.h"

#include <ftdi.h>

namespace {

int SetInterface(ftdi_context* pFtdi, int nInterface)
{
    return ftdi_set_interface(pFtdi, static_cast<ftdi_interface>(nInterface));
}

void SetTimeouts(ftdi_context* pFtdi, int nReadMs, int nWriteMs)
{
    pFtdi->usb_read_timeout = nReadMs;
    pFtdi->usb_write_timeout = nWriteMs;
}

static_assert(INTERFACE_ANY == FTDI_INTERFACE_ANY && INTERFACE_A == 1 && INTERFACE_D == 4, "ftdi_interface");
static_assert(BITMODE_RESET == FTDI_BITMODE_RESET && BITMODE_SYNCBB == FTDI_BITMODE_SYNCBB, "ftdi_mpsse_mode");

} // namespace

const LibftdiApi& SystemLibftdi()
{
    static const LibftdiApi s_api = {
        &ftdi_new,       &ftdi_free,          &SetInterface,       &ftdi_usb_open_desc, &ftdi_usb_close,
        &ftdi_usb_reset, &ftdi_set_latency_timer, &ftdi_set_baudrate, &ftdi_set_bitmode, &ftdi_tcioflush,
        &ftdi_write_data, &ftdi_read_data,   &ftdi_get_error_string, &SetTimeouts,
    };
    return s_api;
}
