#include "bitbang_port.h"

#include <cstdio>


namespace {

unsigned char Bit(int nPin)
{
    return static_cast<unsigned char>(1u << nPin);
}

} // namespace

bool FtdiPinMap::IsValid(std::string& strError) const
{
    const int anPins[] = {nTck, nTdi, nTdo, nTms};
    const char* const apszNames[] = {"tck", "tdi", "tdo", "tms"};
    for (int i = 0; i < 4; ++i)
    {
        if (anPins[i] < 0 || anPins[i] > 7)
        {
            strError = std::string(apszNames[i]) + " must be a pin number from 0 to 7.";
            return false;
        }
        for (int j = 0; j < i; ++j)
        {
            if (anPins[i] == anPins[j])
            {
                strError = std::string(apszNames[j]) + " and " + apszNames[i] + " are on the same pin.";
                return false;
            }
        }
    }
    if ((direction & Bit(nTdo)) != 0)
    {
        strError = "direction makes the TDO pin an output; TDO is the device's to drive.";
        return false;
    }
    return true;
}

unsigned char FtdiPinMap::Outputs() const
{
    return static_cast<unsigned char>((direction | Bit(nTck) | Bit(nTdi) | Bit(nTms)) & ~Bit(nTdo));
}

unsigned char FtdiPinMap::Levels(bool bTck, bool bTms, bool bTdi) const
{
    unsigned char levels = static_cast<unsigned char>(value & ~(Bit(nTck) | Bit(nTdi) | Bit(nTms) | Bit(nTdo)));
    if (bTck)
        levels |= Bit(nTck);
    if (bTdi)
        levels |= Bit(nTdi);
    if (bTms)
        levels |= Bit(nTms);
    return levels;
}

bool CBitBangPort::Switch(bool bOn)
{
    const unsigned char levels = m_map.Levels(false, false, false);
    if (bOn != m_bDriving)
    {
        m_bDriving = bOn;
        std::string strError;
        // The levels go out ahead of the outputs.
        if (m_bOpen && bOn)
            return DriveFrom(levels, strError) || Fail(strError);
        if (m_bOpen && !SetOutputs(0, strError))
            return Fail(strError);
        if (!m_bOpen && bOn)
            Reconnect();
    }
    // A switched-off cable drives nothing: its pins are inputs.
    if (!m_bDriving)
        return m_strFailure.empty();
    m_pending.push_back(levels);
    std::vector<unsigned char> in;
    return Send(in);
}

bool CBitBangPort::Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    std::vector<size_t> readAt;
    for (size_t i = 0; i < tms.size(); ++i)
    {
        const unsigned char low = m_map.Levels(false, tms[i], tdi[i]);
        const unsigned char high = m_map.Levels(true, tms[i], tdi[i]);
        m_pending.insert(m_pending.end(), {low, low, high, high});
        // In synchronous bit-bang mode the chip reads the pins just before it puts each byte
        // out, so the last sample of a clock is taken while TCK is high after the rising edge,
        // as the parallel port's read after the pulse is.
        if (read[i])
            readAt.push_back(m_pending.size() - 1);
        // A run's clocks go out as many as fit in one transfer.
        if (m_pending.size() >= RUN_BYTES && !SendClocks(readAt, tdo))
            return false;
    }
    return m_pending.empty() || SendClocks(readAt, tdo);
}

bool CBitBangPort::SendClocks(std::vector<size_t>& readAt, CBits& tdo)
{
    std::vector<unsigned char> in;
    if (!Send(in))
        return false;
    for (size_t nAt : readAt)
        tdo.push_back((in[nAt] & Bit(m_map.nTdo)) != 0);
    readAt.clear();
    return true;
}

bool CBitBangPort::Hold(bool bTms, bool bTdi)
{
    if (!m_bDriving)
        return true;
    m_pending.push_back(m_map.Levels(false, bTms, bTdi));
    std::vector<unsigned char> in;
    return Send(in);
}

bool CBitBangPort::Sample(bool& bTdo)
{
    // The pins sampled as they are held now.
    m_pending.push_back(m_lastLevels);
    std::vector<unsigned char> in;
    const bool bSent = Send(in);
    bTdo = (m_lastSample & Bit(m_map.nTdo)) != 0;
    return bSent;
}

std::string DescribeDevice(const FtdiDevice& device)
{
    std::string text;
    if (!device.serial.empty())
        text = device.serial;
    else
    {
        char location[40];
        snprintf(location, sizeof(location), "at location 0x%lX", device.location);
        text = std::string("a device without serial number ") + location;
    }
    if (device.channel != 0)
        text += std::string(" channel ") + device.channel;
    if (!device.description.empty())
        text += " (" + device.description + ")";
    return text;
}

std::string CBitBangPort::Looked() const
{
    if (m_bFirstOpened)
        return "the FTDI device first opened, " + DescribeDevice(m_first);
    if (m_cable.serial.empty())
        return "any FTDI device";
    std::string looked = "the FTDI device with serial number " + m_cable.serial;
    if (m_cable.channel != 0)
        looked += std::string(", channel ") + m_cable.channel;
    return looked;
}

bool CBitBangPort::OpenChip(std::string& strError)
{
    OpenResult result = OpenResult::NotFound;
    if (m_bFirstOpened)
        result = OpenDevice(&m_first, strError);
    else if (!m_cable.serial.empty())
        result = OpenDevice(nullptr, strError);
    else
    {
        // Which device is "the first" is decided once, here, and kept.
        std::vector<FtdiDevice> devices;
        if (!ListDevices(devices, strError))
            return false;
        if (!devices.empty())
        {
            result = OpenDevice(&devices.front(), strError);
            if (result == OpenResult::Opened)
            {
                m_first = devices.front();
                m_bFirstOpened = true;
            }
        }
    }
    if (result == OpenResult::NotFound)
    {
        strError = "No FTDI cable was found (MORVA looked for " + Looked() + ").";
        std::vector<FtdiDevice> devices;
        std::string strListError;
        if (m_bFirstOpened && ListDevices(devices, strListError) && !devices.empty())
        {
            strError += " MORVA opens no other device; it found instead:";
            for (const FtdiDevice& device : devices)
                strError += "\n    " + DescribeDevice(device);
        }
        strError += "\n\n" + NotFoundAdvice();
        return false;
    }
    if (result == OpenResult::Failed)
        return false;
    if (SetUpChip(strError) && SetOutputs(0, strError) && Purge(strError))
        return true;
    CloseChip();
    return false;
}

bool CBitBangPort::Open()
{
    if (!OpenChip(m_strProblem))
        return false;
    m_bOpen = true;
    return true;
}

// A cable that stopped answering is opened anew at its next access, so that a reset after it
// is plugged back in finds it.
bool CBitBangPort::Reconnect()
{
    if (m_bOpen)
        return true;
    std::string strError;
    if (!OpenChip(strError))
        return Fail(strError);
    m_bOpen = true;
    if (m_bDriving && !DriveFrom(m_lastLevels, strError))
        return Fail(strError);
    return true;
}

// The levels go to the chip while every pin is still an input; only then are the outputs made
// outputs, so that they start at these levels and never at what the chip's latch held before.
// TCK starts low whatever the last clock left, so that making it an output is never a rising
// edge: a TAP that stayed powered while the cable was out takes no clock from the reconnect.
bool CBitBangPort::DriveFrom(unsigned char levels, std::string& strError)
{
    levels = static_cast<unsigned char>(levels & ~Bit(m_map.nTck));
    unsigned char sample = 0;
    if (!Transfer(&levels, &sample, 1, strError) || !SetOutputs(m_map.Outputs(), strError))
        return false;
    m_lastLevels = levels;
    m_lastSample = sample;
    return true;
}

bool CBitBangPort::Send(std::vector<unsigned char>& in)
{
    std::vector<unsigned char> out;
    out.swap(m_pending);
    if (!Reconnect())
        return false;
    in.assign(out.size(), 0);
    std::string strError;
    if (!Transfer(out.data(), in.data(), out.size(), strError))
        return Fail(strError);
    m_lastLevels = out.back();
    m_lastSample = in.back();
    m_strFailure.clear();
    return true;
}

void CBitBangPort::Close()
{
    if (m_bOpen)
    {
        std::string strError;
        SetOutputs(0, strError);
        CloseChip();
    }
    m_bOpen = false;
    m_bDriving = false;
}

bool CBitBangPort::Fail(const std::string& strWhat)
{
    m_strFailure = strWhat;
    if (m_bOpen)
        CloseChip();
    m_bOpen = false;
    return false;
}
