// The About box, opened from the main window's system menu or its right-click menu.
#pragma once

#include <string>

#include "../platform/wnd.h"
#include "../res/resource.h"

class CAboutDlg : public CDialog
{
public:
    enum { IDD = IDD_ABOUTBOX };

    // strCable: what the cable in use says of itself.
    explicit CAboutDlg(const std::string& strCable);

protected:
    // Names the cable in use.
    BOOL OnInitDialog() override;

private:
    std::string m_strCable;
};
