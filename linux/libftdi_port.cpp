#include "libftdi_port.h"

#include <chrono>

namespace {

// As on Windows (ports/d2xx_port.cpp): a dead cable holds the window under a second, the chip
// answers 2 ms after a clock, and the pins move at tens of kHz.
const int TIMEOUT_MS = 400;
const unsigned char LATENCY_MS = 2;
const int BIT_BANG_BAUD = 9600;

// The product IDs of FTDI's chips with a bit-bang mode: FT232R/FT245R, FT2232, FT4232, FT232H,
// and the FT-X series.
const int FTDI_PRODUCTS[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

const char UDEV_ADVICE[] =
    "On Linux a USB device belongs to root until a udev rule gives it to its user. Add the rule "
    "from MORVA's README as /etc/udev/rules.d/60-morva-ftdi.rules:\n"
    "    SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0403\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"\n"
    "then run\n    sudo udevadm control --reload-rules\nunplug the cable, plug it in again and start MORVA again.";

} // namespace

CLibftdiPort::CLibftdiPort(const CableSpec& cable, const FtdiPinMap& map, const LibftdiApi& api)
    : CBitBangPort(map), m_spec(cable), m_api(api)
{
}

CLibftdiPort::~CLibftdiPort()
{
    if (IsChipOpen())
        CloseChip();
}

std::string CLibftdiPort::Description() const
{
    return DescribeCable(m_spec) + " (libftdi)";
}

bool CLibftdiPort::Check(int nResult, const char* pszCall, std::string& strError) const
{
    if (nResult >= 0)
        return true;
    strError = DescribeCable(m_spec) + ": " + pszCall + " failed with " + std::to_string(nResult) + " (" +
               m_api.pfnGetErrorString(m_pFtdi) + ").";
    return false;
}

std::string CLibftdiPort::OpenProblem(int nResult, const std::string& strLooked) const
{
    const std::string strSaid = std::string(" (libftdi said ") + std::to_string(nResult) + ": " +
                                m_api.pfnGetErrorString(m_pFtdi) + ")";
    if (nResult == FTDI_DEVICE_NOT_FOUND)
        return "No FTDI cable was found (MORVA looked for " + strLooked + ").\n\nPlug the cable in. If it is "
               "plugged in, check that lsusb lists it with ID 0403 and that the serial number is right.";
    if (nResult == FTDI_UNABLE_TO_OPEN || nResult == FTDI_NO_PERMISSION)
        return "MORVA found the FTDI cable but may not open it" + strSaid + ".\n\n" + UDEV_ADVICE;
    if (nResult == FTDI_UNABLE_TO_CLAIM)
        return "The FTDI cable is held by another program or driver" + strSaid +
               ".\n\nClose the other program (another MORVA, a serial terminal on /dev/ttyUSB*), then start "
               "MORVA again.";
    return "The FTDI cable could not be opened" + strSaid + ".";
}

bool CLibftdiPort::OpenChip(std::string& strError)
{
    m_pFtdi = m_api.pfnNew();
    if (m_pFtdi == nullptr)
    {
        strError = "libftdi could not make a context (ftdi_new failed): out of memory.";
        return false;
    }
    // libftdi names a channel by the interface and the chip by its serial number alone.
    const int nInterface = m_spec.channel != 0 ? m_spec.channel - 'A' + 1 : FTDI_INTERFACE_ANY;
    const char* pszSerial = m_spec.serial.empty() ? nullptr : m_spec.serial.c_str();
    m_api.pfnSetTimeouts(m_pFtdi, TIMEOUT_MS, TIMEOUT_MS);
    int nResult = m_api.pfnSetInterface(m_pFtdi, nInterface);
    if (!Check(nResult, "ftdi_set_interface", strError))
    {
        m_api.pfnFree(m_pFtdi);
        m_pFtdi = nullptr;
        return false;
    }
    for (int nProduct : FTDI_PRODUCTS)
    {
        nResult = m_api.pfnUsbOpenDesc(m_pFtdi, FTDI_VENDOR, nProduct, nullptr, pszSerial);
        if (nResult != FTDI_DEVICE_NOT_FOUND)
            break;
    }
    if (nResult < 0)
    {
        std::string strLooked = pszSerial == nullptr ? "any FTDI device" : "the FTDI device with serial number " +
                                                                             m_spec.serial;
        if (m_spec.channel != 0)
            strLooked += std::string(", channel ") + m_spec.channel;
        strError = OpenProblem(nResult, strLooked);
        m_api.pfnFree(m_pFtdi);
        m_pFtdi = nullptr;
        return false;
    }
    if (Check(m_api.pfnUsbReset(m_pFtdi), "ftdi_usb_reset", strError) &&
        Check(m_api.pfnSetLatencyTimer(m_pFtdi, LATENCY_MS), "ftdi_set_latency_timer", strError) &&
        Check(m_api.pfnSetBaudrate(m_pFtdi, BIT_BANG_BAUD), "ftdi_set_baudrate", strError) &&
        Check(m_api.pfnSetBitmode(m_pFtdi, 0, FTDI_BITMODE_SYNCBB), "ftdi_set_bitmode", strError) &&
        Check(m_api.pfnTcioflush(m_pFtdi), "ftdi_tcioflush", strError))
        return true;
    CloseChip();
    return false;
}

void CLibftdiPort::CloseChip()
{
    if (m_pFtdi == nullptr)
        return;
    m_api.pfnUsbClose(m_pFtdi);
    m_api.pfnFree(m_pFtdi);
    m_pFtdi = nullptr;
}

bool CLibftdiPort::SetOutputs(unsigned char mask, std::string& strError)
{
    return Check(m_api.pfnSetBitmode(m_pFtdi, mask, FTDI_BITMODE_SYNCBB), "ftdi_set_bitmode", strError);
}

bool CLibftdiPort::Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError)
{
    const int nSize = static_cast<int>(nCount);
    const int nWritten = m_api.pfnWriteData(m_pFtdi, pOut, nSize);
    if (!Check(nWritten, "ftdi_write_data", strError))
        return false;
    if (nWritten != nSize)
    {
        strError = DescribeCable(m_spec) + ": ftdi_write_data took " + std::to_string(nWritten) + " of " +
                   std::to_string(nSize) + " bytes.";
        return false;
    }
    // The samples come back as the chip sends them, in pieces, each read waiting at most the
    // context's read time-out; a clock is given up as D2XX's read is, after its time-out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TIMEOUT_MS);
    int nRead = 0;
    while (nRead < nSize)
    {
        const int nGot = m_api.pfnReadData(m_pFtdi, pIn + nRead, nSize - nRead);
        if (!Check(nGot, "ftdi_read_data", strError))
            return false;
        nRead += nGot;
        if (nRead < nSize && std::chrono::steady_clock::now() >= deadline)
        {
            strError = DescribeCable(m_spec) + ": ftdi_read_data gave " + std::to_string(nRead) + " of " +
                       std::to_string(nSize) + " samples within " + std::to_string(TIMEOUT_MS) + " ms.";
            return false;
        }
    }
    return true;
}
