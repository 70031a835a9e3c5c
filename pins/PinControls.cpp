#include "PinControls.h"

#include "../res/resource.h"

void CPinControls::Exchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_TCK, m_btnTck);
    DDX_Control(pDX, IDC_TMS, m_btnTms);
    DDX_Control(pDX, IDC_TDO, m_btnTdo);
    DDX_Control(pDX, IDC_TDI, m_btnTdi);
}

void CPinControls::Show()
{
    // A cable that cannot hold a level or read TDO without a clock offers none of it.
    const BOOL bHolds = m_tap.Cable().Traits().bHoldsLevels ? TRUE : FALSE;
    for (CButton* pPin : {static_cast<CButton*>(&m_btnTck), static_cast<CButton*>(&m_btnTms),
                          static_cast<CButton*>(&m_btnTdi), static_cast<CButton*>(&m_btnTdo)})
        ::ShowWindow(pPin->m_hWnd, SW_SHOW);
    m_btnTms.EnableWindow(bHolds);
    m_btnTdi.EnableWindow(bHolds);
    m_btnTdo.EnableWindow(bHolds);
    ShowLevels();
}

void CPinControls::ShowLevels()
{
    if (m_btnTms.GetCheck() != m_tap.Tms())
    {
        m_btnTms.SetCheck(m_tap.Tms());
        m_paint.MarkChanged(m_btnTms);
    }
    if (m_btnTdi.GetCheck() != m_tap.Tdi())
    {
        m_btnTdi.SetCheck(m_tap.Tdi());
        m_paint.MarkChanged(m_btnTdi);
    }
}

void CPinControls::ShowClock(unsigned char nTdo)
{
    m_btnTdo.SetCheck(nTdo != 0 ? 1 : 0);
    m_paint.MarkChanged(m_btnTdo);
    ShowLevels();
}

void CPinControls::ShowStateKnown(bool bKnown)
{
    if (bKnown == (m_btnTck.IsWindowEnabled() != FALSE))
        return;
    m_btnTck.EnableWindow(bKnown ? TRUE : FALSE);
    m_paint.MarkChanged(m_btnTck);
}

// A level held by hand: no clock, so the state stays as it is.
void CPinControls::Drive(unsigned char nTms, unsigned char nTdi)
{
    if (m_tap.DriveLevels(nTms, nTdi))
        ShowLevels();
}

void CPinControls::OnTck()
{
    if (!m_btnTck.IsWindowEnabled() || m_tap.InCommand())
        return;
    CPaintHold::CScope hold(m_paint);
    // The clock moves the TAP as the diagram says for TMS; the panel goes with it.
    m_tap.ClockHeld();
}

void CPinControls::OnTms()
{
    if (!m_btnTms.IsWindowEnabled() || m_tap.InCommand())
        return;
    Drive(m_tap.Tms() != 0 ? 0 : 1, m_tap.Tdi());
}

void CPinControls::OnTdi()
{
    if (!m_btnTdi.IsWindowEnabled() || m_tap.InCommand())
        return;
    Drive(m_tap.Tms(), m_tap.Tdi() != 0 ? 0 : 1);
}

void CPinControls::OnTdo()
{
    if (!m_btnTdo.IsWindowEnabled() || m_tap.InCommand())
        return;
    unsigned char nTdo = 0;
    if (m_tap.ReadTdo(nTdo))
        m_btnTdo.SetCheck(nTdo);
}
