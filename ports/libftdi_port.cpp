#include "libftdi_port.h"

#include <chrono>

namespace {

// The product IDs of FTDI's chips with a bit-bang mode: FT232R/FT245R, FT2232, FT4232, FT232H,
// and the FT-X series.
const int FTDI_PRODUCTS[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

const char UDEV_ADVICE[] =
    "On Linux a USB device belongs to root until a udev rule gives it to its user. Add the rule "
    "from MORVA's README as /etc/udev/rules.d/60-morva-ftdi.rules:\n"
    "    SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0403\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"\n"
    "then run\n    sudo udevadm control --reload-rules\nunplug the cable, plug it in again and start MORVA again.";

} // namespace

FtdiEngine EngineOfType(int nType)
{
    return EngineOfChip(static_cast<unsigned long>(nType), FTDI_TYPE_2232C,
                        {FTDI_TYPE_2232H, FTDI_TYPE_4232H, FTDI_TYPE_232H});
}

CLibftdiPort::CLibftdiPort(const CableName& cable, const FtdiPinMap& map, const LibftdiApi& api)
    : CFtdiPort(cable, map, "libftdi"), m_api(api)
{
}

CLibftdiPort::~CLibftdiPort()
{
    if (IsChipOpen())
        CloseChip();
}

bool CLibftdiPort::Check(int nResult, const char* pszCall, std::string& strError) const
{
    if (nResult >= 0)
        return true;
    strError = DescribeCable(m_cable) + ": " + pszCall + " failed with " + std::to_string(nResult) + " (" +
               m_api.pfnGetErrorString(m_pFtdi) + ").";
    return false;
}

std::string CLibftdiPort::OpenProblem(int nResult) const
{
    const std::string strSaid = std::string(" (libftdi said ") + std::to_string(nResult) + ": " +
                                m_api.pfnGetErrorString(m_pFtdi) + ")";
    if (nResult == FTDI_UNABLE_TO_OPEN || nResult == FTDI_NO_PERMISSION)
        return "MORVA found the FTDI cable but may not open it" + strSaid + ".\n\n" + UDEV_ADVICE;
    if (nResult == FTDI_UNABLE_TO_CLAIM)
        return "The FTDI cable is held by another program or driver" + strSaid +
               ".\n\nClose the other program (another MORVA, a serial terminal on /dev/ttyUSB*), then start "
               "MORVA again.";
    return "The FTDI cable could not be opened" + strSaid + ".";
}

bool CLibftdiPort::ListDevices(std::vector<FtdiDevice>& devices, std::string& strError)
{
    devices.clear();
    ftdi_context* pFtdi = m_api.pfnNew();
    if (pFtdi == nullptr)
    {
        strError = "libftdi could not make a context (ftdi_new failed): out of memory.";
        return false;
    }
    std::vector<FtdiDevice> chips;
    const int nFound = m_api.pfnFindAll(pFtdi, chips);
    if (nFound < 0)
        strError = "libftdi could not list the USB devices (ftdi_usb_find_all said " + std::to_string(nFound) +
                   ": " + m_api.pfnGetErrorString(pFtdi) + ").";
    m_api.pfnFree(pFtdi);
    // A channel of a two- or four-channel chip is a cable of its own.
    for (const FtdiDevice& chip : chips)
    {
        for (int i = 0; i < chip.nChannels; ++i)
        {
            devices.push_back(chip);
            if (chip.nChannels > 1)
                devices.back().channel = static_cast<char>('A' + i);
        }
    }
    return nFound >= 0;
}

CFtdiPort::OpenResult CLibftdiPort::OpenDevice(const FtdiDevice* pDevice, std::string& strError)
{
    m_pFtdi = m_api.pfnNew();
    if (m_pFtdi == nullptr)
    {
        strError = "libftdi could not make a context (ftdi_new failed): out of memory.";
        return OpenResult::Failed;
    }
    // libftdi names a channel by the interface and the chip by its serial number alone.
    const char channel = pDevice != nullptr ? pDevice->channel : m_cable.channel;
    const std::string serial = pDevice != nullptr ? pDevice->serial : m_cable.serial;
    const int nInterface = channel != 0 ? channel - 'A' + 1 : FTDI_INTERFACE_ANY;
    m_api.pfnSetTimeouts(m_pFtdi, TIMEOUT_MS, TIMEOUT_MS);
    int nResult = m_api.pfnSetInterface(m_pFtdi, nInterface);
    if (nResult < 0)
    {
        Check(nResult, "ftdi_set_interface", strError);
        m_api.pfnFree(m_pFtdi);
        m_pFtdi = nullptr;
        return OpenResult::Failed;
    }
    if (serial.empty() && pDevice != nullptr)
        nResult = m_api.pfnUsbOpenBusAddr(m_pFtdi, static_cast<unsigned char>(pDevice->location >> 8),
                                          static_cast<unsigned char>(pDevice->location & 0xFF));
    else
    {
        for (int nProduct : FTDI_PRODUCTS)
        {
            nResult = m_api.pfnUsbOpenDesc(m_pFtdi, FTDI_VENDOR, nProduct, nullptr,
                                           serial.empty() ? nullptr : serial.c_str());
            if (nResult != FTDI_DEVICE_NOT_FOUND)
                break;
        }
    }
    if (nResult >= 0)
    {
        m_engine = EngineOfType(m_api.pfnChipType(m_pFtdi));
        return OpenResult::Opened;
    }
    if (nResult != FTDI_DEVICE_NOT_FOUND)
        strError = OpenProblem(nResult);
    m_api.pfnFree(m_pFtdi);
    m_pFtdi = nullptr;
    return nResult == FTDI_DEVICE_NOT_FOUND ? OpenResult::NotFound : OpenResult::Failed;
}

std::string CLibftdiPort::NotFoundAdvice() const
{
    return "Plug the cable in. If it is plugged in, check that lsusb lists it with ID 0403 and that the serial "
           "number is right.";
}

// The timeouts are set with the context, before the device is opened (OpenDevice).
bool CLibftdiPort::SetUpChip(std::string& strError)
{
    return Check(m_api.pfnUsbReset(m_pFtdi), "ftdi_usb_reset", strError) &&
           Check(m_api.pfnSetLatencyTimer(m_pFtdi, LATENCY_MS), "ftdi_set_latency_timer", strError) &&
           Check(m_api.pfnSetBaudrate(m_pFtdi, BIT_BANG_BAUD), "ftdi_set_baudrate", strError);
}

bool CLibftdiPort::Purge(std::string& strError)
{
    return Check(m_api.pfnTcioflush(m_pFtdi), "ftdi_tcioflush", strError);
}

void CLibftdiPort::CloseChip()
{
    if (m_pFtdi == nullptr)
        return;
    m_api.pfnUsbClose(m_pFtdi);
    m_api.pfnFree(m_pFtdi);
    m_pFtdi = nullptr;
}

bool CLibftdiPort::SetBitMode(unsigned char mask, unsigned char mode, std::string& strError)
{
    return Check(m_api.pfnSetBitmode(m_pFtdi, mask, mode), "ftdi_set_bitmode", strError);
}

bool CLibftdiPort::Write(const unsigned char* pOut, size_t nCount, std::string& strError)
{
    const int nSize = static_cast<int>(nCount);
    const int nWritten = m_api.pfnWriteData(m_pFtdi, pOut, nSize);
    if (!Check(nWritten, "ftdi_write_data", strError))
        return false;
    if (nWritten != nSize)
    {
        strError = DescribeCable(m_cable) + ": ftdi_write_data took " + std::to_string(nWritten) + " of " +
                   std::to_string(nSize) + " bytes.";
        return false;
    }
    return true;
}

bool CLibftdiPort::Read(unsigned char* pIn, size_t nCount, std::string& strError)
{
    const int nSize = static_cast<int>(nCount);
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
            strError = DescribeCable(m_cable) + ": ftdi_read_data gave " + std::to_string(nRead) + " of " +
                       std::to_string(nSize) + " samples within " + std::to_string(TIMEOUT_MS) + " ms.";
            return false;
        }
    }
    return true;
}

bool CLibftdiPort::Exchange(const unsigned char* pOut, size_t nOut, unsigned char* pIn, size_t nIn,
                            std::string& strError)
{
    // Both transfers are started, then waited for: the write's, then the answer's.
    ftdi_transfer_control* pWrite =
        m_api.pfnWriteSubmit(m_pFtdi, const_cast<unsigned char*>(pOut), static_cast<int>(nOut));
    ftdi_transfer_control* pRead = nIn == 0 ? nullptr : m_api.pfnReadSubmit(m_pFtdi, pIn, static_cast<int>(nIn));
    const int nWritten = pWrite == nullptr ? -1 : m_api.pfnTransferDone(pWrite);
    const int nRead = pRead == nullptr ? (nIn == 0 ? 0 : -1) : m_api.pfnTransferDone(pRead);
    if (!Check(nWritten, "ftdi_write_data_submit", strError) || !Check(nRead, "ftdi_read_data_submit", strError))
        return false;
    if (static_cast<size_t>(nWritten) == nOut && static_cast<size_t>(nRead) == nIn)
        return true;
    strError = DescribeCable(m_cable) + ": the chip took " + std::to_string(nWritten) + " of " + std::to_string(nOut) +
               " bytes and gave " + std::to_string(nRead) + " of " + std::to_string(nIn) + " within " +
               std::to_string(TIMEOUT_MS) + " ms.";
    return false;
}
