#include "AboutDlg.h"

#include <string>

#include "../cable/port.h"

CAboutDlg::CAboutDlg() : CDialog(IDD)
{
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const std::string text = "Cable: " + CablePort().Description();
    ::SetDlgItemTextA(m_hWnd, IDC_ABOUT_CABLE, text.c_str());
    return TRUE;
}

