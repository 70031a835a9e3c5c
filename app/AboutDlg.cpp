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
    // The cable's own description stays as the system names it.
    const std::string text = LoadText(IDS_ABOUT_CABLE) + CablePort().Description();
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_ABOUT_CABLE), text.c_str());
    return TRUE;
}

