// The programs' entry point: hand the process to the application object.
#include "app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return 1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    // The application runs its window modally inside InitInstance; there is no loop of our own.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
