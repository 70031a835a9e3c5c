#include "cable.h"
#include "port.h"

namespace {

// What the data register is meant to hold: TDI, TMS and enable. TCK is never kept here.
BYTE g_shadow = 0;
CPort* g_pPort = nullptr;
unsigned short g_wDataPort = DATA_PORT;

void SetShadowBit(BYTE mask, BYTE level)
{
    if (level != 0)
        g_shadow = static_cast<BYTE>(g_shadow | mask);
    else
        g_shadow = static_cast<BYTE>(g_shadow & ~mask);
}

// Where no cable is chosen: nothing is written, and every read says so.
class CNoPort : public CPort
{
public:
    void Write(unsigned short, unsigned char) override {}
    unsigned char Read(unsigned short) override { return 0xFF; }
    bool IsAccessible() override { return false; }
    std::string AccessProblem() const override { return Failure(); }
    std::string Failure() const override { return "No cable is chosen."; }
    std::string Description() const override { return "none"; }
};

CNoPort g_noPort;

} // namespace

void CPort::ReadLater(unsigned short address)
{
    if (m_bRunFailed)
    {
        DropHeld();
        return;
    }
    if (HoldClock())
        return;
    // Nothing to hold: the reads held before go first, then the pins are read as they are now.
    SendHeld();
    if (m_bRunFailed)
        return;
    const unsigned char value = Read(address);
    m_bRunFailed = !Failure().empty();
    if (!m_bRunFailed)
        m_reads.push_back(value);
}

void CPort::Collect(std::vector<unsigned char>& reads)
{
    if (m_bRunFailed)
        DropHeld();
    else
        SendHeld();
    reads.swap(m_reads);
    m_reads.clear();
    m_bRunFailed = false;
}

CPort& CablePort()
{
    return g_pPort != nullptr ? *g_pPort : g_noPort;
}

CPort* SetCablePort(CPort* pPort)
{
    CPort* pBefore = g_pPort;
    g_pPort = pPort;
    return pBefore;
}

void PortPower(BYTE on)
{
    g_shadow = on != 0 ? PIN_ENABLE : 0;
    CablePort().Write(g_wDataPort, g_shadow);
    CablePort().Flush();
}

BOOL CableOn()
{
    PortPower(1);
    return TRUE;
}

BOOL CableOff()
{
    PortPower(0);
    return TRUE;
}

void SetTms(BYTE level)
{
    SetShadowBit(PIN_TMS, level);
}

void SetTdi(BYTE level)
{
    SetShadowBit(PIN_TDI, level);
}

BYTE GetTms()
{
    return (g_shadow & PIN_TMS) != 0 ? 1 : 0;
}

BYTE GetTdi()
{
    return (g_shadow & PIN_TDI) != 0 ? 1 : 0;
}

void PulseTck()
{
    const BYTE v = g_shadow;
    CPort& port = CablePort();
    // Two writes per level are the only settling time; TCK stays high until the next write.
    port.Write(g_wDataPort, static_cast<BYTE>(v & ~PIN_TCK));
    port.Write(g_wDataPort, static_cast<BYTE>(v & ~PIN_TCK));
    port.Write(g_wDataPort, static_cast<BYTE>(v | PIN_TCK));
    port.Write(g_wDataPort, static_cast<BYTE>(v | PIN_TCK));
}

void DriveLevels()
{
    CablePort().Write(g_wDataPort, g_shadow);
    CablePort().Flush();
}

BYTE GetTdo()
{
    return (CablePort().Read(static_cast<unsigned short>(g_wDataPort + 1)) & STATUS_TDO) != 0 ? 1 : 0;
}

void SetCableAddress(unsigned short wDataPort)
{
    g_wDataPort = wDataPort;
}

std::string CableFailure()
{
    return CablePort().Failure();
}

void ReadTdoLater()
{
    CablePort().ReadLater(static_cast<unsigned short>(g_wDataPort + 1));
}

void CollectTdo(std::vector<BYTE>& tdo)
{
    std::vector<unsigned char> reads;
    CablePort().Collect(reads);
    tdo.clear();
    for (unsigned char status : reads)
        tdo.push_back((status & STATUS_TDO) != 0 ? 1 : 0);
}
