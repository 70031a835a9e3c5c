// The About box, opened from the main window's system menu.
#pragma once

#include "../platform/wnd.h"
#include "../res/resource.h"

class CAboutDlg : public CDialog
{
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg();

protected:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }
    // Names the cable in use.
    BOOL OnInitDialog() override;

    void OnHomePage();

    static const AFX_MSGMAP s_messageMap;

private:
    static const AFX_MSGMAP_ENTRY s_messageEntries[];
};
