#include "AboutDlg.h"

#include <string>

#include "../cable/port.h"
#include "../platform/codepage.h"
#include "../platform/language.h"

CAboutDlg::CAboutDlg() : CDialog(IDD)
{
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const std::string text = LoadText(IDS_ABOUT_CABLE) + InProgramLanguage(CablePort().Description());
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_ABOUT_CABLE), text.c_str());
    return TRUE;
}

