#include "net_port.h"

#include <cstdio>

#include "../cable/cable.h"

CNetPort::CNetPort(const CableName& cable, std::unique_ptr<CNetLink> pLink) : m_cable(cable), m_pLink(std::move(pLink))
{
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

bool CNetPort::IsAccessible()
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

void CNetPort::Release()
{
    m_pLink->Close();
    m_bTried = false;
    m_strProblem.clear();
    m_bDriving = false;
    m_bClockPending = false;
    m_bLevelsPending = false;
    m_bSampleUnread = false;
}

bool CNetPort::Reconnect()
{
    m_bTried = true;
    if (m_pLink->IsConnected())
        return true;
    std::string strError;
    if (!Connect(strError))
    {
        Fail(strError);
        return false;
    }
    return true;
}

void CNetPort::Fail(const std::string& strWhat)
{
    // Whatever the server sends late would be taken for the next clock's answer: a failed
    // connection is closed, and the next clock opens a new one.
    m_strFailure = strWhat;
    m_pLink->Close();
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

void CNetPort::Write(unsigned short, unsigned char value)
{
    m_bClockFailed = false;
    const bool bDrive = (value & PIN_ENABLE) != 0;
    const unsigned char last = m_lastWrite;
    m_lastWrite = value;
    // Switched on, the cable drives the levels the window shows, with TCK low; switched off, it
    // leaves the server holding what it had.
    if (bDrive != m_bDriving)
    {
        m_bDriving = bDrive;
        m_bLevelsPending = bDrive;
        return;
    }
    if (!bDrive)
        return;
    if ((value & PIN_TCK) != 0 && (last & PIN_TCK) == 0)
    {
        m_bClockPending = true;
        m_clockLevels = value;
    }
    else if ((value & PIN_TCK) == 0)
        m_bLevelsPending = true;
}

void CNetPort::Flush()
{
    const bool bClock = m_bClockPending;
    const bool bLevels = m_bLevelsPending && !bClock && HoldsLevels();
    m_bClockPending = false;
    m_bLevelsPending = false;
    if (!bClock && !bLevels)
        return;
    if (!Reconnect())
    {
        m_bClockFailed = true;
        return;
    }
    std::string strError;
    const bool bTms = (m_lastWrite & PIN_TMS) != 0, bTdi = (m_lastWrite & PIN_TDI) != 0;
    bool bDone = true;
    if (bClock)
    {
        bool bTdo = true;
        bDone = Clock((m_clockLevels & PIN_TMS) != 0, (m_clockLevels & PIN_TDI) != 0, bTdo, strError);
        if (bDone)
        {
            m_bLastTdo = bTdo;
            m_bSampleUnread = true;
        }
    }
    else
        bDone = Hold(bTms, bTdi, strError);
    if (!bDone)
    {
        Fail(strError);
        m_bClockFailed = true;
        return;
    }
    m_strFailure.clear();
}

unsigned char CNetPort::Read(unsigned short)
{
    Flush();
    // A clock that failed is not sent again within itself.
    if (m_bClockFailed)
        return 0xFF;
    if (!m_bSampleUnread)
    {
        // TDO read twice without a clock between: the pin as it is now.
        bool bTdo = m_bLastTdo;
        std::string strError;
        if (!Reconnect())
            return 0xFF;
        if (!Sample(bTdo, strError))
        {
            Fail(strError);
            return 0xFF;
        }
        m_bLastTdo = bTdo;
        m_strFailure.clear();
    }
    m_bSampleUnread = false;
    return m_bLastTdo ? STATUS_TDO : 0;
}

bool CNetPort::ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError)
{
    for (const Levels& levels : clocks)
    {
        bool bTdo = true;
        if (!Clock(levels.bTms, levels.bTdi, bTdo, strError))
            return false;
        tdo.push_back(bTdo);
    }
    return true;
}

bool CNetPort::HoldClock()
{
    if (!m_bClockPending)
        return false;
    m_runClocks.push_back({(m_clockLevels & PIN_TMS) != 0, (m_clockLevels & PIN_TDI) != 0});
    m_bClockPending = false;
    m_bLevelsPending = false;
    return true;
}

void CNetPort::SendHeld()
{
    std::vector<Levels> clocks;
    clocks.swap(m_runClocks);
    if (clocks.empty())
        return;
    if (!Reconnect())
    {
        FailRun();
        return;
    }
    std::vector<bool> tdo;
    std::string strError;
    const bool bDone = ClockRun(clocks, tdo, strError);
    for (bool bTdo : tdo)
        AddRunRead(bTdo ? STATUS_TDO : 0);
    if (!tdo.empty())
        m_bLastTdo = tdo.back();
    m_bSampleUnread = false;
    if (!bDone)
    {
        Fail(strError);
        FailRun();
        return;
    }
    m_strFailure.clear();
}

void CNetPort::DropHeld()
{
    m_runClocks.clear();
    m_bClockPending = false;
    m_bLevelsPending = false;
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

bool CRemoteBitbangPort::Clock(bool bTms, bool bTdi, bool& bTdo, std::string& strError)
{
    const char message[] = {LevelsCharacter(false, bTms, bTdi), LevelsCharacter(true, bTms, bTdi), 'R'};
    return ReadTdo(std::string(message, sizeof(message)), bTdo, strError);
}

bool CRemoteBitbangPort::ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError)
{
    std::string message;
    for (const Levels& levels : clocks)
    {
        message += LevelsCharacter(false, levels.bTms, levels.bTdi);
        message += LevelsCharacter(true, levels.bTms, levels.bTdi);
        message += 'R';
    }
    // Where the server stopped answering, the clocks it answered still count.
    std::string answers(clocks.size(), '\0');
    size_t nReceived = 0;
    const bool bAnswered = Exchange(message, &answers[0], answers.size(), "R", strError, &nReceived);
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

bool CRemoteBitbangPort::Hold(bool bTms, bool bTdi, std::string& strError)
{
    return Exchange(std::string(1, LevelsCharacter(false, bTms, bTdi)), nullptr, 0, "the levels", strError);
}

bool CRemoteBitbangPort::Sample(bool& bTdo, std::string& strError)
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
    if (!Exchange("settck:" + LittleEndian32(TCK_PERIOD_NS), period, sizeof(period), "settck:", strError))
        return false;
    const unsigned long nPeriod = static_cast<unsigned char>(period[0]) |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[1])) << 8 |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[2])) << 16 |
                                  static_cast<unsigned long>(static_cast<unsigned char>(period[3])) << 24;
    m_strAbout = " (" + info.substr(0, colon) + ", TCK period " + std::to_string(nPeriod) + " ns)";
    return true;
}

bool CXvcPort::Clock(bool bTms, bool bTdi, bool& bTdo, std::string& strError)
{
    const std::string message = "shift:" + LittleEndian32(1) + std::string(1, bTms ? '\x01' : '\x00') +
                                std::string(1, bTdi ? '\x01' : '\x00');
    char tdo = 0;
    if (!Exchange(message, &tdo, 1, "shift:", strError))
        return false;
    bTdo = (tdo & 1) != 0;
    return true;
}

bool CXvcPort::ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError)
{
    // Bit i of a vector is bit i % 8 of its byte i / 8.
    const size_t nMostBits = m_nVectorBytes * 8;
    for (size_t nFirst = 0; nFirst < clocks.size(); nFirst += nMostBits)
    {
        const size_t nBits = clocks.size() - nFirst < nMostBits ? clocks.size() - nFirst : nMostBits;
        const size_t nBytes = (nBits + 7) / 8;
        std::string tms(nBytes, '\0'), tdi(nBytes, '\0');
        for (size_t i = 0; i < nBits; ++i)
        {
            const char bit = static_cast<char>(1 << (i % 8));
            if (clocks[nFirst + i].bTms)
                tms[i / 8] = static_cast<char>(tms[i / 8] | bit);
            if (clocks[nFirst + i].bTdi)
                tdi[i / 8] = static_cast<char>(tdi[i / 8] | bit);
        }
        std::string out(nBytes, '\0');
        if (!Exchange("shift:" + LittleEndian32(static_cast<unsigned long>(nBits)) + tms + tdi, &out[0], nBytes,
                      "shift:", strError))
            return false;
        for (size_t i = 0; i < nBits; ++i)
            tdo.push_back((out[i / 8] >> (i % 8) & 1) != 0);
    }
    return true;
}
