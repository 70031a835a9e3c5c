// A JTAG server on the network as the cable: the clocks' TMS and TDI become the levels the
// server drives, and the TDO it answers comes back with them, a run of clocks in as few messages
// as the protocol allows. Each protocol is a small class below; the connection, its faults and
// the reconnect are written once here.
#pragma once

#include <memory>
#include <string>

#include "../cable/cable.h"
#include "cable_name.h"
#include "net_link.h"

class CNetPort : public CCableBase
{
public:
    CNetPort(const CableName& cable, std::unique_ptr<CNetLink> pLink);

    bool Open() override;
    void Close() override;
    // Switched on, the server is given the levels the window shows (TMS and TDI low) with TCK
    // low; switched off, it is left holding what it had.
    bool Switch(bool bOn) override;
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override;
    bool Hold(bool bTms, bool bTdi) override;
    bool Sample(bool& bTdo) override;
    std::string Description() const override { return DescribeCable(m_cable) + m_strAbout; }

protected:
    // What the protocol says first on a new connection.
    virtual bool Greet(std::string& /*strError*/) { return true; }
    // Clocks one after another (TCK low, then high), in as few messages as the protocol allows:
    // TDO as it reads after the rising edge of each clock read asks for, in tdo, as far as the
    // server answered.
    virtual bool ClockRun(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo,
                          std::string& strError) = 0;
    // The levels held with TCK low, without a clock: only where bHoldsLevels.
    virtual bool HoldLevels(bool /*bTms*/, bool /*bTdi*/, std::string& /*strError*/) { return true; }
    // TDO now, without a clock: only where bHoldsLevels.
    virtual bool SampleTdo(bool& bTdo, std::string& /*strError*/)
    {
        bTdo = m_bLastTdo;
        return true;
    }
    // Said before the connection is closed for good.
    virtual void Goodbye() {}

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
    // Gives the result of one use: a failure is kept, and its connection closed.
    bool Done(bool bDone, const std::string& strError);

    std::unique_ptr<CNetLink> m_pLink;
    bool m_bTried = false;
    bool m_bDriving = false;
    bool m_bLastTdo = true;
};

// OpenOCD's remote_bitbang: a character '0' to '7' sets TCK, TMS and TDI (4, 2, 1); 'R' asks for
// TDO, answered '0' or '1'; 'Q' ends the session.
class CRemoteBitbangPort : public CNetPort
{
public:
    using CNetPort::CNetPort;
    ~CRemoteBitbangPort() override;

protected:
    // Every clock's characters and its R in one message, the answers read together.
    bool ClockRun(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo, std::string& strError) override;
    bool HoldLevels(bool bTms, bool bTdi, std::string& strError) override;
    bool SampleTdo(bool& bTdo, std::string& strError) override;
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
    // nKhz: the clock to ask the server for; 0, TCK_PERIOD_NS.
    CXvcPort(const CableName& cable, std::unique_ptr<CNetLink> pLink, unsigned nKhz = 0);

    // 100 kHz, in nanoseconds: slow enough for long flying leads and any target, as the FTDI
    // cables' tens of kilohertz are, while a clock still costs its network round trip, not TCK.
    static constexpr unsigned long TCK_PERIOD_NS = 10000;

protected:
    bool Greet(std::string& strError) override;
    bool ClockRun(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo, std::string& strError) override;

private:
    unsigned long m_nVectorBytes = 1;  // the longest TMS or TDI vector the server takes
    unsigned long m_nPeriodNs;         // what settck: asks for
};
