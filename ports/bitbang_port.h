// An FTDI chip in synchronous bit-bang mode as the cable: each clock is four bytes of pin levels
// (TCK low, low, high, high), switching the cable on makes the signal pins outputs, and TDO is
// the pin as the chip sampled it after the rising edge. A clock goes out in one transfer, a run
// of clocks in as few as the chip's buffers allow, so that a clock costs one USB round trip.
#pragma once

#include <string>
#include <vector>

#include "../cable/cable.h"
#include "cable_name.h"

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
    // The pin levels for these signal levels, the other outputs at value.
    unsigned char Levels(bool bTck, bool bTms, bool bTdi) const;
};

// An FTDI device as its library lists it. A multi-channel chip's channels are devices of their
// own, each with its letter in the serial number (D2XX) or in channel (libftdi).
struct FtdiDevice
{
    std::string serial;       // empty where the chip has none
    std::string description;  // the product string, "FT232R USB UART"
    unsigned long location = 0;
    char channel = 0;         // libftdi: the interface's letter; D2XX: in the serial number
    int nChannels = 1;        // how many channels the chip has
};

// "MV232H01 (FT232R USB UART)", or the location where the chip has no serial number.
std::string DescribeDevice(const FtdiDevice& device);

// The FTDI library's side of a cable: the few operations the open sequence, the clocks and the
// device list take. Written once per library; the sequence itself is CBitBangPort's.
class CBitBangPort : public CCableBase
{
public:
    CBitBangPort(const CableName& cable, const FtdiPinMap& map) : m_cable(cable), m_map(map)
    {
        m_traits.bCheckedEverywhere = true;
    }

    bool Open() override;
    void Close() override;
    bool Switch(bool bOn) override;
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override;
    bool Hold(bool bTms, bool bTdi) override;
    bool Sample(bool& bTdo) override;

    // The devices the library finds now; false, with why, when it cannot look.
    virtual bool ListDevices(std::vector<FtdiDevice>& devices, std::string& strError) = 0;

protected:
    // A clock is a write and a read: a cable that stops answering holds the window under a
    // second.
    static constexpr int TIMEOUT_MS = 400;
    // The chip sends what it sampled when this many milliseconds pass without a full buffer;
    // the default 16 ms would dominate every clock.
    static constexpr unsigned char LATENCY_MS = 2;
    // A run's transfer: as many bytes as the smallest of the chips' buffers for the samples
    // coming back holds, so that no chip stops taking bytes before the samples are read.
    static constexpr size_t RUN_BYTES = 128;
    // A modest rate: the chip clocks its pins at a small multiple of it (tens of kHz here), slow
    // enough for long flying leads and any target, and a clock's four bytes still take far less
    // than its USB round trip.
    static constexpr int BIT_BANG_BAUD = 9600;

    enum class OpenResult
    {
        Opened,
        NotFound,
        Failed,  // strError says why
    };
    // Opens the device with that serial number and channel letter, or at that location where
    // pDevice has no serial number; null: the one the person chose.
    virtual OpenResult OpenDevice(const FtdiDevice* pDevice, std::string& strError) = 0;
    // Where to look for a cable that is not found, in the system's words.
    virtual std::string NotFoundAdvice() const = 0;
    // The steps of the open sequence, each a call of the library, in this order: the chip reset,
    // its timeouts, latency timer and baud rate set.
    virtual bool SetUpChip(std::string& strError) = 0;
    // Synchronous bit-bang mode with these pins outputs.
    virtual bool SetOutputs(unsigned char mask, std::string& strError) = 0;
    virtual bool Purge(std::string& strError) = 0;
    virtual void CloseChip() = 0;
    // Puts out[i] on the pins one after another and gives back what the pins read before each.
    virtual bool Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError) = 0;

    bool IsChipOpen() const { return m_bOpen; }

    CableName m_cable;

private:
    // Leaves the chip in synchronous bit-bang mode with every pin an input.
    bool OpenChip(std::string& strError);
    std::string Looked() const;
    bool Reconnect();
    bool DriveFrom(unsigned char levels, std::string& strError);
    // Sends the pending bytes; their samples in in.
    bool Send(std::vector<unsigned char>& in);
    // Sends the pending bytes and adds to tdo the TDO of those readAt names.
    bool SendClocks(std::vector<size_t>& readAt, CBits& tdo);
    // Keeps what failed and closes the chip: false.
    bool Fail(const std::string& strWhat);

    FtdiPinMap m_map;
    // "ftdi" names whatever device is found first; after the first open it means that one
    // device, and a reconnect opens no other (a USB-serial adapter plugged in beside it, say).
    bool m_bFirstOpened = false;
    FtdiDevice m_first;
    bool m_bOpen = false;
    bool m_bDriving = false;
    std::vector<unsigned char> m_pending;
    unsigned char m_lastLevels = 0;
    unsigned char m_lastSample = 0xFF;
};
