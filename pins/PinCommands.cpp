// The pin controls left of the history: TMS and TDI drive their level at once, with TCK low, and
// hold it; TCK makes one clock with the levels shown, as a click makes it, and the state shown
// follows the diagram for that TMS; TDO reads the pin now, without a clock. After every step
// they show the levels driven and read.
#include "../cable/cable.h"
#include "../cable/port.h"
#include "../stepper/StepperDlg.h"

void CStepperDlg::ShowPinControls()
{
    // A cable that cannot hold a level or read TDO without a clock offers none of it.
    const BOOL bHolds = CablePort().HoldsLevels() ? TRUE : FALSE;
    for (CButton* pPin : {static_cast<CButton*>(&m_btnTck), static_cast<CButton*>(&m_btnTms),
                          static_cast<CButton*>(&m_btnTdi), static_cast<CButton*>(&m_btnTdo)})
        ::ShowWindow(pPin->m_hWnd, SW_SHOW);
    m_btnTms.EnableWindow(bHolds);
    m_btnTdi.EnableWindow(bHolds);
    m_btnTdo.EnableWindow(bHolds);
    ShowPinLevels();
}

void CStepperDlg::ShowPinLevels()
{
    if (m_btnTms.GetCheck() != GetTms())
    {
        m_btnTms.SetCheck(GetTms());
        MarkChanged(m_btnTms);
    }
    if (m_btnTdi.GetCheck() != GetTdi())
    {
        m_btnTdi.SetCheck(GetTdi());
        MarkChanged(m_btnTdi);
    }
}

// A level held by hand: no clock, so the state stays as it is.
void CStepperDlg::DrivePin(BYTE tms, BYTE tdi)
{
    if (m_tap.DriveLevels(tms, tdi))
        ShowPinLevels();
}

void CStepperDlg::OnTck()
{
    if (!m_btnTck.IsWindowEnabled() || m_pSending != nullptr)
        return;
    CRedrawHold hold(*this);
    // The clock moves the TAP as the diagram says for TMS; the panel goes with it.
    m_tap.ClockHeld();
}

void CStepperDlg::OnTms()
{
    if (!m_btnTms.IsWindowEnabled() || m_pSending != nullptr)
        return;
    DrivePin(GetTms() != 0 ? 0 : 1, GetTdi());
}

void CStepperDlg::OnTdi()
{
    if (!m_btnTdi.IsWindowEnabled() || m_pSending != nullptr)
        return;
    DrivePin(GetTms(), GetTdi() != 0 ? 0 : 1);
}

void CStepperDlg::OnTdo()
{
    if (!m_btnTdo.IsWindowEnabled() || m_pSending != nullptr)
        return;
    BYTE tdo = 0;
    if (m_tap.ReadTdo(tdo))
        m_btnTdo.SetCheck(tdo);
}
