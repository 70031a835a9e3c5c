// The application object: one per program, created during static initialisation.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp
{
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // FALSE ends the program at once, as this program's start-up always does after its window.
    virtual BOOL InitInstance() { return FALSE; }

    LPCSTR m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
