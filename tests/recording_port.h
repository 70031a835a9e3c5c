// What the tests drive: a port that records every access and answers status reads from a script,
// and the one cable every test's engine and window is handed, which passes each call on to the
// port or cable a test installs (the simulated board's port unless one does).
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cable/cable.h"
#include "ports/parallel_port.h"

class CRecordingPort : public CParallelPort
{
public:
    struct Access
    {
        bool bWrite;
        unsigned short address;
        unsigned char value;
    };

    void Write(unsigned short address, unsigned char value) override
    {
        accesses.push_back({true, address, value});
    }

    unsigned char Read(unsigned short address) override
    {
        unsigned char value = status;
        if (!script.empty())
        {
            value = script.front();
            script.pop_front();
        }
        accesses.push_back({false, address, value});
        return value;
    }

    std::vector<unsigned char> DataWrites() const
    {
        std::vector<unsigned char> values;
        for (const Access& access : accesses)
        {
            if (access.bWrite)
                values.push_back(access.value);
        }
        return values;
    }

    std::vector<Access> accesses;
    std::deque<unsigned char> script;
    unsigned char status = 0x6F;
};

// What the tests' cable passes its calls to: a parallel port (through one parallel cable for
// the whole run, whose levels stay as they were when the port is changed, as a cable's do
// when its plug moves) or a cable of its own.
struct CableTarget
{
    CParallelPort* pPort = nullptr;
    ICable* pCable = nullptr;
};

namespace test_cable {

struct Slot
{
    CableTarget target;
    unsigned short wData = DATA_PORT;
    // The levels and the TDO of the clock-at-a-time calls below.
    unsigned char nTms = 0;
    unsigned char nTdi = 0;
    bool bTdoUnread = false;
    bool bTdo = true;
    // A clock given, sent with its TDO read where the cable carries a clock in one transfer.
    bool bClockPending = false;
    unsigned char nClockTms = 0;
    unsigned char nClockTdi = 0;
};

inline Slot& TheSlot()
{
    static Slot slot;
    return slot;
}

inline void SendPendingClock(ICable& cable)
{
    Slot& slot = TheSlot();
    if (!slot.bClockPending)
        return;
    slot.bClockPending = false;
    CBits tdo;
    const bool bClocked =
        cable.Clocks(CBits(1, slot.nClockTms != 0), CBits(1, slot.nClockTdi != 0), CBits(1, true), tdo);
    slot.bTdoUnread = true;
    slot.bTdo = !bClocked || tdo.empty() || tdo[0];
}

// The parallel port installed, at the address chosen.
class CForwardPort : public CParallelPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        if (Port() != nullptr)
            Port()->Write(Moved(address), value);
    }
    unsigned char Read(unsigned short address) override { return Port() != nullptr ? Port()->Read(Moved(address)) : 0xFF; }
    bool IsAccessible() override { return Port() != nullptr && Port()->IsAccessible(); }
    std::string AccessProblem() const override { return Port() != nullptr ? Port()->AccessProblem() : std::string(); }
    std::string Failure() const override { return Port() != nullptr ? Port()->Failure() : "No cable is chosen."; }
    void Release() override
    {
        if (Port() != nullptr)
            Port()->Release();
    }
    std::string Description() const override { return Port() != nullptr ? Port()->Description() : "none"; }
    std::vector<std::string> ExampleValues(bool bInstruction) const override
    {
        return Port() != nullptr ? Port()->ExampleValues(bInstruction) : std::vector<std::string>();
    }

private:
    static CParallelPort* Port() { return TheSlot().target.pPort; }
    static unsigned short Moved(unsigned short address)
    {
        return static_cast<unsigned short>(address - DATA_PORT + TheSlot().wData);
    }
};

class CForwardCable : public ICable
{
public:
    const CableTraits& Traits() const override { return Now().Traits(); }
    bool Open() override { return Now().Open(); }
    std::string OpenProblem() const override { return Now().OpenProblem(); }
    void Close() override { Now().Close(); }
    bool Switch(bool bOn) override { return Now().Switch(bOn); }
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override
    {
        return Now().Clocks(tms, tdi, read, tdo);
    }
    bool Hold(bool bTms, bool bTdi) override { return Now().Hold(bTms, bTdi); }
    bool Sample(bool& bTdo) override { return Now().Sample(bTdo); }
    bool SetResetLine(ResetLine line, bool bAsserted) override { return Now().SetResetLine(line, bAsserted); }
    std::string Failure() const override { return Now().Failure(); }
    std::string Description() const override { return Now().Description(); }
    std::vector<std::string> ExampleValues(bool bInstruction) const override
    {
        return Now().ExampleValues(bInstruction);
    }

private:
    static ICable& Now()
    {
        static CForwardPort port;
        static const std::shared_ptr<CParallelCable> pParallel = CableOver(port);
        CParallelCable& parallel = *pParallel;
        const CableTarget& target = TheSlot().target;
        return target.pCable != nullptr ? *target.pCable : target.pPort != nullptr ? parallel : NoCable();
    }
};

} // namespace test_cable

// The cable to hand every engine and window of a test.
inline ICable& TestCable()
{
    static test_cable::CForwardCable cable;
    return cable;
}

// Installs what TestCable() drives; gives what it drove before.
inline CableTarget SetCablePort(const CableTarget& target)
{
    const CableTarget before = test_cable::TheSlot().target;
    test_cable::TheSlot().target = target;
    // A clock made on the cable before is no clock of this one: its TDO is not this one's.
    test_cable::TheSlot().bTdoUnread = false;
    test_cable::TheSlot().bClockPending = false;
    return before;
}
inline CableTarget SetCablePort(CParallelPort* pPort)
{
    CableTarget target;
    target.pPort = pPort;
    return SetCablePort(target);
}
inline CableTarget SetCablePort(ICable* pCable)
{
    CableTarget target;
    target.pCable = pCable;
    return SetCablePort(target);
}
inline CableTarget SetCablePort(std::nullptr_t)
{
    return SetCablePort(CableTarget());
}
// The parallel port's data register address the cable writes.
inline void SetCableAddress(unsigned short wDataPort)
{
    test_cable::TheSlot().wData = wDataPort;
}
inline ICable& CablePort()
{
    return TestCable();
}
inline std::string CableFailure()
{
    return TestCable().Failure();
}

// The cable a clock at a time: levels set, a clock, its TDO read.
inline BOOL CableSwitched(bool bOn)
{
    test_cable::SendPendingClock(TestCable());
    test_cable::TheSlot().nTms = 0;
    test_cable::TheSlot().nTdi = 0;
    TestCable().Switch(bOn);
    return TRUE;
}
inline BOOL CableOn()
{
    return CableSwitched(true);
}
inline BOOL CableOff()
{
    return CableSwitched(false);
}
inline void PortPower(BYTE on)
{
    if (on != 0)
        CableOn();
    else
        CableOff();
}
inline void SetTms(BYTE level)
{
    test_cable::TheSlot().nTms = level != 0 ? 1 : 0;
}
inline void SetTdi(BYTE level)
{
    test_cable::TheSlot().nTdi = level != 0 ? 1 : 0;
}
inline BYTE GetTms()
{
    return test_cable::TheSlot().nTms;
}
inline BYTE GetTdi()
{
    return test_cable::TheSlot().nTdi;
}
// A cable whose clocks reach the device as they are given clocks now; another sends the clock
// with its TDO read.
inline void PulseTck()
{
    test_cable::Slot& slot = test_cable::TheSlot();
    test_cable::SendPendingClock(TestCable());
    slot.bClockPending = true;
    slot.nClockTms = slot.nTms;
    slot.nClockTdi = slot.nTdi;
    if (TestCable().Traits().bClocksAtOnce)
        test_cable::SendPendingClock(TestCable());
}
// TDO of the clock just made, or else as the pin reads now.
inline BYTE GetTdo()
{
    test_cable::Slot& slot = test_cable::TheSlot();
    test_cable::SendPendingClock(TestCable());
    if (!slot.bTdoUnread)
    {
        bool bTdo = true;
        slot.bTdo = !TestCable().Sample(bTdo) || bTdo;
    }
    slot.bTdoUnread = false;
    return slot.bTdo ? 1 : 0;
}
inline void DriveLevels()
{
    test_cable::SendPendingClock(TestCable());
    TestCable().Hold(GetTms() != 0, GetTdi() != 0);
}

// A port or a cable opened, and why not.
inline bool Opened(CParallelPort& port)
{
    return port.IsAccessible();
}
inline bool Opened(ICable& cable)
{
    return cable.Open();
}
inline std::string OpenProblemOf(const CParallelPort& port)
{
    return port.AccessProblem();
}
inline std::string OpenProblemOf(const ICable& cable)
{
    return cable.OpenProblem();
}

// Installs a port or cable for the life of the object.
class CPortScope
{
public:
    template <class T>
    explicit CPortScope(T* p) : m_before(SetCablePort(p))
    {
    }
    ~CPortScope() { SetCablePort(m_before); }
    CPortScope(const CPortScope&) = delete;
    CPortScope& operator=(const CPortScope&) = delete;

private:
    CableTarget m_before;
};

// A test's cable from its making to its end: installed and switched on, then switched off and
// the one before put back.
class CCableOn
{
public:
    template <class T>
    explicit CCableOn(T* p) : m_scope(p)
    {
        CableOn();
    }
    ~CCableOn() { CableOff(); }

private:
    CPortScope m_scope;
};

// One clock as a step makes it: the pulse, then TDO read once.
inline BYTE Clock()
{
    PulseTck();
    return GetTdo();
}
