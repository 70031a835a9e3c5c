#include "SendControls.h"

#include <string>

#include "../platform/app.h"
#include "../platform/codepage.h"
#include "../res/resource.h"
#include "../res/texts.h"
#include "../tap/ScanValue.h"

namespace {

// A long SEND shows how far it is this often; a short one paints once, at its end. Each showing
// repaints the trace and the list, some tens of milliseconds under Wine.
const DWORD PROGRESS_MS = 1000;
const char STOP_TEXT[] = "STOP";
const char SEND_STARTS_TEXT[] =
    "TEST-LOGIC-RESET, RUN-TEST/IDLE, PAUSE-DR, PAUSE-IR, UPDATE-DR or UPDATE-IR";

} // namespace

const BsdlFile* CSendControls::DeviceFile() const
{
    return m_pAddress != nullptr ? m_pAddress->Bsdl().get() : nullptr;
}

bool CSendControls::ReadValue(bool bDr, const std::string& text, CBits& bits,
                              std::string& strError) const
{
    // "IDCODE", or the line the list offers: "IDCODE  00010" (one of its opcodes).
    const BsdlFile* pFile = bDr ? nullptr : DeviceFile();
    const NamedInstruction named =
        pFile != nullptr ? InstructionByName(*pFile, text, bits, strError) : NamedInstruction::NoSuchName;
    if (named != NamedInstruction::NoSuchName)
        return named == NamedInstruction::Found;
    return ParseScanValue(text, bits, strError);
}

bool CSendControls::IsValidValue(CComboBox& list) const
{
    CString text;
    list.GetWindowText(text);
    CBits bits;
    std::string strError;
    return ReadValue(&list == &m_cbDrValue, static_cast<LPCSTR>(text), bits, strError);
}

void CSendControls::SpeakTo(CChainAddress* pAddress)
{
    // The address before may be gone already: whether the list was a file's is kept apart.
    m_pAddress = pAddress;
    const BsdlFile* pFile = DeviceFile();
    if (pFile == nullptr && !m_bFileList)
        return;
    m_bFileList = pFile != nullptr;
    std::vector<std::string> entries;
    for (const BsdlInstruction& instruction : pFile != nullptr ? pFile->instructions : std::vector<BsdlInstruction>())
        entries.push_back(BsdlFile::ListEntry(instruction));
    // The typed text belongs to the list it was typed for.
    m_cbIrValue.SetWindowText("");
    FillValueList(m_cbIrValue, pFile != nullptr ? entries : m_irValues.Values());
}

void CSendControls::OfferRegisterLength(const CBits& instruction)
{
    const BsdlFile* pFile = DeviceFile();
    const BsdlInstruction* pInstruction = pFile != nullptr ? pFile->InstructionOf(instruction) : nullptr;
    const size_t nLength = pInstruction != nullptr ? pFile->RegisterLength(*pInstruction) : 0;
    if (nLength == 0)
        return;
    const std::string strValue = std::to_string(nLength) + "'h0";
    if (::SendMessageA(m_cbDrValue.m_hWnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(strValue.c_str())) == CB_ERR)
        ::SendMessageA(m_cbDrValue.m_hWnd, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(strValue.c_str()));
    m_cbDrValue.SetWindowText(strValue.c_str());
    OnValueEdited(IDC_DR_VALUE);
}

void CSendControls::Exchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_SEND_IR, m_btnSendIr);
    DDX_Control(pDX, IDC_SEND_DR, m_btnSendDr);
    DDX_Control(pDX, IDC_IR_VALUE, m_cbIrValue);
    DDX_Control(pDX, IDC_DR_VALUE, m_cbDrValue);
}

void CSendControls::OnSendClicked(const TapRegister& reg)
{
    if (SendButton(reg).IsWindowEnabled())
        Send(reg);
}

const CWnd& CSendControls::SendButton(const TapRegister& reg) const
{
    return &reg == &TAP_DR ? m_btnSendDr : m_btnSendIr;
}

void CSendControls::SetDisabledFace(COLORREF crFace)
{
    m_btnSendDr.m_crDisabledFace = crFace;
    m_btnSendIr.m_crDisabledFace = crFace;
}

void CSendControls::Load(const std::string& strSettingsPath)
{
    m_strSettingsPath = strSettingsPath;
    m_irValues.Load(m_strSettingsPath, m_tap.Cable().ExampleValues(true));
    m_drValues.Load(m_strSettingsPath, m_tap.Cable().ExampleValues(false));
    FillValueList(m_cbIrValue, m_irValues.Values());
    FillValueList(m_cbDrValue, m_drValues.Values());
}

bool CSendControls::IsValueField(HWND hWnd, bool& bDr) const
{
    bDr = hWnd != nullptr && ::IsChild(m_cbDrValue.m_hWnd, hWnd) != FALSE;
    return bDr || (hWnd != nullptr && ::IsChild(m_cbIrValue.m_hWnd, hWnd) != FALSE);
}

void CSendControls::StopAndClose()
{
    m_bStopRequested = true;
    m_bCloseAfterSend = true;
}

void CSendControls::OnValueEdited(UINT nID)
{
    if (nID == IDC_DR_VALUE)
        m_bDrValueValid = IsValidValue(m_cbDrValue);
    else
        m_bIrValueValid = IsValidValue(m_cbIrValue);
    ShowButtons();
}

void CSendControls::OnValuePicked(UINT nID)
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

void CSendControls::FillValueList(CComboBox& list, const std::vector<std::string>& values)
{
    CString typed;
    list.GetWindowText(typed);
    list.ResetContent();
    for (const std::string& strValue : values)
        list.AddString(strValue.c_str());
    list.FitDroppedWidth();
    if (!typed.IsEmpty())
        list.SetWindowText(typed);
    else if (list.GetCount() > 0)
        list.SetCurSel(0);
    OnValueEdited(&list == &m_cbDrValue ? IDC_DR_VALUE : IDC_IR_VALUE);
}

void CSendControls::ShowButtons()
{
    const bool bCanStart = IsShiftStart(m_tap.State());
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
            m_dialog.SendMessage(WM_NEXTDLGCTL, 0, FALSE);
        target.button.EnableWindow(target.bEnable ? TRUE : FALSE);
        m_paint.MarkChanged(target.button);
    }
}

void CSendControls::OnClock()
{
    if (m_pSending == nullptr || ::GetTickCount() - m_dwShown < PROGRESS_MS)
        return;
    CPaintHold::CScope hold(m_paint);
    m_target.ShowSoFar();
    m_target.ShowValueText(std::to_string(m_nShifted) + "/" + std::to_string(m_nLength));
    m_dwShown = ::GetTickCount();
}

void CSendControls::Send(const TapRegister& reg)
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
    CBits bits;
    std::string strError;
    if (!ReadValue(bDr, static_cast<LPCSTR>(text), bits, strError))
    {
        MessageBoxCp932(m_dialog.m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    if (m_pAddress != nullptr && !m_pAddress->CanSend(!bDr, bits.size(), strError))
    {
        MessageBoxCp932(m_dialog.m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    if (!IsShiftStart(m_tap.State()))
    {
        const std::string strText = std::string(reg.pszName) + " starts from " + SEND_STARTS_TEXT +
                                    ". Click one of these first (TEST-LOGIC-RESET when the state is unknown).";
        MessageBoxCp932(m_dialog.m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    // The list keeps the value even where the settings file cannot be written; that is said once.
    // A device's instructions are its file's list, not kept.
    std::string strNotKept;
    const bool bFileList = !bDr && DeviceFile() != nullptr;
    if (!bFileList && !values.Remember(static_cast<LPCSTR>(text), strNotKept) && !m_bValuesNotKeptShown)
    {
        m_bValuesNotKeptShown = true;
        strNotKept += "\n\nThe value lists keep their values until MORVA closes, but not for its next start.";
        MessageBoxCp932(m_dialog.m_hWnd, strNotKept.c_str(), ErrorCaption().c_str(), MB_ICONEXCLAMATION);
    }
    if (!bFileList)
        FillValueList(list, values.Values());
    const CBits sent = bits;

    m_pSending = &reg;
    m_bStopRequested = false;
    button.SetWindowText(STOP_TEXT);
    button.RedrawWindow();
    ShowButtons();
    CTapCommand command(m_tap);

    if (m_pAddress != nullptr)
        bits = m_pAddress->Wrap(!bDr, bits);
    m_dwShown = ::GetTickCount();
    m_nShifted = 0;
    m_nLength = bits.size();
    // The window's waiting messages (a click on STOP among them) are handled between clocks, at
    // most once a millisecond: asking for them costs more than a clock does.
    m_dwPumped = ::GetTickCount() - 1;
    const Outcome end = m_tap.ShiftStoppable(reg, bits, [this](size_t nShifted) {
        m_nShifted = nShifted;
        const DWORD dwNow = ::GetTickCount();
        if (dwNow != m_dwPumped)
        {
            m_dwPumped = dwNow;
            if (AfxPumpWaitingMessages(m_dialog.m_hWnd) == FALSE)
                m_bStopRequested = true;
        }
        return m_bStopRequested;
    });

    m_pSending = nullptr;
    if (end == Ended::Done && !bDr && m_pAddress != nullptr)
        OfferRegisterLength(sent);
    button.SetWindowText(reg.pszName);
    {
        CPaintHold::CScope hold(m_paint);
        command.End();
        m_paint.MarkChanged(button);
    }
    if (m_bCloseAfterSend)
    {
        m_bCloseAfterSend = false;
        m_target.CloseWindow();
        return;
    }
    if (end == Ended::Stopped)
    {
        const std::string strText = std::string(reg.pszName) +
                                    " stopped: the register was not updated, and the TAP waits in " + TapStateName(reg.nPause) +
                                    ".";
        MessageBoxCp932(m_dialog.m_hWnd, strText.c_str(), reg.pszName, MB_ICONINFORMATION);
    }
}
