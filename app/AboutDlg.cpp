#include "AboutDlg.h"

#include <string>

#include "../platform/codepage.h"
#include "../platform/language.h"

CAboutDlg::CAboutDlg(const std::string& strCable) : CDialog(IDD), m_strCable(strCable)
{
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const std::string text = LoadText(IDS_ABOUT_CABLE) + InProgramLanguage(m_strCable);
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_ABOUT_CABLE), text.c_str());
    return TRUE;
}

