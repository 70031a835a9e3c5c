#include "ftdi_port.h"

#include <algorithm>
#include <cstdio>


namespace {

unsigned char Bit(int nPin)
{
    return static_cast<unsigned char>(1u << nPin);
}

// MPSSE's commands beside a run's (FTDI's AN_108): the low pins set and read, TDI not looped
// back to TDO, and "send immediate".
const unsigned char MPSSE_SET_LOW = 0x80, MPSSE_READ_LOW = 0x81, MPSSE_SET_HIGH = 0x82, MPSSE_LOOPBACK_OFF = 0x85,
                    MPSSE_SEND_IMMEDIATE = 0x87;
// A command no chip knows: the engine answers it with 0xFA and the command, so that the first
// answer read after it is known to be in step with what was written.
const unsigned char MPSSE_BAD_COMMAND = 0xAA, MPSSE_BAD_ANSWER = 0xFA;
// A run's piece: at most 64 KiB of data to the chip, and as much answer, one write and one read
// (the answer is read as it comes, Exchange); and no more clocks than a fifth of a second takes
// at the clock set, well inside a read's time-out, and short enough that a person's STOP or the
// window's once-a-second progress waits no longer.
const size_t MPSSE_MOST_PIECE_CLOCKS = 64 * 1024 * 8;
const size_t MPSSE_PIECE_ANSWER = 64 * 1024 + 64;
const unsigned MPSSE_PIECES_A_SECOND = 5;

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
    // The reset lines: on pins of their own beyond the engine's four, and not on each other.
    const int anResets[] = {nTrst, nSrst};
    const char* const apszResets[] = {"trst", "srst"};
    for (int i = 0; i < 2; ++i)
    {
        if (anResets[i] == -1)
            continue;
        if (anResets[i] < 4 || anResets[i] > 15)
        {
            strError = std::string(apszResets[i]) + " must be a pin number from 4 to 15 (ADBUS4 to 7, ACBUS0 to 7).";
            return false;
        }
        if (i == 1 && nTrst == nSrst)
        {
            strError = "trst and srst are on the same pin.";
            return false;
        }
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

bool CFtdiPort::Switch(bool bOn)
{
    const unsigned char levels = m_map.Levels(false, false, false);
    if (bOn != m_bDriving)
    {
        m_bDriving = bOn;
        std::string strError;
        // The levels go out ahead of the outputs.
        if (m_bOpen && bOn)
            return DriveFrom(levels, strError) || Fail(strError);
        if (m_bOpen && !Undrive(strError))
            return Fail(strError);
        if (!m_bOpen && bOn)
            Reconnect();
    }
    // A switched-off cable drives nothing: its pins are inputs.
    if (!m_bDriving)
        return m_strFailure.empty();
    m_bTms = false;
    return PutLevels(levels);
}

bool CFtdiPort::Undrive(std::string& strError)
{
    return m_bMpsse ? SetLowPins(m_lastLevels, 0, strError) && SetHighPins(false, strError)
                    : SetBitMode(0, MODE_SYNC_BITBANG, strError);
}

bool CFtdiPort::PutLevels(unsigned char levels)
{
    if (!m_bMpsse)
    {
        m_pending.push_back(levels);
        std::vector<unsigned char> in;
        return Send(in);
    }
    std::string strError;
    if (!Reconnect())
        return false;
    if (!SetLowPins(levels, m_map.Outputs(), strError))
        return Fail(strError);
    m_strFailure.clear();
    return true;
}

unsigned CFtdiPort::ResetPins() const
{
    return (m_map.nTrst >= 0 ? 1u << m_map.nTrst : 0u) | (m_map.nSrst >= 0 ? 1u << m_map.nSrst : 0u);
}

bool CFtdiPort::SetLowPins(unsigned char levels, unsigned char outputs, std::string& strError)
{
    const unsigned char resets = static_cast<unsigned char>(ResetPins() & 0xFF);
    levels = static_cast<unsigned char>((levels & ~resets) | (resets & ~m_asserted));
    if (outputs != 0)
        outputs |= resets;
    const unsigned char command[] = {MPSSE_SET_LOW, levels, outputs};
    if (!Write(command, sizeof(command), strError))
        return false;
    m_lastLevels = levels;
    return true;
}

// Left alone where the map drives none of them, so that a cable without them gets no command.
bool CFtdiPort::SetHighPins(bool bDriven, std::string& strError)
{
    const unsigned char resets = static_cast<unsigned char>(ResetPins() >> 8);
    if (m_map.directionHigh == 0 && resets == 0)
        return true;
    const unsigned char command[] = {
        MPSSE_SET_HIGH,
        static_cast<unsigned char>((m_map.valueHigh & ~resets) | (resets & ~(m_asserted >> 8))),
        static_cast<unsigned char>(bDriven ? m_map.directionHigh | resets : 0)};
    return Write(command, sizeof(command), strError);
}

bool CFtdiPort::SetResetLine(ResetLine line, bool bAsserted)
{
    const int nPin = line == ResetLine::Trst ? m_map.nTrst : m_map.nSrst;
    if (!m_bMpsse || nPin < 0 || !m_bDriving)
        return false;
    m_asserted = bAsserted ? m_asserted | 1u << nPin : m_asserted & ~(1u << nPin);
    if (!Reconnect())
        return false;
    std::string strError;
    if (!(nPin < 8 ? SetLowPins(m_lastLevels, m_map.Outputs(), strError) : SetHighPins(true, strError)))
        return Fail(strError);
    m_strFailure.clear();
    return true;
}

bool CFtdiPort::Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    if (m_bMpsse)
        return MpsseClocks(tms, tdi, read, tdo);
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

bool CFtdiPort::SendClocks(std::vector<size_t>& readAt, CBits& tdo)
{
    std::vector<unsigned char> in;
    if (!Send(in))
        return false;
    for (size_t nAt : readAt)
        tdo.push_back((in[nAt] & Bit(m_map.nTdo)) != 0);
    readAt.clear();
    return true;
}

// A piece at a time, each written whole and its answer read whole before the next goes out, so
// that the clocks of a piece that fails are neither recorded nor followed by others.
bool CFtdiPort::MpsseClocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    if (!Reconnect())
        return false;
    std::vector<unsigned char> answer;
    std::string strError;
    for (size_t nFirst = 0; nFirst < tms.size();)
    {
        size_t nClocks = std::min(m_traits.nLongestRun, tms.size() - nFirst);
        CBits pieceTms = tms.Slice(nFirst, nClocks), pieceTdi = tdi.Slice(nFirst, nClocks);
        CBits pieceRead = read.Slice(nFirst, nClocks);
        MpsseRun run = MpsseCommands(pieceTms, pieceTdi, pieceRead, m_bTms);
        // Halved until its answer fits; a piece of eight clocks answers at most eight bytes.
        while (run.nAnswerBytes > MPSSE_PIECE_ANSWER)
        {
            nClocks /= 2;
            pieceTms = tms.Slice(nFirst, nClocks);
            pieceTdi = tdi.Slice(nFirst, nClocks);
            pieceRead = read.Slice(nFirst, nClocks);
            run = MpsseCommands(pieceTms, pieceTdi, pieceRead, m_bTms);
        }
        answer.assign(run.nAnswerBytes, 0);
        if (!Exchange(run.commands.data(), run.commands.size(), answer.data(), answer.size(), strError))
            return Fail(strError);
        MpsseTdo(run, pieceRead, answer.data(), answer.size(), tdo);
        m_bTms = run.bTmsAfter;
        m_lastLevels = m_map.Levels(false, m_bTms, pieceTdi[nClocks - 1]);
        nFirst += nClocks;
    }
    m_strFailure.clear();
    return true;
}

bool CFtdiPort::Hold(bool bTms, bool bTdi)
{
    if (!m_bDriving)
        return true;
    m_bTms = bTms;
    return PutLevels(m_map.Levels(false, bTms, bTdi));
}

bool CFtdiPort::Sample(bool& bTdo)
{
    if (m_bMpsse)
    {
        if (!Reconnect())
            return false;
        const unsigned char command[] = {MPSSE_READ_LOW, MPSSE_SEND_IMMEDIATE};
        unsigned char pins = 0;
        std::string strError;
        if (!Write(command, sizeof(command), strError) || !Read(&pins, 1, strError))
            return Fail(strError);
        bTdo = (pins & Bit(m_map.nTdo)) != 0;
        m_strFailure.clear();
        return true;
    }
    // The pins sampled as they are held now.
    m_pending.push_back(m_lastLevels);
    std::vector<unsigned char> in;
    const bool bSent = Send(in);
    bTdo = (m_lastSample & Bit(m_map.nTdo)) != 0;
    return bSent;
}

bool FtdiPinMap::TakesMpsse(FtdiEngine engine) const
{
    return engine != FtdiEngine::None && OnEnginePins() && !bBitBang;
}

FtdiEngine EngineOfChip(unsigned long nType, unsigned long n2232C, const unsigned long (&anHighSpeed)[3])
{
    if (nType == n2232C)
        return FtdiEngine::Mpsse12MHz;
    return std::find(anHighSpeed, anHighSpeed + 3, nType) != anHighSpeed + 3 ? FtdiEngine::Mpsse60MHz
                                                                             : FtdiEngine::None;
}

std::string DescribeFtdiMode(FtdiEngine engine, const FtdiPinMap& map)
{
    if (!map.TakesMpsse(engine))
        return "bit-bang";
    const MpsseClock clock = MpsseClockFor(map.MpsseKhz(), engine == FtdiEngine::Mpsse60MHz);
    return "MPSSE at " + ClockText(clock.nHz);
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

std::string CFtdiPort::Looked() const
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

bool CFtdiPort::OpenChip(std::string& strError)
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
    // MPSSE where the chip has it and the cable is wired to its pins, unless bit-bang is asked.
    m_bMpsse = m_map.TakesMpsse(Engine());
    m_traits.bTrst = m_bMpsse && m_map.nTrst >= 0;
    m_traits.bSrst = m_bMpsse && m_map.nSrst >= 0;
    m_traits.nClockHz = 0;
    m_traits.nLongestRun = 0;
    const bool bReady = m_bMpsse ? SetUpChip(strError) && StartMpsse(strError)
                                 : SetUpChip(strError) && SetBitMode(0, MODE_SYNC_BITBANG, strError) && Purge(strError);
    if (bReady)
        return true;
    CloseChip();
    return false;
}

// The engine is started from the chip's reset mode with every pin an input; after the echo of
// a command it does not know comes back, its clock is set and TDI is not looped back; every pin
// stays an input until the cable is switched on.
bool CFtdiPort::StartMpsse(std::string& strError)
{
    if (!SetBitMode(0, MODE_RESET, strError) || !SetBitMode(0, MODE_MPSSE, strError) || !Purge(strError))
        return false;
    const unsigned char bad = MPSSE_BAD_COMMAND;
    unsigned char echo[2] = {};
    if (!Write(&bad, 1, strError) || !Read(echo, 2, strError))
        return false;
    if (echo[0] != MPSSE_BAD_ANSWER || echo[1] != MPSSE_BAD_COMMAND)
    {
        char said[8];
        snprintf(said, sizeof(said), "%02X %02X", echo[0], echo[1]);
        strError = DescribeCable(m_cable) + ": the chip's serial engine (MPSSE) answered a bad command with " +
                   said + ", not FA AA.\n\nUnplug the cable, plug it in again and start MORVA again; or set "
                   "mode=bitbang under [ftdi] in the settings.";
        return false;
    }
    const bool bHighSpeed = Engine() == FtdiEngine::Mpsse60MHz;
    m_clock = MpsseClockFor(m_map.MpsseKhz(), bHighSpeed);
    std::vector<unsigned char> commands = MpsseClockCommands(m_clock, bHighSpeed);
    commands.push_back(MPSSE_LOOPBACK_OFF);
    commands.push_back(MPSSE_SET_LOW);
    commands.push_back(static_cast<unsigned char>(m_lastLevels & ~Bit(m_map.nTck)));
    commands.push_back(0);
    m_bTms = false;
    m_traits.nClockHz = m_clock.nHz;
    m_traits.nLongestRun =
        std::max<size_t>(8, std::min<size_t>(MPSSE_MOST_PIECE_CLOCKS, m_clock.nHz / MPSSE_PIECES_A_SECOND));
    return Write(commands.data(), commands.size(), strError);
}

bool CFtdiPort::Open()
{
    if (!OpenChip(m_strProblem))
        return false;
    m_bOpen = true;
    return true;
}

// A cable that stopped answering is opened anew at its next access, so that a reset after it
// is plugged back in finds it.
bool CFtdiPort::Reconnect()
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
bool CFtdiPort::DriveFrom(unsigned char levels, std::string& strError)
{
    levels = static_cast<unsigned char>(levels & ~Bit(m_map.nTck));
    // MPSSE sets a pin's level and direction in one command.
    if (m_bMpsse)
        return SetLowPins(levels, m_map.Outputs(), strError) && SetHighPins(true, strError);
    unsigned char sample = 0;
    if (!Transfer(&levels, &sample, 1, strError) || !SetBitMode(m_map.Outputs(), MODE_SYNC_BITBANG, strError))
        return false;
    m_lastLevels = levels;
    m_lastSample = sample;
    return true;
}

bool CFtdiPort::Send(std::vector<unsigned char>& in)
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

void CFtdiPort::Close()
{
    if (m_bOpen)
    {
        std::string strError;
        if (Undrive(strError) && m_bMpsse)
            SetBitMode(0, MODE_RESET, strError);
        CloseChip();
    }
    m_bOpen = false;
    m_bDriving = false;
}

bool CFtdiPort::Fail(const std::string& strWhat)
{
    m_strFailure = strWhat;
    if (m_bOpen)
        CloseChip();
    m_bOpen = false;
    return false;
}

bool CFtdiPort::Exchange(const unsigned char* pOut, size_t nOut, unsigned char* pIn, size_t nIn,
                         std::string& strError)
{
    return Write(pOut, nOut, strError) && (nIn == 0 || Read(pIn, nIn, strError));
}

bool CFtdiPort::Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError)
{
    return Write(pOut, nCount, strError) && Read(pIn, nCount, strError);
}

std::string CFtdiPort::Description() const
{
    return DescribeCable(m_cable) + " (" + m_pszLibrary + (m_bMpsse ? ", MPSSE at " + ClockText(m_clock.nHz) : "") +
           ")";
}
