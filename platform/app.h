// The application object: one per program, created during static initialisation.
#pragma once

#include <windows.h>

#include "wnd.h"

class CWinApp : public CCmdTarget
{
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // FALSE ends the program at once, as this program's start-up always does after its window.
    virtual BOOL InitInstance() { return FALSE; }
    // The process's exit code, asked once InitInstance has returned.
    virtual int ExitInstance() { return 0; }
    // Windows 95 and NT 4.0 draw dialog controls in 3D themselves: nothing to switch on.
    BOOL Enable3dControls() { return TRUE; }

    LPCSTR m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    CWnd* m_pMainWnd = nullptr;

protected:
    // The program ships no help file, so there is no help to open.
    void OnHelp() {}
};

// The framework's command for the help key.
const UINT ID_HELP = 0xE146;

// The program hosts no ActiveX controls: nothing to prepare.
inline void AfxEnableControlContainer() {}

CWinApp* AfxGetApp();

// Handles every message waiting in the thread's queue, through the dialog manager of hDialog, so
// that a window busy with a long command still answers. FALSE when the queue held WM_QUIT (put
// back for the loop that ends on it).
BOOL AfxPumpWaitingMessages(HWND hDialog);
