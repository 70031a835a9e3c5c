// What each state button drives, the reset sequence and the clock step.
#include "StepperDlg.h"

#include <string>

#include "../cable/cable.h"
#include "../platform/codepage.h"
#include "../platform/system.h"
#include "TapTable.h"

namespace {

// Five clocks with TMS high reach Test-Logic-Reset from any state.
const int RESET_CLOCKS = 5;
const DWORD SETTLE_MS = 5;
// "エラー"
const char ERROR_CAPTION[] = "\x83\x47\x83\x89\x81\x5b";

} // namespace

void CStepperDlg::OnTestLogicReset()
{
    if (!m_btnTestLogicReset.IsWindowEnabled())
        return;
    m_nState = STATE_UNKNOWN;
    SetTms(1);
    SetTdi(1);
    // The panel keeps showing the state from before the click until the sixth clock.
    for (int i = 0; i < RESET_CLOCKS; ++i)
    {
        if (Step() == FALSE)
            return;
    }
    m_nState = STATE_TEST_LOGIC_RESET;
    ShowState(m_nState);
    Step();
}

void CStepperDlg::OnStateButton(UINT nID)
{
    const StepCommandRow* pRow = FindStepCommand(nID);
    // A click queued before the last step disabled this button, or a command sent by another
    // program, would move the device to a state one clock cannot reach from the one shown.
    if (pRow == nullptr || !StateButton(nID)->IsWindowEnabled())
        return;
    SetTms(pRow->nTms);
    if (pRow->nTdi != KEEP_TDI)
        SetTdi(static_cast<BYTE>(pRow->nTdi));
    m_nState = pRow->nNewState;
    ShowState(m_nState);
    Step();
}

void CStepperDlg::OnSendButton()
{
}

// The pin controls are hidden and disabled; a clock behind the panel's back would move the
// device without moving the state shown, so none of these runs while its control is disabled.
void CStepperDlg::OnTck()
{
    if (!m_btnTck.IsWindowEnabled())
        return;
    Step();
}

void CStepperDlg::OnTms()
{
    if (!m_btnTms.IsWindowEnabled())
        return;
    SetTms(m_btnTms.GetCheck() != 0 ? 1 : 0);
}

void CStepperDlg::OnTdi()
{
    if (!m_btnTdi.IsWindowEnabled())
        return;
    SetTdi(m_btnTdi.GetCheck() != 0 ? 1 : 0);
}

void CStepperDlg::OnStateDoubleClicked()
{
}

// FALSE when the cable did not take the clock: nothing is recorded of it.
BOOL CStepperDlg::Step()
{
    AfxSleep(SETTLE_MS);
    PulseTck();
    if (RecordStep() == FALSE)
    {
        OnCableLost();
        return FALSE;
    }
    RefreshTrace();
    return TRUE;
}

void CStepperDlg::OnCableLost()
{
    const std::string strFailure = CableFailure();
    m_nState = STATE_UNKNOWN;
    ShowUnknownState();
    const std::string strText =
        "The cable stopped answering, so the last clock did not reach the device. Its TAP state is now "
        "unknown.\n\n" +
        strFailure + "\n\nCheck the cable and its connection, then click TEST-LOGIC-RESET.";
    MessageBoxCp932(m_hWnd, strText.c_str(), ERROR_CAPTION, MB_ICONHAND);
}
