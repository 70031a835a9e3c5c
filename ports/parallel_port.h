// The parallel-port JTAG cable: TDI, TCK, TMS and the cable's enable on the data register, TDO
// on status bit 4. The port itself is a data register written and a status register read; the
// processor's I/O instructions, Linux's ppdev, the simulated board and tests' recording fakes
// are such ports, and CParallelCable makes clocks of their bytes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../cable/cable.h"

// The first parallel port's registers, where the cable is unless another port is chosen.
const unsigned short DATA_PORT = 0x378;
const unsigned short STATUS_PORT = 0x379;

const unsigned char PIN_TDI = 0x01;
const unsigned char PIN_TCK = 0x02;
const unsigned char PIN_TMS = 0x04;
const unsigned char PIN_ENABLE = 0x10;
const unsigned char STATUS_TDO = 0x10;

class CParallelPort
{
public:
    virtual ~CParallelPort() {}
    virtual void Write(unsigned short address, unsigned char value) = 0;
    virtual unsigned char Read(unsigned short address) = 0;
    // Whether this process may use the port at all; asked once, before any access.
    virtual bool IsAccessible() { return true; }
    // Whether IsAccessible must be asked on every Windows; a port on the processor's own I/O
    // instructions needs asking only on the NT family.
    virtual bool IsCheckedEverywhere() const { return false; }
    // Why IsAccessible said no and what to do; empty when the program's own message about the
    // port driver says it.
    virtual std::string AccessProblem() const { return std::string(); }
    // Non-empty from an access that did not reach the cable until one that does: what failed
    // and what to do. A port on the processor's own I/O instructions never fails.
    virtual std::string Failure() const { return std::string(); }
    // Lets go of the port until the next access or IsAccessible.
    virtual void Release() {}
    virtual std::string Description() const { return std::string(); }
    virtual std::vector<std::string> ExampleValues(bool /*bInstruction*/) const { return {}; }
};

class CParallelCable : public ICable
{
public:
    // wDataPort: the data register's address; status is at the next one.
    CParallelCable(std::shared_ptr<CParallelPort> pPort, unsigned short wDataPort = DATA_PORT);

    const CableTraits& Traits() const override { return m_traits; }
    bool Open() override { return m_pPort->IsAccessible(); }
    std::string OpenProblem() const override { return m_pPort->AccessProblem(); }
    void Close() override { m_pPort->Release(); }
    bool Switch(bool bOn) override;
    // Each clock is two writes with TCK low and two with it high (the writes are the only
    // settling time), then the status read where its TDO is asked for.
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override;
    bool Hold(bool bTms, bool bTdi) override;
    bool Sample(bool& bTdo) override;
    std::string Failure() const override { return m_pPort->Failure(); }
    std::string Description() const override { return m_pPort->Description(); }
    std::vector<std::string> ExampleValues(bool bInstruction) const override
    {
        return m_pPort->ExampleValues(bInstruction);
    }

    CParallelPort& Port() { return *m_pPort; }

private:
    void SetLevels(bool bTms, bool bTdi);
    bool ReadTdo(bool& bTdo);

    std::shared_ptr<CParallelPort> m_pPort;
    unsigned short m_wDataPort;
    CableTraits m_traits;
    // What the data register is meant to hold: TDI, TMS and enable. TCK is never kept here.
    unsigned char m_shadow = 0;
};

// A cable over a port that lives elsewhere (the simulated board's, a test's): not owned.
std::shared_ptr<CParallelCable> CableOver(CParallelPort& port, unsigned short wDataPort = DATA_PORT);
