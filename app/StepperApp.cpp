#include "StepperApp.h"

#include "../stepper/StepperDlg.h"

CStepperApp theApp;

CStepperApp::CStepperApp() : CWinApp(nullptr)
{
}

BOOL CStepperApp::InitInstance()
{
    CStepperDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // FALSE: the process ends here, with no message loop of its own.
    return FALSE;
}
