// The one seam between the TAP engine and a cable: clocks given as TMS and TDI bits, answered
// with the TDO bits asked for, and levels held without a clock. Every way to a cable (the
// parallel port, an FTDI chip, a JTAG server on the network, the simulated board) is one of
// these; the engine is handed one and knows no other.
#pragma once

#include <string>
#include <vector>

#include "../tap/Bits.h"

// What a cable can do, said once: nothing here is asked clock by clock.
struct CableTraits
{
    // TMS and TDI held at a level, and TDO read, without a clock: the window's pin controls
    // need it.
    bool bHoldsLevels = true;
    // Whether Open must be asked on every Windows; a port on the processor's own I/O
    // instructions needs asking only on the NT family.
    bool bCheckedEverywhere = false;
    // Each clock reaches the device as it is given, with nothing gained by giving many at once
    // (a port whose registers are written directly): a person's STOP can fall between any two.
    bool bClocksAtOnce = false;
    // The fastest TCK the cable makes, in kHz; 0 where the computer's own speed sets it.
    unsigned long nFastestKhz = 0;
    // The most clocks the engine hands the cable in one run where no STOP may fall between them
    // (a file played, a scan); 0: the engine's own, 4,096. A cable that sends a run as one
    // transfer (FTDI's MPSSE) takes longer ones.
    size_t nLongestRun = 0;
    // The target's reset lines the cable drives: TRST, the TAP's own, and SRST, the system's.
    bool bTrst = false;
    bool bSrst = false;
    // The TCK the cable was set to once open, in Hz (FTDI's MPSSE, an XVC server's answer); 0
    // where no clock is set.
    unsigned long nClockHz = 0;
};

// A clock as a person reads it: "6 MHz", "1.5 MHz", "458 Hz".
std::string ClockText(unsigned long nHz);

// A target's reset line, both active low: the TAP's own (TRST) and the system's (SRST).
enum class ResetLine
{
    Trst,
    Srst,
};

class ICable
{
public:
    virtual ~ICable() {}

    virtual const CableTraits& Traits() const = 0;

    // Whether this process may use the cable at all; asked once, before any clock.
    virtual bool Open() = 0;
    // Why Open said no and what to do, for the start-up message; empty when the program's own
    // message about the port driver says it.
    virtual std::string OpenProblem() const { return std::string(); }
    // Lets go of the device (its claim, its connection) until the next use or Open, which take
    // the very same device again, never another one of its kind.
    virtual void Close() {}

    // Switched on, the cable drives TMS and TDI low with TCK low; switched off, it drives
    // nothing and the device's pins are left to the board. False when the cable failed.
    virtual bool Switch(bool bOn) = 0;
    // tms.size() clocks, clock i with tms[i] and tdi[i] (TCK low, then high); TDO as it reads
    // after the rising edge of each clock whose bit in read is set is added to tdo, in order.
    // False where the cable failed: tdo then ends before the clock that failed, and nothing
    // after it went out.
    virtual bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) = 0;
    // TMS and TDI held at these levels with TCK low: no clock. Only where bHoldsLevels.
    virtual bool Hold(bool bTms, bool bTdi) = 0;
    // TDO now, without a clock. Only where bHoldsLevels.
    virtual bool Sample(bool& bTdo) = 0;
    // The reset line driven low (bAsserted) or released high, while the cable is switched on.
    // Only where the traits say the cable has that line; false where it failed.
    virtual bool SetResetLine(ResetLine /*line*/, bool /*bAsserted*/) { return false; }
    // Empty from a use that reached the cable until one that does not: what failed, and what
    // to do, for the person to read.
    virtual std::string Failure() const = 0;

    // What the About box says of the cable.
    virtual std::string Description() const { return std::string(); }
    // Values worth offering in the window's value lists before any was sent: the instructions
    // of the device behind the cable (bInstruction) or a register's length in zeros. Only a
    // cable that knows its device gives any.
    virtual std::vector<std::string> ExampleValues(bool /*bInstruction*/) const { return {}; }
};

// What a cable that keeps its own state keeps alike: what it can do, why it could not be opened,
// and what failed.
class CCableBase : public ICable
{
public:
    const CableTraits& Traits() const override { return m_traits; }
    std::string OpenProblem() const override { return m_strProblem; }
    std::string Failure() const override { return m_strFailure; }

protected:
    CableTraits m_traits;
    std::string m_strProblem;
    std::string m_strFailure;
};

// Where no cable is chosen: nothing is driven, and every use fails with "No cable is chosen."
ICable& NoCable();
