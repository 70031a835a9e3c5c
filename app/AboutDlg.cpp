#include "AboutDlg.h"

#include <shellapi.h>

#include <iterator>
#include <string>

#include "../cable/port.h"

namespace {

// The maker's web page. There is none yet; while this is empty the button does nothing.
const char HOME_PAGE[] = "";

} // namespace

const AFX_MSGMAP_ENTRY CAboutDlg::s_messageEntries[] = {
    CommandEntry<&CAboutDlg::OnHomePage>(BN_CLICKED, IDC_HOMEPAGE),
};

const AFX_MSGMAP CAboutDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries,
                                            std::size(s_messageEntries)};

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

void CAboutDlg::OnHomePage()
{
    if (HOME_PAGE[0] != '\0')
        ::ShellExecuteA(nullptr, "open", HOME_PAGE, nullptr, nullptr, SW_SHOWNORMAL);
}
