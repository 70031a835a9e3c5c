// An FTDI chip as the cable, in one of two modes:
// - its serial engine, MPSSE, on the chips that have one and are wired to its pins (TCK, TDI, TDO
//   and TMS on ADBUS0 to 3): a run of clocks is the engine's commands, at the clock asked for;
// - synchronous bit-bang otherwise: each clock is four bytes of pin levels (TCK low, low, high,
//   high), and TDO is the pin as the chip sampled it after the rising edge.
// Switching the cable on makes the signal pins outputs. A run of clocks goes out in as few
// transfers as the chip's buffers allow.
#pragma once

#include <string>
#include <vector>

#include "../cable/cable.h"
#include "cable_name.h"
#include "mpsse.h"

// What a chip can do beyond bit-bang: MPSSE on a 12 MHz master clock (FT2232C/D) or on a
// 60 MHz one (FT2232H, FT4232H, FT232H).
enum class FtdiEngine
{
    None,
    Mpsse12MHz,
    Mpsse60MHz,
};

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
    // The same for the high pins (ACBUS0 to 7), which MPSSE alone drives.
    unsigned char valueHigh = 0;
    unsigned char directionHigh = 0;
    // The pins of the target's active-low resets, 4 to 15 (ADBUS4 to 7, ACBUS0 to 7), driven in
    // MPSSE alone; -1: none.
    int nTrst = -1;
    int nSrst = -1;
    // Bit-bang even where the chip and the pins would take MPSSE (mode=bitbang).
    bool bBitBang = false;
    // The clock asked in kHz (khz=, --khz), for every cable whose clock can be set: MPSSE makes
    // the fastest it can that is not faster, an XVC server is asked for its period. 0: none
    // asked, each cable's own (MPSSE's DEFAULT_MPSSE_KHZ).
    unsigned nKhz = 0;

    static constexpr unsigned DEFAULT_MPSSE_KHZ = 6000;
    // The most kHz a person may ask: above any cable's clock.
    static constexpr unsigned MOST_KHZ = 100000;

    // False, with the reason, for bits outside 0 to 7, two signals on one pin, or TDO driven.
    bool IsValid(std::string& strError) const;
    unsigned char Outputs() const;
    // The pin levels for these signal levels, the other outputs at value.
    unsigned char Levels(bool bTck, bool bTms, bool bTdi) const;
    // TCK, TDI, TDO and TMS on the pins MPSSE clocks them on, ADBUS0 to 3.
    bool OnEnginePins() const { return nTck == 0 && nTdi == 1 && nTdo == 2 && nTms == 3; }
    // Whether a chip that can do this runs MPSSE: on its pins, bit-bang not asked.
    bool TakesMpsse(FtdiEngine engine) const;
    // The clock MPSSE is asked for, in kHz: the one given, else the default.
    unsigned MpsseKhz() const { return nKhz == 0 ? DEFAULT_MPSSE_KHZ : nKhz; }
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
    FtdiEngine engine = FtdiEngine::None;
};

// What a chip its library numbers nType can do, given the library's numbers for the FT2232C/D
// and for the H series' three chips.
FtdiEngine EngineOfChip(unsigned long nType, unsigned long n2232C, const unsigned long (&anHighSpeed)[3]);

// How a cable on such a chip is driven with this pin map: "MPSSE at 6 MHz" (the clock the chip
// makes for the one asked) or "bit-bang".
std::string DescribeFtdiMode(FtdiEngine engine, const FtdiPinMap& map);

// "MV232H01 (FT232R USB UART)", or the location where the chip has no serial number.
std::string DescribeDevice(const FtdiDevice& device);

// The FTDI library's side of a cable: the few operations the open sequence, the clocks and the
// device list take. Written once per library; the sequence and both modes are CFtdiPort's.
class CFtdiPort : public CCableBase
{
public:
    // pszLibrary: the library's name, as the About box gives it.
    // The chip's modes, as both libraries number them.
    static constexpr unsigned char MODE_RESET = 0x00;
    static constexpr unsigned char MODE_MPSSE = 0x02;
    static constexpr unsigned char MODE_SYNC_BITBANG = 0x04;

    CFtdiPort(const CableName& cable, const FtdiPinMap& map, const char* pszLibrary)
        : m_cable(cable), m_map(map), m_pszLibrary(pszLibrary)
    {
        m_traits.bCheckedEverywhere = true;
    }

    bool Open() override;
    void Close() override;
    bool Switch(bool bOn) override;
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override;
    bool Hold(bool bTms, bool bTdi) override;
    bool Sample(bool& bTdo) override;
    bool SetResetLine(ResetLine line, bool bAsserted) override;
    std::string Description() const override;

    // The library's name, as the cable list gives it ("libftdi", "D2XX").
    const char* Library() const { return m_pszLibrary; }
    // Whether the chip open now runs MPSSE, and the clock it was given (Hz), 0 in bit-bang.
    bool InMpsse() const { return m_bMpsse; }
    unsigned ClockHz() const { return m_bMpsse ? m_clock.nHz : 0; }

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
    // The chip in that mode (the libraries' numbers: 0 reset, 2 MPSSE, 4 synchronous bit-bang)
    // with these pins outputs.
    virtual bool SetBitMode(unsigned char mask, unsigned char mode, std::string& strError) = 0;
    virtual bool Purge(std::string& strError) = 0;
    virtual void CloseChip() = 0;
    // The bytes to the chip, all of them.
    virtual bool Write(const unsigned char* pOut, size_t nCount, std::string& strError) = 0;
    // nCount bytes from the chip, waiting at most TIMEOUT_MS for them.
    virtual bool Read(unsigned char* pIn, size_t nCount, std::string& strError) = 0;
    // MPSSE's commands out and their whole answer in, the answer taken while the commands still
    // go out, so that the chip never stops for want of room to put what it read. As written here,
    // a write and then a read: D2XX's driver keeps reading what the chip sends into a buffer of
    // its own meanwhile.
    virtual bool Exchange(const unsigned char* pOut, size_t nOut, unsigned char* pIn, size_t nIn,
                          std::string& strError);
    // What the chip open now can do.
    virtual FtdiEngine Engine() const = 0;

    bool IsChipOpen() const { return m_bOpen; }

    CableName m_cable;

private:
    // Leaves the chip in its mode with every pin an input.
    bool OpenChip(std::string& strError);
    // MPSSE's part of the open sequence: the engine on, answering, clocked as asked.
    bool StartMpsse(std::string& strError);
    // The low pins' levels and directions (MPSSE's "set data bits low byte"), and the high pins'
    // as the map and the reset lines have them ("high byte"); the reset lines' pins are outputs,
    // released unless asserted, while any pin is.
    bool SetLowPins(unsigned char levels, unsigned char outputs, std::string& strError);
    bool SetHighPins(bool bDriven, std::string& strError);
    // Where the reset lines are: their bits in the 16 pins, and those asserted.
    unsigned ResetPins() const;
    bool MpsseClocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo);
    // Puts out[i] on the pins one after another and gives back what the pins read before each
    // (bit-bang).
    bool Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError);
    std::string Looked() const;
    bool Reconnect();
    bool DriveFrom(unsigned char levels, std::string& strError);
    // Every pin an input again.
    bool Undrive(std::string& strError);
    // The signal pins at these levels, outputs (TCK low: no clock).
    bool PutLevels(unsigned char levels);
    // Sends the pending bytes; their samples in in.
    bool Send(std::vector<unsigned char>& in);
    // Sends the pending bytes and adds to tdo the TDO of those readAt names.
    bool SendClocks(std::vector<size_t>& readAt, CBits& tdo);
    // Keeps what failed and closes the chip: false.
    bool Fail(const std::string& strWhat);

    FtdiPinMap m_map;
    const char* m_pszLibrary;
    // The mode the open chip runs, its clock, and the level MPSSE holds TMS at.
    bool m_bMpsse = false;
    MpsseClock m_clock;
    bool m_bTms = false;
    unsigned m_asserted = 0;
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
