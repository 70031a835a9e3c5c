#include "ChainDlg.h"

#include <commdlg.h>

#include <iterator>
#include <vector>

#include "../board/BoardRun.h"
#include "../chain/KeptIrLengths.h"
#include "../platform/codepage.h"
#include "../platform/files.h"
#include "../platform/profile.h"
#include "../res/texts.h"

namespace {

// Where each column of a device's line starts, in dialog units from the list's left edge; the
// template's column headings stand over them.
const int COLUMN_STOPS[] = {14, 32, 88, 218, 256, 282};
// A maker's name longer than its column is cut here, so that the part and version keep theirs.
const size_t MAKER_COLUMN_CHARS = 30;
const size_t IRLEN_TEXT_LIMIT = 512;

std::string DeviceLine(size_t nNumber, const ChainDevice& device)
{
    ChainDeviceColumns row = ChainDeviceRow(nNumber, device);
    if (row.strMaker.size() > MAKER_COLUMN_CHARS)
        row.strMaker = row.strMaker.substr(0, MAKER_COLUMN_CHARS - 3) + "...";
    return row.strNumber + "\t" + row.strIrLength + "\t" + row.strIdcode + "\t" + row.strMaker + "\t" + row.strPart +
           "\t" + row.strVersion + (row.strEntity.empty() ? "" : "\t" + row.strEntity);
}

std::string FieldText(HWND hWnd)
{
    char text[IRLEN_TEXT_LIMIT];
    ::GetWindowTextA(hWnd, text, static_cast<int>(sizeof(text)));
    return text;
}

// A file to open, as the system's dialog asks for it; false where the person cancelled.
bool AskToOpen(HWND hOwner, const char* pszFilter, std::string& strPath)
{
    char path[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = pszFilter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!AskForFileName(ofn, false))
        return false;
    strPath = path;
    return true;
}

} // namespace

const AFX_MSGMAP_ENTRY CChainDlg::s_messageEntries[] = {
    CommandEntry<&CChainDlg::OnScan>(BN_CLICKED, IDC_CHAIN_SCAN),
    CommandEntry<&CChainDlg::OnDevicePicked>(LBN_SELCHANGE, IDC_CHAIN_LIST),
    CommandEntry<&CChainDlg::OnBsdlFile>(BN_CLICKED, IDC_CHAIN_BSDL),
    CommandEntry<&CChainDlg::OnPins>(BN_CLICKED, IDC_CHAIN_PINS),
    CommandEntry<&CChainDlg::OnBoardTest>(BN_CLICKED, IDC_CHAIN_BOARD),
    MessageEntry<&CChainDlg::OnMoved>(WM_MOVE),
};

const AFX_MSGMAP CChainDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries, std::size(s_messageEntries)};

BOOL CChainDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_CHAIN_LIST, LB_SETTABSTOPS, std::size(COLUMN_STOPS),
                          reinterpret_cast<LPARAM>(COLUMN_STOPS));
    if (!m_strSettingsPath.empty())
        ReadProfileValue(m_strSettingsPath, "chain", "irlen", IRLEN_TEXT_LIMIT, m_strSettingsIrLengths);
    ::SetDlgItemTextA(m_hWnd, IDC_CHAIN_IRLEN, m_strSettingsIrLengths.c_str());
    ShowDevices("");
    return TRUE;
}

void CChainDlg::ScanBeside(CWnd& owner)
{
    if (m_tap.InCommand())
        return;
    if (m_hWnd == nullptr)
    {
        if (Create(&owner) == FALSE)
            return;
        m_place.Place(m_hWnd, owner.m_hWnd);
    }
    ShowWindow(SW_SHOWNA);
    Scan();
}

void CChainDlg::Forget()
{
    m_boardView.Forget();
    m_scan = ChainScan();
    PickWholeChain();
    if (m_hWnd != nullptr)
        ShowDevices("");
}

size_t CChainDlg::Picked() const
{
    if (m_hWnd == nullptr)
        return 0;
    const LRESULT nLine = ::SendDlgItemMessageA(m_hWnd, IDC_CHAIN_LIST, LB_GETCURSEL, 0, 0);
    return nLine == LB_ERR ? 0 : static_cast<size_t>(nLine);
}

void CChainDlg::OnCancel()
{
    // The running SEND keeps the device it was started for.
    if (m_tap.InCommand())
        return;
    PickWholeChain();
    ShowWindow(SW_HIDE);
}

void CChainDlg::OnScan()
{
    if (!m_tap.InCommand())
        Scan();
}

void CChainDlg::OnDevicePicked()
{
    const size_t nDevice = Picked();
    if (m_tap.InCommand())
    {
        // The running SEND keeps the device it was started for, and the list shows it.
        const size_t nSpoken = m_pAddress != nullptr ? m_pAddress->Device() : 0;
        ::SendDlgItemMessageA(m_hWnd, IDC_CHAIN_LIST, LB_SETCURSEL, nSpoken, 0);
        return;
    }
    if (nDevice == 0 || nDevice > m_scan.devices.size())
    {
        PickWholeChain();
        return;
    }
    const std::string strWhy = WhyNotAlone(nDevice, m_scan);
    if (!strWhy.empty())
    {
        PickWholeChain();
        MessageBoxCp932(m_hWnd, strWhy.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    m_pinView.Forget();
    m_pAddress.reset(new CChainAddress(m_scan.devices, nDevice));
    m_pAddress->Follow(m_tap);
    m_target.SpeakTo(m_pAddress.get());
}

bool CChainDlg::ScanWith(const std::vector<int>& lengths, const std::string& strFrom)
{
    PickWholeChain();
    m_scan = ChainScan();
    // The scan's thousands of clocks are one command: no pause before each, as for a value.
    const Outcome end = [&] {
        CTapCommand command(m_tap);
        return ScanChain(m_tap, lengths, m_scan, m_pLibrary, strFrom);
    }();
    if (end != Ended::Lost)
        return true;
    ShowDevices(end.Message());
    return false;
}

void CChainDlg::Scan()
{
    const std::string strLengths = FieldText(::GetDlgItem(m_hWnd, IDC_CHAIN_IRLEN));
    std::vector<int> lengths;
    std::string strError;
    if (!strLengths.empty() && !ParseIrLengths(strLengths, lengths, strError))
    {
        strError = "IR lengths " + strLengths + ": " + strError;
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    const bool bFromSettings = !strLengths.empty() && strLengths == m_strSettingsIrLengths;
    if (!ScanWith(lengths, bFromSettings ? "in the settings file ([chain] irlen=)" : "in the chain window"))
        return;
    bool bTold = true;
    for (const ChainDevice& device : m_scan.devices)
        bTold = bTold && device.nIrLength != 0;
    const std::string strIdentity = ChainIdentity(m_strCable, m_scan.devices);
    std::string strKept;
    if (strLengths.empty() && !bTold && !m_strSettingsPath.empty() &&
        FindKeptIrLengths(m_strSettingsPath, strIdentity, strKept) && ParseIrLengths(strKept, lengths, strError))
    {
        // Lengths typed for this very chain before: the field shows them, and the scan takes them.
        ::SetDlgItemTextA(m_hWnd, IDC_CHAIN_IRLEN, strKept.c_str());
        if (!ScanWith(lengths, "kept for this chain in the settings file ([chains])"))
            return;
    }
    // Lengths typed here that fit the chain are kept for it alone, for the next scan of it.
    else if (!strLengths.empty() && !bFromSettings && m_scan.strProblem.empty() && !m_scan.devices.empty() &&
             !m_strSettingsPath.empty() && !KeepIrLengths(m_strSettingsPath, strIdentity, strLengths, strError) &&
             !m_bKeepFailureShown)
    {
        m_bKeepFailureShown = true;
        strError += "\n\nThe IR lengths are used until MORVA closes, but not for its next start.";
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONEXCLAMATION);
    }

    std::string strProblem = m_scan.strProblem;
    for (const ChainDevice& device : m_scan.devices)
    {
        if (device.nIrLength == 0)
        {
            strProblem += " Here: type them into the IR lengths field and scan again.";
            break;
        }
    }
    for (const std::string& strBsdl : m_scan.bsdlProblems)
        strProblem += (strProblem.empty() ? "" : "\n") + strBsdl;
    ShowDevices(strProblem);
}

void CChainDlg::OnBsdlFile()
{
    const size_t nDevice = Picked();
    if (m_tap.InCommand())
        return;
    if (nDevice == 0 || nDevice > m_scan.devices.size())
    {
        MessageBoxCp932(m_hWnd, "Pick the device in the list first: the file is that device's.", ErrorCaption().c_str(),
                        MB_ICONHAND);
        return;
    }
    std::string path;
    if (!AskToOpen(m_hWnd, "BSDL (*.bsd;*.bsdl)\0*.bsd;*.bsdl\0*.*\0*.*\0", path))
        return;
    auto pFile = std::make_shared<BsdlFile>();
    std::string strError;
    if (!ReadBsdlFile(path, *pFile, strError) || !GiveBsdlFile(m_scan, nDevice, pFile, strError))
    {
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    ShowDevices(m_scan.strProblem);
    // Picked again: a new address, with the file, for the values and the pin view.
    ::SendDlgItemMessageA(m_hWnd, IDC_CHAIN_LIST, LB_SETCURSEL, nDevice, 0);
    OnDevicePicked();
}

void CChainDlg::OnPins()
{
    if (m_tap.InCommand())
        return;
    if (m_pAddress == nullptr || m_pAddress->Bsdl() == nullptr)
    {
        const char* pszWhy = m_pAddress == nullptr
                                 ? "Pick a device in the list first: the pins are one device's."
                                 : "The device has no BSDL file: put its file in a BSDL folder, or give it with "
                                   "\"BSDL file...\".";
        MessageBoxCp932(m_hWnd, pszWhy, ErrorCaption().c_str(), MB_ICONHAND);
        return;
    }
    m_pinView.ShowDevice(*this, *m_pAddress);
}

void CChainDlg::OnBoardTest()
{
    if (m_tap.InCommand())
        return;
    std::string path;
    if (AskToOpen(m_hWnd, "Board or netlist (*.ini;*.net;*.csv)\0*.ini;*.net;*.csv\0*.*\0*.*\0", path))
        TestBoard(path);
}

void CChainDlg::TestBoard(const std::string& strPath)
{
    BoardFile board;
    Netlist netlist;
    std::string strError;
    const auto refuse = [&](const std::string& strWhy) {
        MessageBoxCp932(m_hWnd, strWhy.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
    };
    if (!ReadBoardDescription(strPath, {}, m_strSettingsPath, board, netlist, strError))
        return refuse(strError);
    if (m_pLibrary == nullptr)
        m_pLibrary = &m_ownLibrary;
    if (!AddBoardFiles(board, *m_pLibrary, strError))
        return refuse(strError);
    m_boardView.Forget();
    Scan();
    if (m_scan.devices.empty())
        return;
    BoardPlan plan;
    const Outcome planned = PlanBoard(m_scan, board, netlist, *m_pLibrary, plan);
    if (planned != Ended::Done)
        return refuse(planned.Message());
    if (m_strBoardAsked != strPath)
    {
        const std::string strQuestion = "The board test drives these nets under EXTEST, one pattern after another: " +
                                        DrivenNetsText(plan) + ".\n\n" + LoadText(IDS_EXTEST_WARNING);
        if (MessageBoxCp932(m_hWnd, strQuestion.c_str(), "EXTEST", MB_ICONEXCLAMATION | MB_YESNO) != IDYES)
            return;
        m_strBoardAsked = strPath;
    }
    PickWholeChain();
    BoardReport report;
    const Outcome end = [&] {
        CTapCommand command(m_tap);
        return RunBoardTest(m_tap, m_scan, plan, report);
    }();
    if (end != Ended::Done)
        return end == Ended::Lost ? ShowDevices(end.Message()) : refuse(end.Message());
    m_boardView.ShowReport(*this, strPath.substr(strPath.find_last_of("\\/") + 1), report);
}

void CChainDlg::ShowDevices(const std::string& strProblem)
{
    const HWND hList = ::GetDlgItem(m_hWnd, IDC_CHAIN_LIST);
    ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    AddListLineCp932(hList, LoadText(IDS_WHOLE_CHAIN));
    for (size_t i = 0; i < m_scan.devices.size(); ++i)
        AddListLineCp932(hList, DeviceLine(i + 1, m_scan.devices[i]));
    ::SendMessageA(hList, LB_SETCURSEL, 0, 0);
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_CHAIN_PROBLEM), strProblem.c_str());
}

void CChainDlg::PickWholeChain()
{
    if (m_hWnd != nullptr)
        ::SendDlgItemMessageA(m_hWnd, IDC_CHAIN_LIST, LB_SETCURSEL, 0, 0);
    if (m_pAddress == nullptr)
        return;
    m_pinView.Forget();
    m_target.SpeakTo(nullptr);
    m_pAddress.reset();
}
