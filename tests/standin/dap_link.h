// A CMSIS-DAP probe's packets carried to the simulated probe in this process, each command kept,
// with the faults a real probe shows planted at the packet chosen: an answer of DAP_ERROR, one cut
// short, one for another command, none at all, and the probe unplugged.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "call_log.h"
#include "ports/dap_port.h"
#include "simboard/dap_probe.h"

// A probe's identity as the stand-ins give it.
inline CDapProbe::Identity ProbeIdentity(const char* pszProduct, const char* pszSerial, uint16_t nPacketSize,
                                         uint8_t nPacketCount)
{
    CDapProbe::Identity identity;
    identity.product = pszProduct;
    identity.serial = pszSerial;
    identity.nPacketSize = nPacketSize;
    identity.nPacketCount = nPacketCount;
    return identity;
}

// The two probes a system's stand-in serves, a v1 (HID) and a v2 (bulk) one, each the simulated
// probe with a board of its own, and what both stand-ins keep of them.
struct DapProbePair : CallLog
{
    CDapProbe hidProbe{ProbeIdentity("MORVA HID probe CMSIS-DAP", "HID00001", 64, 4)};
    CDapProbe usbProbe{ProbeIdentity("MORVA Debug Probe", "E6614103E7475D2F", 512, 2)};
    bool bHidPresent = true;
    bool bUsbPresent = true;
    int nUnplugAtWrite = 0;  // both unplugged as the write this many writes on is made (0: never)
    size_t nWrites = 0;
    // The log: the packets, one line each, "hid 65: 00 00 FF ..." (the report number, then the
    // report) or "bulk 2: 00 FF", with what else the stand-in notes.

    // Counts a write; the one planted unplugs both probes.
    void CountWrite()
    {
        if (static_cast<int>(++nWrites) != nUnplugAtWrite)
            return;
        bHidPresent = false;
        bUsbPresent = false;
    }
};

enum class DapFault
{
    None,
    Error,      // the status DAP_ERROR
    Short,      // the answer's first byte alone
    WrongEcho,  // another command's byte first
    Silent,     // no answer, from that packet on
    Unplugged,  // the write fails, and so does every open after it
};

class CProbeLink : public IDapLink
{
public:
    explicit CProbeLink(CDapProbe& probe, const char* pszTransport = "CMSIS-DAP v2")
        : m_probe(probe), m_pszTransport(pszTransport)
    {
    }

    bool Open(std::string& strError) override
    {
        if (m_bUnplugged)
        {
            strError = "No CMSIS-DAP probe was found.";
            return false;
        }
        m_bOpen = true;
        ++nOpens;
        return true;
    }
    void Close() override
    {
        m_bOpen = false;
        m_answers.clear();
    }
    void SetPacketSize(size_t nBytes) override { nPacketSize = nBytes; }
    bool Write(const std::vector<uint8_t>& command, std::string& strError) override
    {
        const bool bFault = ++nWrites == nFaultAt;
        if (!m_bOpen || m_bUnplugged || (bFault && fault == DapFault::Unplugged))
        {
            m_bUnplugged = m_bUnplugged || bFault;
            strError = "The CMSIS-DAP probe is gone: the USB transfer failed.";
            return false;
        }
        commands.push_back(command);
        bOversize = bOversize || command.size() > nPacketSize;
        std::vector<uint8_t> answer = m_probe.Answer(command.data(), command.size());
        bOversize = bOversize || answer.size() > nPacketSize;
        if (bFault && fault == DapFault::Error && answer.size() >= 2)
            answer[1] = 0xFF;
        if (bFault && fault == DapFault::Short)
            answer.resize(1);
        if (bFault && fault == DapFault::WrongEcho)
            answer[0] = 0x11;
        m_bSilent = m_bSilent || (bFault && fault == DapFault::Silent);
        if (!m_bSilent)
            m_answers.push_back(answer);
        nMostInFlight = std::max(nMostInFlight, m_answers.size());
        return true;
    }
    bool Read(std::vector<uint8_t>& answer, unsigned /*nTimeoutMs*/, std::string& strError) override
    {
        // What came before an unplug is there to be read.
        if (m_answers.empty())
        {
            strError = "The CMSIS-DAP probe did not answer within a second.";
            return false;
        }
        answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return true;
    }
    std::string Description() const override
    {
        return m_probe.Probe().product + " (" + m_pszTransport + ")";
    }

    void Plant(DapFault planted, size_t nAtWrite)
    {
        fault = planted;
        nFaultAt = nAtWrite;
    }
    // The probe unplugged and plugged in again: answering, and found.
    void PlugBackIn()
    {
        m_bUnplugged = false;
        m_bSilent = false;
    }

    std::vector<std::vector<uint8_t>> commands;
    size_t nWrites = 0;
    size_t nOpens = 0;
    size_t nPacketSize = 0;
    size_t nMostInFlight = 0;
    bool bOversize = false;  // a command or answer longer than the packet size
    DapFault fault = DapFault::None;
    size_t nFaultAt = 0;

private:
    CDapProbe& m_probe;
    const char* m_pszTransport;
    bool m_bOpen = false;
    bool m_bUnplugged = false;
    bool m_bSilent = false;
    std::vector<std::vector<uint8_t>> m_answers;
};
