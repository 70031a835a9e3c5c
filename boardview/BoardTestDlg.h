// The board test's report: every net of the board with what the test found on it, the faulty
// ones first, then the good ones, then those it could not test with why; the summary above.
#pragma once

#include <string>

#include "../board/BoardTest.h"
#include "../platform/placement.h"
#include "../platform/wnd.h"
#include "../res/resource.h"

class CBoardTestDlg : public CDialog
{
public:
    enum { IDD = IDD_BOARD };

    CBoardTestDlg() : CDialog(IDD) {}

    // Opens the window beside owner (made the first time) on the report of the board strBoard.
    void ShowReport(CWnd& owner, const std::string& strBoard, const BoardReport& report);
    // The settings file, where the window keeps its place.
    void SetSettingsPath(const std::string& strPath) { m_place.SetSettingsPath(strPath); }
    // The chain the report was made on is gone (another cable): the window hides.
    void Forget();

private:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }
    BOOL OnInitDialog() override;
    void OnCancel() override { ShowWindow(SW_HIDE); }
    void OnOK() override {}
    void OnMoved() { m_place.Keep(m_hWnd); }

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
    static const AFX_MSGMAP s_messageMap;

    CKeptPlace m_place{"board"};
};
