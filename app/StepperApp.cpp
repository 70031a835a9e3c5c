#include "StepperApp.h"

#include <iterator>
#include <string>

#include "../cable/port.h"
#include "../platform/codepage.h"
#include "../res/texts.h"
#include "../stepper/StepperDlg.h"
#include "../session/Vcd.h"
#include "CableChoice.h"
#include "CableOptions.h"
#include "SystemCables.h"

namespace {

// Texts in code page 932.
// "MORVA JTAG簡易操作ツール": the name every instance looks for.
const char MUTEX_NAME[] = "MORVA JTAG\x8a\xc8\x88\xd5\x91\x80\x8d\xec\x83\x63\x81\x5b\x83\x8b";
// "ＮＴ系なのでGIVEIO.SYSが必要です。"
const char NEED_GIVEIO[] =
    "\x82\x6d\x82\x73\x8c\x6e\x82\xc8\x82\xcc\x82\xc5\x47IVEIO.SYS\x82\xaa\x95\x4b\x97\x76\x82\xc5\x82\xb7\x81\x42";

const char MAIN_CAPTION[] = "MORVA";
const DWORD OSVERSIONINFO_SIZE = 148;

} // namespace

CStepperApp theApp;

const AFX_MSGMAP_ENTRY CStepperApp::s_messageEntries[] = {
    CommandEntry<&CStepperApp::OnHelp>(0, ID_HELP),
};

const AFX_MSGMAP CStepperApp::s_messageMap = {nullptr, s_messageEntries, std::size(s_messageEntries)};

CStepperApp::CStepperApp() : CWinApp(nullptr)
{
}

bool IsPortAccessible()
{
    return CablePort().IsAccessible();
}

BOOL CStepperApp::InitInstance()
{
    // The handle stays open until the process ends: that is what keeps later instances out.
    if (::CreateMutexA(nullptr, FALSE, MUTEX_NAME) == nullptr)
        return FALSE;
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
    {
        ::SetForegroundWindow(::FindWindowA(nullptr, MAIN_CAPTION));
        return FALSE;
    }

    // Nothing touches a port before the cable is chosen and found usable.
    std::string strProblem;
    CommandLine options;
    if (!ParseCommandLine(m_lpCmdLine, options, strProblem) || !ChooseCable(options, strProblem))
    {
        MessageBoxCp932(nullptr, strProblem.c_str(), ERROR_CAPTION, MB_ICONHAND);
        return FALSE;
    }

    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    ::GetVersionExA(&version);
    if ((version.dwPlatformId == VER_PLATFORM_WIN32_NT || CablePort().IsCheckedEverywhere()) && !IsPortAccessible())
    {
        // The parallel port's own message stays as it always was; other cables say what they lack.
        strProblem = CablePort().AccessProblem();
        MessageBoxCp932(nullptr, strProblem.empty() ? NEED_GIVEIO : strProblem.c_str(), ERROR_CAPTION, MB_ICONHAND);
        return FALSE;
    }

    AfxEnableControlContainer();
    Enable3dControls();

    CStepperDlg dlg;
    dlg.m_strSettingsPath = SettingsPath();
    CLiveVcd trace;
    if (!options.strTrace.empty())
    {
        if (!trace.Open(options.strTrace, dlg.m_strSessionDate, strProblem))
        {
            MessageBoxCp932(nullptr, strProblem.c_str(), ERROR_CAPTION, MB_ICONHAND);
            return FALSE;
        }
        dlg.m_pLiveTrace = &trace;
    }
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // FALSE: the process ends here, with no message loop of its own.
    return FALSE;
}
