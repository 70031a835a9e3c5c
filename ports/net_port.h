// A JTAG server on the network standing in for the parallel port: the data register's TDI, TCK
// and TMS bits become the levels the server drives, and status bit 4 is the TDO it answers. A
// clock's four writes go out as one message when the port is flushed, and its TDO comes back
// with the answer. Each protocol is a small class below; the connection, its faults and the
// reconnect are written once here.
#pragma once

#include <memory>
#include <string>

#include "../cable/port.h"
#include "cable_name.h"
#include "net_link.h"

class CNetPort : public CPort
{
public:
    CNetPort(const CableName& cable, std::unique_ptr<CNetLink> pLink);

    void Write(unsigned short address, unsigned char value) override;
    unsigned char Read(unsigned short address) override;
    void Flush() override;
    bool IsAccessible() override;
    bool IsCheckedEverywhere() const override { return true; }
    std::string AccessProblem() const override { return m_strProblem; }
    std::string Failure() const override { return m_strFailure; }
    std::string Description() const override { return DescribeCable(m_cable) + m_strAbout; }
    void Release() override;

protected:
    // What the protocol says first on a new connection.
    virtual bool Greet(std::string& /*strError*/) { return true; }
    // One clock with these levels (TCK low, then high), and TDO as it reads after the rising edge.
    virtual bool Clock(bool bTms, bool bTdi, bool& bTdo, std::string& strError) = 0;
    // Clocks one after another, as Clock would: TDO of each in tdo, as far as they went.
    struct Levels
    {
        bool bTms;
        bool bTdi;
    };
    virtual bool ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError);
    // The levels held with TCK low, without a clock: only where HoldsLevels().
    virtual bool Hold(bool /*bTms*/, bool /*bTdi*/, std::string& /*strError*/) { return true; }
    // TDO now, without a clock: only where HoldsLevels().
    virtual bool Sample(bool& bTdo, std::string& /*strError*/)
    {
        bTdo = m_bLastTdo;
        return true;
    }
    // Said before the connection is closed for good.
    virtual void Goodbye() {}
    // A run's clocks go to the server together, in as few messages as the protocol allows.
    bool HoldClock() override;
    void SendHeld() override;
    void DropHeld() override;

    // Sends the message and waits for exactly nReply bytes of answer (none: nothing is awaited).
    // pszWhat names the message in the error: "R", "shift:". pnReceived: how much did come.
    bool Exchange(const std::string& message, void* pReply, size_t nReply, const char* pszWhat, std::string& strError,
                  size_t* pnReceived = nullptr);
    CNetLink& Link() { return *m_pLink; }
    // "The remote_bitbang server at localhost:44853"
    std::string Server() const;

    CableName m_cable;
    std::string m_strAbout;  // added to the description once the server has said what it is

private:
    bool Connect(std::string& strError);
    bool Reconnect();
    void Fail(const std::string& strWhat);

    std::unique_ptr<CNetLink> m_pLink;
    bool m_bTried = false;
    bool m_bDriving = false;
    unsigned char m_lastWrite = 0;
    bool m_bClockPending = false;
    bool m_bLevelsPending = false;
    bool m_bClockFailed = false;
    bool m_bSampleUnread = false;
    bool m_bLastTdo = true;
    unsigned char m_clockLevels = 0;
    // In a run: the clocks not yet sent.
    std::vector<Levels> m_runClocks;
    std::string m_strProblem;
    std::string m_strFailure;
};

// OpenOCD's remote_bitbang: a character '0' to '7' sets TCK, TMS and TDI (4, 2, 1); 'R' asks for
// TDO, answered '0' or '1'; 'Q' ends the session.
class CRemoteBitbangPort : public CNetPort
{
public:
    using CNetPort::CNetPort;
    ~CRemoteBitbangPort() override;

protected:
    bool Clock(bool bTms, bool bTdi, bool& bTdo, std::string& strError) override;
    // Every clock's characters and its R in one message, the answers read together.
    bool ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError) override;
    bool Hold(bool bTms, bool bTdi, std::string& strError) override;
    bool Sample(bool& bTdo, std::string& strError) override;
    void Goodbye() override;

private:
    bool ReadTdo(const std::string& message, bool& bTdo, std::string& strError);
};

// Xilinx Virtual Cable 1.0: "getinfo:" once, "settck:" with the period, then "shift:": one bit
// for a clock, a run's clocks in as few shifts as the server's vector length allows. A shift
// always clocks: there are no held levels and no TDO without a clock.
class CXvcPort : public CNetPort
{
public:
    using CNetPort::CNetPort;

    bool HoldsLevels() const override { return false; }

    // 100 kHz, in nanoseconds: slow enough for long flying leads and any target, as the FTDI
    // cables' tens of kilohertz are, while a clock still costs its network round trip, not TCK.
    static constexpr unsigned long TCK_PERIOD_NS = 10000;

protected:
    bool Greet(std::string& strError) override;
    bool Clock(bool bTms, bool bTdi, bool& bTdo, std::string& strError) override;
    bool ClockRun(const std::vector<Levels>& clocks, std::vector<bool>& tdo, std::string& strError) override;

private:
    unsigned long m_nVectorBytes = 1;  // the longest TMS or TDI vector the server takes
};
