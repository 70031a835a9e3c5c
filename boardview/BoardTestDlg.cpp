#include "BoardTestDlg.h"

#include <iterator>

#include "../platform/codepage.h"
#include "../platform/language.h"

namespace {

// Result, net, what was found: where each column starts, in dialog units.
const int COLUMN_STOPS[] = {44, 110};

} // namespace

const AFX_MSGMAP_ENTRY CBoardTestDlg::s_messageEntries[] = {
    MessageEntry<&CBoardTestDlg::OnMoved>(WM_MOVE),
};

const AFX_MSGMAP CBoardTestDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries,
                                                std::size(s_messageEntries)};

BOOL CBoardTestDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_BOARD_LIST, LB_SETTABSTOPS, std::size(COLUMN_STOPS),
                          reinterpret_cast<LPARAM>(COLUMN_STOPS));
    return TRUE;
}

void CBoardTestDlg::ShowReport(CWnd& owner, const std::string& strBoard, const BoardReport& report)
{
    if (m_hWnd == nullptr)
    {
        if (Create(&owner) == FALSE)
            return;
        m_place.Place(m_hWnd, owner.m_hWnd);
    }
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_BOARD_SUMMARY), (strBoard + ": " + report.Summary() + ".").c_str());
    const HWND hList = ::GetDlgItem(m_hWnd, IDC_BOARD_LIST);
    ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    // The result and what was found are the program's words, each said on its own; the net's name
    // is the board's.
    for (const BoardNet* pNet : report.NetsFaultyFirst())
    {
        std::string said = pNet->why.empty() ? std::string() : InProgramLanguage(pNet->why);
        for (const std::string& finding : pNet->findings)
            said += (said.empty() ? "" : "; ") + InProgramLanguage(finding);
        AddListLineCp932(hList, InProgramLanguage(NetVerdictName(pNet->result)) + "\t" + pNet->name + "\t" + said);
    }
    ShowWindow(SW_SHOWNA);
}

void CBoardTestDlg::Forget()
{
    if (m_hWnd != nullptr)
        ShowWindow(SW_HIDE);
}
