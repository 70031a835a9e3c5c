#include "PinViewDlg.h"

#include <iterator>

#include "../chain/BoundaryScan.h"
#include "../platform/codepage.h"
#include "../res/texts.h"

namespace {

// Port, pin, direction, cells, reading, drive: where each column starts, in dialog units.
const int COLUMN_STOPS[] = {46, 70, 104, 186, 246};
const UINT REPEAT_TIMER = 1;

const char* DriveText(PinDrive drive)
{
    switch (drive)
    {
    case PinDrive::High:
        return "high";
    case PinDrive::Low:
        return "low";
    case PinDrive::Off:
        return "off";
    default:
        return "";
    }
}

} // namespace

const AFX_MSGMAP_ENTRY CPinViewDlg::s_messageEntries[] = {
    CommandEntry<&CPinViewDlg::OnRead>(BN_CLICKED, IDC_PINS_READ),
    MessageEntry<&CPinViewDlg::OnMoved>(WM_MOVE),
    CommandEntry<&CPinViewDlg::OnRepeat>(BN_CLICKED, IDC_PINS_REPEAT),
    CommandEntry<&CPinViewDlg::OnDriveHigh>(BN_CLICKED, IDC_PINS_HIGH),
    CommandEntry<&CPinViewDlg::OnDriveLow>(BN_CLICKED, IDC_PINS_LOW),
    CommandEntry<&CPinViewDlg::OnDriveOff>(BN_CLICKED, IDC_PINS_OFF),
    CommandEntry<&CPinViewDlg::OnDriveSafe>(BN_CLICKED, IDC_PINS_SAFE),
    CommandEntry<&CPinViewDlg::OnLeaveExtest>(BN_CLICKED, IDC_PINS_LEAVE),
    MessageEntry<&CPinViewDlg::OnTimer>(WM_TIMER),
};

const AFX_MSGMAP CPinViewDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries, std::size(s_messageEntries)};

BOOL CPinViewDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_PINS_LIST, LB_SETTABSTOPS, std::size(COLUMN_STOPS),
                          reinterpret_cast<LPARAM>(COLUMN_STOPS));
    return TRUE;
}

void CPinViewDlg::ShowDevice(CWnd& owner, CChainAddress& address)
{
    if (m_hWnd == nullptr)
    {
        if (Create(&owner) == FALSE)
            return;
        m_place.Place(m_hWnd, owner.m_hWnd);
    }
    if (m_pFile != address.Bsdl() || m_pAddress != &address)
    {
        m_pFile = address.Bsdl();
        m_pins = BoundaryPins(*m_pFile);
        m_drives.assign(m_pins.size(), PinDrive::Safe);
        m_captured.clear();
        m_bExtest = false;
    }
    m_pAddress = &address;
    const std::string strTitle = m_pFile->strEntity + " (device " + std::to_string(address.Device()) + ")";
    SetWindowTextCp932(m_hWnd, strTitle.c_str());
    ShowWindow(SW_SHOWNA);
    Read();
}

void CPinViewDlg::Forget()
{
    m_pAddress = nullptr;
    m_pFile = nullptr;
    m_bExtest = false;
    if (m_hWnd == nullptr)
        return;
    StopRepeating();
    ShowWindow(SW_HIDE);
}

void CPinViewDlg::OnCancel()
{
    // The pins stay as driven: leaving EXTEST is its own button.
    StopRepeating();
    ShowWindow(SW_HIDE);
}

void CPinViewDlg::StopRepeating()
{
    ::KillTimer(m_hWnd, REPEAT_TIMER);
    ::CheckDlgButton(m_hWnd, IDC_PINS_REPEAT, BST_UNCHECKED);
}

void CPinViewDlg::OnRead()
{
    Read();
}

void CPinViewDlg::OnRepeat()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_PINS_REPEAT) == BST_CHECKED)
        ::SetTimer(m_hWnd, REPEAT_TIMER, 1, nullptr);
    else
        ::KillTimer(m_hWnd, REPEAT_TIMER);
}

void CPinViewDlg::OnLeaveExtest()
{
    if (m_pAddress == nullptr || m_tap.InCommand())
        return;
    // Test-Logic-Reset hands every pin back to the chip's own logic.
    const bool bReset = [&] {
        CTapCommand command(m_tap);
        return m_tap.Reset();
    }();
    m_bExtest = false;
    m_drives.assign(m_pins.size(), PinDrive::Safe);
    if (!bReset)
    {
        ShowPins();
        ShowMode(m_tap.CableLost().Message());
        return;
    }
    // What the pins show now is the chip's own logic again: read under SAMPLE, not kept from EXTEST.
    Read();
    ShowMode("Reset: the chip's own logic has its pins. Read " + std::to_string(m_nReads) + ".");
}

void CPinViewDlg::OnTimer(UINT nIDEvent)
{
    // Timer messages come only when no other waits: the reads fill the window's idle time.
    if (nIDEvent == REPEAT_TIMER && ::IsWindowVisible(m_hWnd) != FALSE)
        Read();
}

void CPinViewDlg::Read()
{
    if (m_pAddress == nullptr || m_tap.InCommand())
        return;
    const bool bExtest = InExtestStill();
    Shift([&](CBits& captured) {
        return bExtest ? DriveBoundary(m_tap, *m_pAddress, *m_pFile, m_pins, m_drives, true, captured)
                       : SampleBoundary(m_tap, *m_pAddress, *m_pFile, captured);
    }, bExtest);
}

void CPinViewDlg::Shift(const std::function<Outcome(CBits&)>& shift, bool bExtest)
{
    // The view's clocks are one command, shown once at its end, as a SEND's are.
    CBits captured;
    const Outcome end = [&] {
        CTapCommand command(m_tap);
        return shift(captured);
    }();
    m_bExtest = bExtest && end == Ended::Done;
    if (end == Ended::Done)
        m_captured = captured;
    Shown(end);
}

void CPinViewDlg::Drive(PinDrive drive)
{
    if (m_pAddress == nullptr || m_tap.InCommand())
        return;
    const LRESULT nPicked = ::SendDlgItemMessageA(m_hWnd, IDC_PINS_LIST, LB_GETCURSEL, 0, 0);
    if (nPicked == LB_ERR || static_cast<size_t>(nPicked) >= m_pins.size())
        return;
    const BoundaryPin& pin = m_pins[static_cast<size_t>(nPicked)];
    if (!pin.CanDrive())
    {
        const std::string strText = pin.strPort + " has no output cell: EXTEST cannot drive it.";
        MessageBoxCp932(m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    if (pin.nControl < 0 && drive == PinDrive::Off)
    {
        const std::string strText = pin.strPort + " has no control cell: its driver cannot be switched off.";
        MessageBoxCp932(m_hWnd, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    // The drives as they would be. The pins a shared control cell switches on with this one drive
    // too: each is named in the question with the level it would drive, its safe value; one with
    // no safe value is offered low, and drives only if the person agrees to that.
    std::vector<PinDrive> drives = m_drives;
    drives[static_cast<size_t>(nPicked)] = drive;
    std::string strAlso;
    if (drive == PinDrive::High || drive == PinDrive::Low)
    {
        CBits before;
        std::string strUnused;
        const bool bBefore = m_bExtest && DrivenBoundary(*m_pFile, m_pins, m_drives, before, strUnused);
        for (size_t j : DriverGroup(m_pins, static_cast<size_t>(nPicked)))
        {
            const BoundaryPin& other = m_pins[j];
            if (j == static_cast<size_t>(nPicked) || drives[j] != PinDrive::Safe ||
                (bBefore && DriverOn(other, before)))
                continue;
            if (other.cSafe == 'X')
            {
                drives[j] = PinDrive::Low;
                strAlso += std::string(strAlso.empty() ? "" : ", ") + other.strPort + " low (0), as it has no safe value";
            }
            else
            {
                strAlso += std::string(strAlso.empty() ? "" : ", ") + other.strPort + " at its safe value " + other.cSafe;
            }
        }
    }
    CBits bits;
    std::string strRefused;
    if (!DrivenBoundary(*m_pFile, m_pins, drives, bits, strRefused))
    {
        MessageBoxCp932(m_hWnd, strRefused.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    if (!m_bExtestAsked || !strAlso.empty())
    {
        std::string strQuestion = LoadText(IDS_EXTEST_WARNING);
        if (!strAlso.empty())
            strQuestion = pin.strPort + " shares its control cell with other outputs, which drive once it drives: " +
                          strAlso + ".\n\n" + (m_bExtestAsked ? std::string("Drive them?") : strQuestion);
        if (MessageBoxCp932(m_hWnd, strQuestion.c_str(), "EXTEST", MB_ICONEXCLAMATION | MB_YESNO) != IDYES)
            return;
        m_bExtestAsked = true;
    }
    m_drives = drives;
    const bool bInExtest = InExtestStill();
    Shift([&](CBits& captured) {
        return DriveBoundary(m_tap, *m_pAddress, *m_pFile, m_pins, m_drives, bInExtest, captured);
    }, true);
    ::SendDlgItemMessageA(m_hWnd, IDC_PINS_LIST, LB_SETCURSEL, static_cast<WPARAM>(nPicked), 0);
}

void CPinViewDlg::Shown(const Outcome& end)
{
    m_nClocksAfter = m_tap.Clocks();
    if (end != Ended::Done)
    {
        StopRepeating();
        ShowMode(end.Message());
        return;
    }
    ++m_nReads;
    ShowPins();
    ShowMode(std::string(m_bExtest ? "EXTEST: the pins set drive, and the pins that share their control cells; every "
                                             "other cell holds its safe value."
                                   : "SAMPLE: the chip's own logic has its pins.") +
             " Read " + std::to_string(m_nReads) + ".");
}

void CPinViewDlg::ShowPins()
{
    const HWND hList = ::GetDlgItem(m_hWnd, IDC_PINS_LIST);
    const LRESULT nPicked = ::SendMessageA(hList, LB_GETCURSEL, 0, 0);
    const LRESULT nTop = ::SendMessageA(hList, LB_GETTOPINDEX, 0, 0);
    ::SendMessageA(hList, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    // Under EXTEST a driver is what was loaded into its cells, not what they captured.
    CBits loaded;
    std::string strUnused;
    const bool bLoaded = m_bExtest && DrivenBoundary(*m_pFile, m_pins, m_drives, loaded, strUnused);
    for (size_t i = 0; i < m_pins.size(); ++i)
    {
        const BoundaryPin& pin = m_pins[i];
        const std::string line = pin.strPort + "\t" + pin.strPin + "\t" + pin.Direction() + "\t" + pin.Cells() + "\t" +
                                 (m_captured.empty() ? std::string()
                                                     : PinReading(pin, m_captured, bLoaded ? &loaded : nullptr)) +
                                 "\t" + (m_bExtest ? DriveText(m_drives[i]) : "");
        ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    ::SendMessageA(hList, LB_SETTOPINDEX, static_cast<WPARAM>(nTop), 0);
    if (nPicked != LB_ERR)
        ::SendMessageA(hList, LB_SETCURSEL, static_cast<WPARAM>(nPicked), 0);
    ::SendMessageA(hList, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hList, nullptr, TRUE);
}

void CPinViewDlg::ShowMode(const std::string& strText)
{
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_PINS_MODE), strText.c_str());
}
