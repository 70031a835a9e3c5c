#include "dialog_runner.h"

namespace {

struct PendingRun
{
    CStepperDlg* pDlg;
    const std::function<void()>* pBody;
    UINT_PTR nTimer;
};

PendingRun g_run;

void CALLBACK RunBody(HWND, UINT, UINT_PTR, DWORD)
{
    ::KillTimer(nullptr, g_run.nTimer);
    (*g_run.pBody)();
    g_run.pDlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace

INT_PTR RunDialog(CStepperDlg& dlg, const std::function<void()>& body)
{
    g_run.pDlg = &dlg;
    g_run.pBody = &body;
    // A thread timer fires from the dialog's own loop, after the window is shown and idle.
    g_run.nTimer = ::SetTimer(nullptr, 0, 1, &RunBody);
    return dlg.DoModal();
}

void Click(CStepperDlg& dlg, UINT nID, UINT nCode)
{
    HWND hButton = ::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID));
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(nID, nCode), reinterpret_cast<LPARAM>(hButton));
}

std::string WindowText(HWND hWnd)
{
    char buffer[1024] = {};
    ::GetWindowTextA(hWnd, buffer, sizeof(buffer));
    return buffer;
}

std::vector<std::string> HistoryLines(CStepperDlg& dlg)
{
    std::vector<std::string> lines;
    const int nCount = dlg.m_listHistory.GetCount();
    for (int i = 0; i < nCount; ++i)
    {
        char buffer[64] = {};
        dlg.m_listHistory.SendMessage(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        lines.push_back(buffer);
    }
    return lines;
}
