// The About box, opened from the main window's system menu or its right-click menu.
#pragma once

#include "../platform/wnd.h"
#include "../res/resource.h"

class CAboutDlg : public CDialog
{
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg();

protected:
    // Names the cable in use.
    BOOL OnInitDialog() override;
};
