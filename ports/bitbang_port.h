// An FTDI chip in synchronous bit-bang mode standing in for the parallel port: the data
// register's TDI, TCK and TMS bits become pin levels, its enable bit the pins' directions, and
// status bit 4 is TDO as the chip sampled it. The writes of one clock go out in one transfer,
// sent when TDO is read, so that a clock costs one USB round trip.
#pragma once

#include <string>
#include <vector>

#include "../cable/port.h"

// Which of the chip's eight pins (ADBUS0 to 7, or DBUS on FT232R) carries which signal, and the
// level and direction of the pins that carry none (buffer enables on some cables).
struct FtdiPinMap
{
    int nTck = 0;
    int nTdi = 1;
    int nTdo = 2;
    int nTms = 3;
    unsigned char value = 0;
    unsigned char direction = 0;

    // False, with the reason, for bits outside 0 to 7, two signals on one pin, or TDO driven.
    bool IsValid(std::string& strError) const;
    unsigned char Outputs() const;
    // The pin levels for a data-register value.
    unsigned char Levels(unsigned char data) const;
};

class CBitBangPort : public CPort
{
public:
    explicit CBitBangPort(const FtdiPinMap& map) : m_map(map) {}

    void Write(unsigned short address, unsigned char value) override;
    unsigned char Read(unsigned short address) override;
    void Flush() override;
    bool IsAccessible() override;
    bool IsCheckedEverywhere() const override { return true; }
    std::string AccessProblem() const override { return m_strProblem; }
    std::string Failure() const override { return m_strFailure; }

protected:
    // The chip's own operations, each false with what failed. OpenChip leaves the chip in
    // synchronous bit-bang mode with every pin an input.
    virtual bool OpenChip(std::string& strError) = 0;
    virtual void CloseChip() = 0;
    virtual bool SetOutputs(unsigned char mask, std::string& strError) = 0;
    // Puts out[i] on the pins one after another and gives back what the pins read before each.
    virtual bool Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError) = 0;

    bool IsChipOpen() const { return m_bOpen; }

private:
    bool Reconnect();
    bool DriveFrom(unsigned char levels, std::string& strError);
    bool Send();
    void Fail(const std::string& strWhat);

    FtdiPinMap m_map;
    bool m_bOpen = false;
    bool m_bDriving = false;
    std::vector<unsigned char> m_pending;
    unsigned char m_lastLevels = 0;
    unsigned char m_lastSample = 0xFF;
    std::string m_strProblem;
    std::string m_strFailure;
};
