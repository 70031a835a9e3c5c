#include "parallel_port.h"

CParallelCable::CParallelCable(std::shared_ptr<CParallelPort> pPort, unsigned short wDataPort)
    : m_pPort(std::move(pPort)), m_wDataPort(wDataPort)
{
    m_traits.bCheckedEverywhere = m_pPort->IsCheckedEverywhere();
    m_traits.bClocksAtOnce = true;
}

void CParallelCable::SetLevels(bool bTms, bool bTdi)
{
    m_shadow = static_cast<unsigned char>((m_shadow & ~(PIN_TMS | PIN_TDI)) | (bTms ? PIN_TMS : 0) |
                                          (bTdi ? PIN_TDI : 0));
}

bool CParallelCable::ReadTdo(bool& bTdo)
{
    bTdo = (m_pPort->Read(static_cast<unsigned short>(m_wDataPort + 1)) & STATUS_TDO) != 0;
    return m_pPort->Failure().empty();
}

bool CParallelCable::Switch(bool bOn)
{
    m_shadow = bOn ? PIN_ENABLE : 0;
    m_pPort->Write(m_wDataPort, m_shadow);
    return m_pPort->Failure().empty();
}

bool CParallelCable::Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo)
{
    for (size_t i = 0; i < tms.size(); ++i)
    {
        SetLevels(tms[i], tdi[i]);
        const unsigned char low = static_cast<unsigned char>(m_shadow & ~PIN_TCK);
        const unsigned char high = static_cast<unsigned char>(m_shadow | PIN_TCK);
        m_pPort->Write(m_wDataPort, low);
        m_pPort->Write(m_wDataPort, low);
        m_pPort->Write(m_wDataPort, high);
        m_pPort->Write(m_wDataPort, high);
        if (!read[i])
        {
            if (!m_pPort->Failure().empty())
                return false;
            continue;
        }
        bool bTdo = true;
        if (!ReadTdo(bTdo))
            return false;
        tdo.push_back(bTdo);
    }
    return true;
}

bool CParallelCable::Hold(bool bTms, bool bTdi)
{
    SetLevels(bTms, bTdi);
    m_pPort->Write(m_wDataPort, m_shadow);
    return m_pPort->Failure().empty();
}

bool CParallelCable::Sample(bool& bTdo)
{
    return ReadTdo(bTdo);
}

std::shared_ptr<CParallelCable> CableOver(CParallelPort& port, unsigned short wDataPort)
{
    return std::make_shared<CParallelCable>(std::shared_ptr<CParallelPort>(&port, [](CParallelPort*) {}), wDataPort);
}
