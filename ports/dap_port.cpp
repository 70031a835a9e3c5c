#include "dap_port.h"

#include <algorithm>

#include "cmsis_dap.h"

namespace {

// The most clocks the engine hands the probe at once: a run this long is some hundreds of
// packets, kept flowing by the packets in flight.
const size_t LONGEST_RUN = 65536;

// The probe asked for, looked for anew at each open.
class CFoundLink : public IDapLink
{
public:
    CFoundLink(const DapFinder& finder, const std::string& serial) : m_finder(finder), m_serial(serial) {}

    bool Open(std::string& strError) override
    {
        m_pLink.reset();
        std::vector<DapProbeFound> probes;
        size_t nDenied = 0;
        if (!m_finder.find(probes, strError, nDenied))
            return false;
        const auto found = std::find_if(probes.begin(), probes.end(), [&](const DapProbeFound& probe) {
            return m_serial.empty() || probe.serial == m_serial;
        });
        if (found == probes.end())
        {
            strError = m_serial.empty() ? "No CMSIS-DAP probe was found." : "No CMSIS-DAP probe with serial number " + m_serial + " was found.";
            if (!probes.empty())
            {
                strError += " MORVA found:";
                for (const DapProbeFound& probe : probes)
                    strError += "\n    dap:" + probe.serial + "  " + DescribeDapProbe(probe);
            }
            else if (!m_finder.strMissing.empty())
                strError += " " + m_finder.strMissing;
            if (nDenied > 0)
                strError += "\n" + std::to_string(nDenied) +
                            " USB device(s) that may be probes could not be opened to be looked at. " + m_finder.strAccess;
            return false;
        }
        m_description = DescribeDapProbe(*found);
        m_pLink = m_finder.link(*found);
        if (m_pLink->Open(strError))
            return true;
        m_pLink.reset();
        return false;
    }
    void Close() override
    {
        if (m_pLink)
            m_pLink->Close();
    }
    void SetPacketSize(size_t nBytes) override
    {
        if (m_pLink)
            m_pLink->SetPacketSize(nBytes);
    }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        if (m_pLink)
            return m_pLink->Write(command, strError);
        strError = "The CMSIS-DAP probe is not open.";
        return false;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned nTimeoutMs, std::string& strError) override
    {
        if (m_pLink)
            return m_pLink->Read(answer, nTimeoutMs, strError);
        strError = "The CMSIS-DAP probe is not open.";
        return false;
    }
    std::string Description() const override
    {
        if (!m_description.empty())
            return m_description;
        return m_serial.empty() ? "CMSIS-DAP probe (first found)" : "CMSIS-DAP probe " + m_serial;
    }

private:
    DapFinder m_finder;
    std::string m_serial;
    std::string m_description;
    std::unique_ptr<IDapLink> m_pLink;
};

} // namespace

std::string DescribeDapProbe(const DapProbeFound& probe)
{
    return (probe.product.empty() ? std::string("CMSIS-DAP probe") : probe.product) + " (CMSIS-DAP v" +
           std::to_string(probe.nVersion) + ")";
}

bool NamesCmsisDap(const std::string& text)
{
    return text.find("CMSIS-DAP") != std::string::npos;
}

std::string Utf8OfWide(const wchar_t* psz, size_t nMost)
{
    std::string text;
    for (size_t i = 0; psz != nullptr && i < nMost && psz[i] != 0; ++i)
    {
        uint32_t c = static_cast<uint32_t>(psz[i]);
        // UTF-16's surrogate pair, where wide characters are 16 bits.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < nMost && psz[i + 1] >= 0xDC00 && psz[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(psz[++i]) - 0xDC00);
        if (c < 0x80)
            text += static_cast<char>(c);
        else if (c < 0x800)
            text += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            text += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                     static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x110000)
            text += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                     static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return text;
}

void AddHidProbe(std::vector<DapProbeFound>& probes, const DapProbeFound& probe)
{
    if (std::none_of(probes.begin(), probes.end(), [&](const DapProbeFound& other) {
            return !probe.serial.empty() && other.serial == probe.serial;
        }))
        probes.push_back(probe);
}

std::unique_ptr<IDapLink> MakeFoundLink(const DapFinder& finder, const std::string& serial)
{
    return std::unique_ptr<IDapLink>(new CFoundLink(finder, serial));
}

CDapCable::CDapCable(std::unique_ptr<IDapLink> pLink, unsigned nKhz)
    : m_pLink(std::move(pLink)), m_nKhz(nKhz != 0 ? nKhz : DEFAULT_KHZ)
{
    m_traits.bCheckedEverywhere = true;
    m_traits.bTrst = true;
    m_traits.bSrst = true;
    m_traits.nLongestRun = LONGEST_RUN;
    m_traits.nClockHz = static_cast<unsigned long>(m_nKhz) * 1000;
    m_released = dap::PIN_NTRST | dap::PIN_NRESET;
}

bool CDapCable::Open()
{
    if (m_bOpen)
        return true;
    m_strProblem.clear();
    if (!OpenProbe(m_strProblem))
        return false;
    m_bOpen = true;
    return true;
}

bool CDapCable::OpenProbe(std::string& strError)
{
    if (!m_pLink->Open(strError))
        return false;
    // Until the probe has said its packet size, it is spoken to in the smallest there is.
    m_pLink->SetPacketSize(dap::LEAST_PACKET);
    std::vector<uint8_t> answer;
    unsigned nSize = 0, nCount = 0, nCapabilities = 0;
    const bool bTold = Transact(DapInfoCommand(dap::INFO_PACKET_SIZE), answer, 2, strError) &&
                       DapInfoNumber(answer, nSize, strError) &&
                       Transact(DapInfoCommand(dap::INFO_PACKET_COUNT), answer, 2, strError) &&
                       DapInfoNumber(answer, nCount, strError) &&
                       Transact(DapInfoCommand(dap::INFO_CAPABILITIES), answer, 2, strError) &&
                       DapInfoNumber(answer, nCapabilities, strError);
    if (bTold && (nSize < dap::LEAST_PACKET || nSize > dap::MOST_PACKET))
        strError = "The CMSIS-DAP probe gives its packets as " + std::to_string(nSize) +
                   " bytes long, outside the protocol's 64 to 32768.";
    else if (bTold && (nCapabilities & dap::CAPABILITY_JTAG) == 0)
        strError = "The CMSIS-DAP probe " + m_pLink->Description() +
                   " does no JTAG (its DAP_Info offers SWD only), so MORVA cannot use it.";
    else if (bTold)
    {
        m_nPacketSize = nSize;
        m_nPacketCount = nCount != 0 ? nCount : 1;
        m_pLink->SetPacketSize(m_nPacketSize);
        return true;
    }
    m_pLink->Close();
    return false;
}

bool CDapCable::Connect(std::string& strError)
{
    std::vector<uint8_t> answer;
    if (!Transact(DapConnectJtag(), answer, 2, strError))
        return false;
    if (answer[1] != dap::PORT_JTAG)
    {
        strError = "The CMSIS-DAP probe " + m_pLink->Description() + " could not be put in JTAG mode.";
        return false;
    }
    if (!Transact(DapClockCommand(static_cast<uint32_t>(m_nKhz) * 1000), answer, 2, strError))
        return false;
    // TCK low with the levels held, so that taking the pins is no clock.
    const uint8_t levels = static_cast<uint8_t>((m_bTms ? dap::PIN_TMS : 0) | (m_bTdi ? dap::PIN_TDI : 0) | m_released);
    return Transact(DapPinsCommand(levels, dap::PIN_TCK | dap::PIN_TMS | dap::PIN_TDI | dap::PIN_NTRST | dap::PIN_NRESET),
                    answer, 2, strError);
}

bool CDapCable::Transact(const std::vector<uint8_t>& command, std::vector<uint8_t>& answer, size_t nLeast,
                         std::string& strError)
{
    return m_pLink->Write(command, strError) && m_pLink->Read(answer, TIMEOUT_MS, strError) &&
           DapAnswerFits(command, answer, nLeast, strError);
}

// A probe that stopped answering is opened anew at its next use, so that a reset after it is
// plugged back in finds it.
bool CDapCable::Reconnect()
{
    std::string strError;
    if (!m_bOpen && !OpenProbe(strError))
        return Fail(strError);
    m_bOpen = true;
    if (m_bDriving && !m_bConnected && !Connect(strError))
        return Fail(strError);
    m_bConnected = m_bDriving;
    return true;
}

bool CDapCable::Switch(bool bOn)
{
    if (!bOn)
    {
        // A switched-off probe drives nothing: DAP_Disconnect lets its pins go.
        std::vector<uint8_t> answer;
        std::string strError;
        m_bDriving = false;
        if (m_bConnected && !Transact(DapDisconnect(), answer, 2, strError))
            return Fail(strError);
        m_bConnected = false;
        return m_strFailure.empty();
    }
    const bool bWasConnected = m_bConnected;
    m_bDriving = true;
    m_bTms = false;
    m_bTdi = false;
    if (!Reconnect())
        return false;
    // Connecting put the levels out; a probe that was connected already is given them.
    uint8_t input = 0;
    if (bWasConnected && !Pins(0, dap::PIN_TCK | dap::PIN_TMS | dap::PIN_TDI, input))
        return false;
    m_strFailure.clear();
    return true;
}

bool CDapCable::Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    if (tms.empty())
        return true;
    if (!Reconnect())
        return false;
    const std::vector<DapSequencePacket> packets = DapSequencePackets(tms, tdi, read, m_nPacketSize);
    std::vector<uint8_t> answer;
    std::string strError, strWriteError;
    bool bWriteFailed = false;
    size_t nSent = 0;
    for (size_t nDone = 0; nDone < packets.size(); ++nDone)
    {
        // As many packets in flight as the probe takes. Where one cannot go out, the answers of
        // those already out are still taken: their clocks were made.
        for (; !bWriteFailed && nSent < packets.size() && nSent < nDone + m_nPacketCount; ++nSent)
        {
            bWriteFailed = !m_pLink->Write(packets[nSent].command, strWriteError);
            if (bWriteFailed)
                break;
        }
        if (nDone == nSent)
            return Fail(strWriteError);
        if (!m_pLink->Read(answer, TIMEOUT_MS, strError) ||
            !DapAnswerFits(packets[nDone].command, answer, packets[nDone].nAnswerBytes, strError))
            return Fail(bWriteFailed ? strWriteError : strError);
        DapSequenceTdo(packets[nDone], read, answer, tdo);
    }
    m_bTms = tms[tms.size() - 1];
    m_bTdi = tdi[tdi.size() - 1];
    m_strFailure.clear();
    return true;
}

bool CDapCable::Pins(uint8_t output, uint8_t select, uint8_t& input)
{
    std::vector<uint8_t> answer;
    std::string strError;
    if (!Reconnect())
        return false;
    if (!Transact(DapPinsCommand(output, select), answer, 2, strError))
        return Fail(strError);
    input = answer[1];
    m_strFailure.clear();
    return true;
}

bool CDapCable::Hold(bool bTms, bool bTdi)
{
    m_bTms = bTms;
    m_bTdi = bTdi;
    uint8_t input = 0;
    return Pins(static_cast<uint8_t>((bTms ? dap::PIN_TMS : 0) | (bTdi ? dap::PIN_TDI : 0)),
                dap::PIN_TCK | dap::PIN_TMS | dap::PIN_TDI, input);
}

bool CDapCable::Sample(bool& bTdo)
{
    uint8_t input = 0;
    if (!Pins(0, 0, input))
        return false;
    bTdo = (input & dap::PIN_TDO) != 0;
    return true;
}

bool CDapCable::SetResetLine(ResetLine line, bool bAsserted)
{
    const uint8_t pin = line == ResetLine::Trst ? dap::PIN_NTRST : dap::PIN_NRESET;
    m_released = static_cast<uint8_t>(bAsserted ? m_released & ~pin : m_released | pin);
    uint8_t input = 0;
    return Pins(m_released & pin, pin, input);
}

void CDapCable::Close()
{
    if (m_bOpen)
    {
        std::vector<uint8_t> answer;
        std::string strError;
        if (m_bConnected)
            Transact(DapDisconnect(), answer, 2, strError);
        m_pLink->Close();
    }
    m_bOpen = false;
    m_bConnected = false;
    m_bDriving = false;
}

bool CDapCable::Fail(const std::string& strWhat)
{
    m_strFailure = strWhat;
    if (m_bOpen)
        m_pLink->Close();
    m_bOpen = false;
    m_bConnected = false;
    return false;
}

std::string CDapCable::Description() const
{
    return m_pLink->Description() + " at " + ClockText(m_traits.nClockHz);
}
