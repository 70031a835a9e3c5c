// A CMSIS-DAP debug probe as the cable: its JTAG pins driven by the protocol's commands
// (cmsis_dap.h), over whichever way its packets travel (HID reports for CMSIS-DAP v1, USB bulk
// transfers for v2). A run of clocks goes out as DAP_JTAG_Sequence packets, as many in flight as
// the probe takes. A probe that answers wrong, or not within a second, is lost as an FTDI cable
// is: the clocks of the packets answered before are kept, and the probe is opened anew at the
// next use.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "../cable/cable.h"

// How a probe's packets travel. Written once per transport; the protocol is CDapCable's.
class IDapLink
{
public:
    virtual ~IDapLink() {}
    // The probe opened; false with why and what to do.
    virtual bool Open(std::string& strError) = 0;
    virtual void Close() = 0;
    // The probe's packet size, once DAP_Info has told it: HID reports are that long.
    virtual void SetPacketSize(size_t /*nBytes*/) {}
    // One command out.
    virtual bool Write(const std::vector<uint8_t>& command, std::string& strError) = 0;
    // One answer in, waited for at most nTimeoutMs; false with why where none came.
    virtual bool Read(std::vector<uint8_t>& answer, unsigned nTimeoutMs, std::string& strError) = 0;
    // The probe as the cable list names it: "Raspberry Pi Debug Probe (CMSIS-DAP v2)".
    virtual std::string Description() const = 0;
};

// A probe as a system's libraries find it.
struct DapProbeFound
{
    std::string serial;
    std::string product;
    int nVersion = 2;  // 1: HID reports, 2: USB bulk transfers
    std::string path;  // the system's path of its HID device (v1) or its WinUSB interface (v2)
    uint8_t bus = 0;   // libusb (v2): where it is, its interface and endpoints
    uint8_t address = 0;
    int nInterface = 0;
    uint8_t endpointOut = 0;
    uint8_t endpointIn = 0;
};

// "Raspberry Pi Debug Probe (CMSIS-DAP v2)".
std::string DescribeDapProbe(const DapProbeFound& probe);
// Whether a USB string says CMSIS-DAP, as Arm's documentation asks a probe's to.
bool NamesCmsisDap(const std::string& text);
// A system's wide string (UTF-16 on Windows, UTF-32 from hidapi on Linux), at most nMost units
// of it, as UTF-8.
std::string Utf8OfWide(const wchar_t* psz, size_t nMost = std::numeric_limits<size_t>::max());
// A v1 probe added to those found, unless it offers v2 as well (a probe with its serial number
// is there already): it is taken through v2.
void AddHidProbe(std::vector<DapProbeFound>& probes, const DapProbeFound& probe);

// How a system looks for probes and opens one.
struct DapFinder
{
    // Every probe there is now; false, with why, where none can be looked for. nDenied: devices
    // that may be probes but could not be opened to be looked at.
    std::function<bool(std::vector<DapProbeFound>& probes, std::string& strError, size_t& nDenied)> find;
    // The link of a probe found, not yet open.
    std::function<std::unique_ptr<IDapLink>(const DapProbeFound& probe)> link;
    std::string strMissing;  // a library that is not there, and how to install it
    std::string strAccess;   // what gives the user a probe that may not be opened
};

// The packets of the probe with that serial number, or of the first found where serial is empty;
// the probe is looked for at each Open, so that one plugged in again is found.
std::unique_ptr<IDapLink> MakeFoundLink(const DapFinder& finder, const std::string& serial);

class CDapCable : public CCableBase
{
public:
    // The clock asked where none is: slow enough for flying leads.
    static constexpr unsigned DEFAULT_KHZ = 1000;
    // A probe that has not answered in this long is lost.
    static constexpr unsigned TIMEOUT_MS = 1000;

    // nKhz: the clock asked, 0 for DEFAULT_KHZ.
    CDapCable(std::unique_ptr<IDapLink> pLink, unsigned nKhz);

    bool Open() override;
    void Close() override;
    bool Switch(bool bOn) override;
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override;
    bool Hold(bool bTms, bool bTdi) override;
    bool Sample(bool& bTdo) override;
    bool SetResetLine(ResetLine line, bool bAsserted) override;
    std::string Description() const override;

    // What DAP_Info told of the probe open now.
    size_t PacketSize() const { return m_nPacketSize; }
    size_t PacketCount() const { return m_nPacketCount; }

private:
    // The probe opened and asked what it is; false, with why, for one without JTAG.
    bool OpenProbe(std::string& strError);
    // JTAG mode, the clock, and the pins at the levels held with TCK low.
    bool Connect(std::string& strError);
    // One command and its answer, checked to be at least nLeast bytes.
    bool Transact(const std::vector<uint8_t>& command, std::vector<uint8_t>& answer, size_t nLeast,
                  std::string& strError);
    bool Pins(uint8_t output, uint8_t select, uint8_t& input);
    bool Reconnect();
    // Keeps what failed and closes the probe: false.
    bool Fail(const std::string& strWhat);

    std::unique_ptr<IDapLink> m_pLink;
    unsigned m_nKhz;
    size_t m_nPacketSize = 0;
    size_t m_nPacketCount = 1;
    bool m_bOpen = false;
    bool m_bDriving = false;
    bool m_bConnected = false;  // in JTAG mode, driving the pins
    bool m_bTms = false;
    bool m_bTdi = false;
    uint8_t m_released = 0;  // the reset lines not asserted, as DAP_SWJ_Pins bits
};
