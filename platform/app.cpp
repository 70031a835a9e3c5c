#include "app.h"

namespace {

CWinApp* g_pApp = nullptr;

} // namespace

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

BOOL AfxPumpWaitingMessages(HWND hDialog)
{
    // A dialog made from the wide-character template gets its messages in that form.
    const bool bUnicode = ::IsWindowUnicode(hDialog) != FALSE;
    MSG msg;
    while (bUnicode ? ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) : ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return FALSE;
        }
        if ((bUnicode ? ::IsDialogMessageW(hDialog, &msg) : ::IsDialogMessageA(hDialog, &msg)) != FALSE)
            continue;
        ::TranslateMessage(&msg);
        if (bUnicode)
            ::DispatchMessageW(&msg);
        else
            ::DispatchMessageA(&msg);
    }
    return TRUE;
}
