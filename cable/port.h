// The one seam between the cable driver and the hardware: write a register, read a register.
// MORVA.EXE plugs in the processor's I/O instructions or an FTDI chip in bit-bang mode,
// MORVASIM.EXE a simulated board, tests a recording fake. Only the cable driver calls it.
#pragma once

#include <string>
#include <vector>

class CPort
{
public:
    virtual ~CPort() {}
    virtual void Write(unsigned short address, unsigned char value) = 0;
    virtual unsigned char Read(unsigned short address) = 0;
    // Whether this process may use the port at all; asked once, before any access.
    virtual bool IsAccessible() { return true; }
    // Whether IsAccessible must be asked on every Windows; a port on the processor's own I/O
    // instructions needs asking only on the NT family.
    virtual bool IsCheckedEverywhere() const { return false; }
    // Why IsAccessible said no and what to do, for the start-up message; empty when the
    // program's own message about the port driver says it.
    virtual std::string AccessProblem() const { return std::string(); }
    // A port that holds writes back, to send a whole clock in one transfer, sends them now.
    virtual void Flush() {}
    // Non-empty from an access that did not reach the cable until one that does: what failed
    // and what to do. A port on the processor's own I/O instructions never fails.
    virtual std::string Failure() const { return std::string(); }
    // Whether the cable can hold TMS and TDI at a level, and read TDO, without a clock: the
    // window's pin controls need it.
    virtual bool HoldsLevels() const { return true; }
    // Lets go of the device (its claim, its connection) until the next access or IsAccessible,
    // which take the very same device again, never another one of its kind.
    virtual void Release() {}
    // What the About box says of the cable.
    virtual std::string Description() const { return std::string(); }
    // Values worth offering in the window's value lists before any was sent: the instructions
    // of the device behind the port (bInstruction) or a register's length in zeros. Only a port
    // that knows its device gives any.
    virtual std::vector<std::string> ExampleValues(bool /*bInstruction*/) const { return {}; }

    // A run of clocks, as a whole value is shifted: after each clock's writes its read is asked
    // for with ReadLater, and Collect sends what is still held and gives the reads in order. A
    // port that can carry many clocks in one transfer holds them; this one reads at once. Where
    // the cable failed, the reads end before the clock that failed, and Failure() says what.
    void ReadLater(unsigned short address);
    void Collect(std::vector<unsigned char>& reads);

protected:
    // For a port that holds a run's clocks. HoldClock holds the clock just written and its read,
    // false where there is none to hold (nothing clocked since the last read). SendHeld sends
    // what is held, giving each read to AddRunRead, or calls FailRun. DropHeld forgets it: a
    // failed run sends nothing more.
    virtual bool HoldClock() { return false; }
    virtual void SendHeld() {}
    virtual void DropHeld() {}
    void AddRunRead(unsigned char value) { m_reads.push_back(value); }
    void FailRun() { m_bRunFailed = true; }

private:
    std::vector<unsigned char> m_reads;
    bool m_bRunFailed = false;
};

// The port the cable driver uses: the one of the cable the program chose. Null while none is
// chosen, when every access fails. Gives the one before.
CPort& CablePort();
CPort* SetCablePort(CPort* pPort);
