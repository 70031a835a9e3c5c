// SEND-IR and SEND-DR: a value shifted through a register by the state buttons' own commands,
// one clock at a time, from where the TAP is to Run-Test/Idle.
#include "../stepper/StepperDlg.h"

#include <string>

#include "../platform/app.h"
#include "../platform/codepage.h"
#include "../res/texts.h"
#include "../tap/ScanValue.h"

namespace {

// A long SEND shows how far it is this often; a short one paints once, at its end. Each showing
// repaints the trace and the list, some tens of milliseconds under Wine.
const DWORD PROGRESS_MS = 1000;
const char STOP_TEXT[] = "STOP";
const char SEND_STARTS_TEXT[] =
    "TEST-LOGIC-RESET, RUN-TEST/IDLE, PAUSE-DR, PAUSE-IR, UPDATE-DR or UPDATE-IR";

bool IsValidValue(CComboBox& list)
{
    CString text;
    list.GetWindowText(text);
    std::vector<unsigned char> bits;
    std::string strError;
    return ParseScanValue(static_cast<LPCSTR>(text), bits, strError);
}

} // namespace

void CStepperDlg::OnSendDr()
{
    if (m_btnSendDr.IsWindowEnabled())
        Send(TAP_DR);
}

void CStepperDlg::OnSendIr()
{
    if (m_btnSendIr.IsWindowEnabled())
        Send(TAP_IR);
}

void CStepperDlg::OnValueEdited(UINT nID)
{
    if (nID == IDC_DR_VALUE)
        m_bDrValueValid = IsValidValue(m_cbDrValue);
    else
        m_bIrValueValid = IsValidValue(m_cbIrValue);
    ShowSendButtons();
}

void CStepperDlg::OnValuePicked(UINT nID)
{
    // The edit field takes the picked line only after this notification: give it now.
    CComboBox& list = nID == IDC_DR_VALUE ? m_cbDrValue : m_cbIrValue;
    const int nPicked = list.GetCurSel();
    if (nPicked >= 0)
    {
        CString text;
        list.GetLBText(nPicked, text);
        list.SetWindowText(text);
    }
    OnValueEdited(nID);
}

void CStepperDlg::FillValueList(CComboBox& list, const CValueList& values)
{
    CString typed;
    list.GetWindowText(typed);
    list.ResetContent();
    for (const std::string& strValue : values.Values())
        list.AddString(strValue.c_str());
    if (!typed.IsEmpty())
        list.SetWindowText(typed);
    else if (list.GetCount() > 0)
        list.SetCurSel(0);
    OnValueEdited(&list == &m_cbDrValue ? IDC_DR_VALUE : IDC_IR_VALUE);
}

void CStepperDlg::ShowSendButtons()
{
    const bool bCanStart = m_tap.State() != STATE_UNKNOWN && IsShiftStart(m_tap.State());
    struct Target
    {
        CColorButton& button;
        bool bEnable;
    };
    const Target targets[] = {
        {m_btnSendDr, m_pSending == nullptr ? bCanStart && m_bDrValueValid : m_pSending == &TAP_DR},
        {m_btnSendIr, m_pSending == nullptr ? bCanStart && m_bIrValueValid : m_pSending == &TAP_IR},
    };
    for (const Target& target : targets)
    {
        if ((target.button.IsWindowEnabled() != FALSE) == target.bEnable)
            continue;
        // As for the state buttons: the focus moves on before its control is disabled.
        if (!target.bEnable && ::GetFocus() == target.button.m_hWnd)
            SendMessage(WM_NEXTDLGCTL, 0, FALSE);
        target.button.EnableWindow(target.bEnable ? TRUE : FALSE);
        MarkChanged(target.button);
    }
}

void CStepperDlg::ShowSendProgress()
{
    if (::GetTickCount() - m_dwSendShown < PROGRESS_MS)
        return;
    CRedrawHold hold(*this);
    m_bDeferred = false;
    ApplyDeferred();
    m_editValue.SetWindowText((std::to_string(m_nSendShifted) + "/" + std::to_string(m_nSendLength)).c_str());
    MarkChanged(m_editValue);
    m_bDeferred = true;
    m_dwSendShown = ::GetTickCount();
}

void CStepperDlg::Send(const TapRegister& reg)
{
    if (m_pSending != nullptr)
    {
        // The running SEND's button reads STOP; the other one is disabled meanwhile.
        if (m_pSending == &reg)
            m_bStopRequested = true;
        return;
    }
    const bool bDr = &reg == &TAP_DR;
    CComboBox& list = bDr ? m_cbDrValue : m_cbIrValue;
    CValueList& values = bDr ? m_drValues : m_irValues;
    CColorButton& button = bDr ? m_btnSendDr : m_btnSendIr;

    CString text;
    list.GetWindowText(text);
    std::vector<unsigned char> bits;
    std::string strError;
    if (!ParseScanValue(static_cast<LPCSTR>(text), bits, strError))
    {
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    if (m_tap.State() == STATE_UNKNOWN || !IsShiftStart(m_tap.State()))
    {
        const std::string strText = std::string(reg.pszName) + " starts from " + SEND_STARTS_TEXT +
                                    ". Click one of these first (TEST-LOGIC-RESET when the state is unknown).";
        MessageBoxCp932(m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    // The list keeps the value even where the settings file cannot be written; that is said once.
    std::string strNotKept;
    if (!values.Remember(static_cast<LPCSTR>(text), strNotKept) && !m_bValuesNotKeptShown)
    {
        m_bValuesNotKeptShown = true;
        strNotKept += "\n\nThe value lists keep their values until MORVA closes, but not for its next start.";
        MessageBoxCp932(m_hWnd, strNotKept.c_str(), ErrorCaption().c_str(), MB_ICONEXCLAMATION);
    }
    FillValueList(list, values);

    m_pSending = &reg;
    m_bStopRequested = false;
    button.SetWindowText(STOP_TEXT);
    button.RedrawWindow();
    ShowSendButtons();
    m_bDeferred = true;

    m_dwSendShown = ::GetTickCount();
    m_nSendShifted = 0;
    m_nSendLength = bits.size();
    // The window's waiting messages (a click on STOP among them) are handled before each clock.
    const CTapEngine::ShiftEnd end = m_tap.Shift(reg, bits, [this](size_t nShifted) {
        m_nSendShifted = nShifted;
        if (AfxPumpWaitingMessages(m_hWnd) == FALSE)
            m_bStopRequested = true;
        return m_bStopRequested;
    });

    m_pSending = nullptr;
    button.SetWindowText(reg.pszName);
    {
        CRedrawHold hold(*this);
        m_bDeferred = false;
        ApplyDeferred();
        MarkChanged(button);
    }
    if (m_bCloseAfterSend)
    {
        m_bCloseAfterSend = false;
        EndDialog(IDCANCEL);
        return;
    }
    if (end == CTapEngine::ShiftEnd::Stopped)
    {
        const std::string strText = std::string(reg.pszName) +
                                    " stopped: the register was not updated, and the TAP waits in " + TapStateName(reg.nPause) +
                                    ".";
        MessageBoxCp932(m_hWnd, strText.c_str(), reg.pszName, MB_ICONINFORMATION);
    }
}
