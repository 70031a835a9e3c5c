#include "net_port.h"

#include <cstdio>


CNetPort::CNetPort(const CableName& cable, std::unique_ptr<CNetLink> pLink) : m_cable(cable), m_pLink(std::move(pLink))
{
    m_traits.bCheckedEverywhere = true;
}

std::string CNetPort::Server() const
{
    return "The " + DescribeCable(m_cable);
}

bool CNetPort::Connect(std::string& strError)
{
    std::string strWhy;
    const NetResult result = m_cable.device.empty() ? m_pLink->Connect(m_cable.host, m_cable.port, strWhy)
                                                   : m_pLink->ConnectLocal(m_cable.device, strWhy);
    if (result == NetResult::Done)
        return Greet(strError);
    const std::string where = m_cable.device.empty() ? "port " + std::to_string(m_cable.port) + " of " + m_cable.host
                                                    : m_cable.device;
    strError = Server() + " could not be reached: " + strWhy + ".";
    if (result == NetResult::Refused)
        strError += " Check that the server is running and listens on " + where + ".";
    else if (result == NetResult::TimedOut)
        strError += " Check that " + (m_cable.device.empty() ? m_cable.host : where) +
                    " is the right machine and is up, and that no firewall drops the connection.";
    else
        strError += " Check the host name and the network.";
    return false;
}

bool CNetPort::Open()
{
    if (!m_bTried)
    {
        m_bTried = true;
        std::string strError;
        if (!Connect(strError))
        {
            m_pLink->Close();
            m_strProblem = strError;
        }
    }
    return m_strProblem.empty();
}

void CNetPort::Close()
{
    m_pLink->Close();
    m_bTried = false;
    m_strProblem.clear();
    m_bDriving = false;
}

bool CNetPort::Reconnect()
{
    m_bTried = true;
    if (m_pLink->IsConnected())
        return true;
    std::string strError;
    return Connect(strError) || Done(false, strError);
}

bool CNetPort::Done(bool bDone, const std::string& strError)
{
    if (bDone)
    {
        m_strFailure.clear();
        return true;
    }
    // Whatever the server sends late would be taken for the next clock's answer: a failed
    // connection is closed, and the next clock opens a new one.
    m_strFailure = strError;
    m_pLink->Close();
    return false;
}

bool CNetPort::Exchange(const std::string& message, void* pReply, size_t nReply, const char* pszWhat,
                        std::string& strError, size_t* pnReceived)
{
    std::string strWhy;
    NetResult result = m_pLink->Send(message.data(), message.size(), strWhy);
    if (result != NetResult::Done)
    {
        strError = Server() + " could not be sent " + pszWhat + ": " + strWhy + ".";
        return false;
    }
    size_t nReceived = 0;
    result = m_pLink->Receive(pReply, nReply, nReceived, strWhy);
    if (pnReceived != nullptr)
        *pnReceived = nReceived;
    if (result != NetResult::Done)
    {
        strError = Server() + " answered " + std::to_string(nReceived) + " of the " + std::to_string(nReply) +
                   (nReply == 1 ? " byte" : " bytes") + " that " + pszWhat + " takes: " + strWhy + ".";
        return false;
    }
    return true;
}

bool CNetPort::Switch(bool bOn)
{
    // Switched on, the cable drives the levels the window shows, with TCK low; switched off, it
    // leaves the server holding what it had.
    const bool bChanged = bOn != m_bDriving;
    m_bDriving = bOn;
    if (!bChanged || !bOn || !m_traits.bHoldsLevels)
        return true;
    return Hold(false, false);
}

bool CNetPort::Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    if (tms.empty())
        return true;
    if (!Reconnect())
        return false;
    std::string strError;
    const size_t nBefore = tdo.size();
    const bool bDone = ClockRun(tms, tdi, read, tdo, strError);
    if (tdo.size() > nBefore)
        m_bLastTdo = tdo[tdo.size() - 1];
    return Done(bDone, strError);
}

bool CNetPort::Hold(bool bTms, bool bTdi)
{
    if (!m_traits.bHoldsLevels)
        return true;
    if (!Reconnect())
        return false;
    std::string strError;
    return Done(HoldLevels(bTms, bTdi, strError), strError);
}

bool CNetPort::Sample(bool& bTdo)
{
    bTdo = m_bLastTdo;
    if (!Reconnect())
        return false;
    std::string strError;
    if (!Done(SampleTdo(bTdo, strError), strError))
        return false;
    m_bLastTdo = bTdo;
    return true;
}

// --- remote_bitbang ---------------------------------------------------------------------------

namespace {

char LevelsCharacter(bool bTck, bool bTms, bool bTdi)
{
    return static_cast<char>('0' + (bTck ? 4 : 0) + (bTms ? 2 : 0) + (bTdi ? 1 : 0));
}

std::string Printable(char c)
{
    char text[24];
    if (c >= 0x21 && c < 0x7F)
        snprintf(text, sizeof(text), "'%c' (0x%02X)", c, static_cast<unsigned char>(c));
    else
        snprintf(text, sizeof(text), "0x%02X", static_cast<unsigned char>(c));
    return text;
}

} // namespace

CRemoteBitbangPort::~CRemoteBitbangPort()
{
    Goodbye();
}

bool CRemoteBitbangPort::ReadTdo(const std::string& message, bool& bTdo, std::string& strError)
{
    char answer = 0;
    if (!Exchange(message, &answer, 1, "R", strError))
        return false;
    if (answer != '0' && answer != '1')
    {
        strError = Server() + " answered R with " + Printable(answer) + ", where remote_bitbang allows only '0' or '1'.";
        return false;
    }
    bTdo = answer == '1';
    return true;
}

bool CRemoteBitbangPort::ClockRun(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo,
                                  std::string& strError)
{
    std::string message;
    size_t nReads = 0;
    message.reserve(tms.size() * 3);
    for (size_t i = 0; i < tms.size(); ++i)
    {
        message += LevelsCharacter(false, tms[i], tdi[i]);
        message += LevelsCharacter(true, tms[i], tdi[i]);
        if (read[i])
        {
            message += 'R';
            ++nReads;
        }
    }
    // Where the server stopped answering, the clocks it answered still count.
    std::string answers(nReads, '\0');
    size_t nReceived = 0;
    const bool bAnswered = nReads == 0 ? Exchange(message, nullptr, 0, "the clocks", strError)
                                       : Exchange(message, &answers[0], answers.size(), "R", strError, &nReceived);
    answers.resize(nReceived);
    for (char answer : answers)
    {
        if (answer != '0' && answer != '1')
        {
            strError = Server() + " answered R with " + Printable(answer) + ", where remote_bitbang allows only '0' or '1'.";
            return false;
        }
        tdo.push_back(answer == '1');
    }
    return bAnswered;
}

bool CRemoteBitbangPort::HoldLevels(bool bTms, bool bTdi, std::string& strError)
{
    return Exchange(std::string(1, LevelsCharacter(false, bTms, bTdi)), nullptr, 0, "the levels", strError);
}

bool CRemoteBitbangPort::SampleTdo(bool& bTdo, std::string& strError)
{
    return ReadTdo("R", bTdo, strError);
}

void CRemoteBitbangPort::Goodbye()
{
    if (!Link().IsConnected())
        return;
    std::string strError;
    Link().Send("Q", 1, strError);
    Link().Close();
}

// --- Xilinx Virtual Cable ---------------------------------------------------------------------

namespace {

std::string LittleEndian32(unsigned long value)
{
    const char bytes[] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                          static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
    return std::string(bytes, sizeof(bytes));
}

} // namespace

CXvcPort::CXvcPort(const CableName& cable, std::unique_ptr<CNetLink> pLink, unsigned nKhz)
    : CNetPort(cable, std::move(pLink)), m_nPeriodNs(nKhz == 0 ? TCK_PERIOD_NS : (1000000 + nKhz / 2) / nKhz)
{
    m_traits.bHoldsLevels = false;
}

bool CXvcPort::Greet(std::string& strError)
{
    // "xvcServer_v1.0:<the longest vector in bytes>\n"
    std::string strWhy;
    NetResult result = Link().Send("getinfo:", 8, strWhy);
    std::string info;
    if (result == NetResult::Done)
        result = Link().ReceiveLine(info, 64, strWhy);
    if (result != NetResult::Done)
    {
        strError = Server() + " did not answer getinfo: whole: " + strWhy + ".";
        return false;
    }
    const std::string prefix = "xvcServer_v1.";
    const size_t colon = info.find(':');
    const unsigned long nLimit = colon != std::string::npos ? strtoul(info.c_str() + colon + 1, nullptr, 10) : 0;
    if (info.compare(0, prefix.size(), prefix) != 0 || colon == std::string::npos)
    {
        strError = Server() + " answered getinfo: with \"" + info.substr(0, info.size() - 1) +
                   "\", which is not an XVC 1.0 server's answer.";
        return false;
    }
    m_nVectorBytes = nLimit;
    if (nLimit < 1)
    {
        strError = Server() + " takes vectors of at most " + std::to_string(nLimit) +
                   " bytes, less than the one byte a clock needs.";
        return false;
    }
    char period[4] = {};
    if (!Exchange("settck:" + LittleEndian32(m_nPeriodNs), period, sizeof(period), "settck:", strError))
        return false;
    const unsigned long nPeriod = static_cast<unsigned char>(period[0]) |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[1])) << 8 |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[2])) << 16 |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[3])) << 24;
    m_strAbout = " (" + info.substr(0, colon) + ", TCK period " + std::to_string(nPeriod) + " ns)";
    m_traits.nClockHz = nPeriod == 0 ? 0 : static_cast<unsigned long>((1000000000ull + nPeriod / 2) / nPeriod);
    return true;
}

bool CXvcPort::ClockRun(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo, std::string& strError)
{
    // Bit i of a vector is bit i % 8 of its byte i / 8, as CBits packs them.
    const size_t nMostBits = m_nVectorBytes * 8;
    for (size_t nFirst = 0; nFirst < tms.size(); nFirst += nMostBits)
    {
        const size_t nBits = tms.size() - nFirst < nMostBits ? tms.size() - nFirst : nMostBits;
        const size_t nBytes = (nBits + 7) / 8;
        const CBits tmsPiece = tms.Slice(nFirst, nBits), tdiPiece = tdi.Slice(nFirst, nBits);
        const std::string tmsBytes(reinterpret_cast<const char*>(tmsPiece.Bytes()), nBytes);
        const std::string tdiBytes(reinterpret_cast<const char*>(tdiPiece.Bytes()), nBytes);
        std::string out(nBytes, '\0');
        if (!Exchange("shift:" + LittleEndian32(static_cast<unsigned long>(nBits)) + tmsBytes + tdiBytes, &out[0],
                      nBytes, "shift:", strError))
            return false;
        for (size_t i = 0; i < nBits; ++i)
        {
            if (read[nFirst + i])
                tdo.push_back((out[i / 8] >> (i % 8) & 1) != 0);
        }
    }
    return true;
}
