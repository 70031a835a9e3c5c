#include "StepperApp.h"

#include <iterator>
#include <string>

#include "AboutDlg.h"
#include "version.h"
#include "../platform/codepage.h"
#include "../platform/language.h"
#include "../res/texts.h"
#include "../stepper/StepperDlg.h"
#include "../session/Vcd.h"
#include "../bsdl/BsdlLibrary.h"
#include "../cli/BoardTestRun.h"
#include "../cli/ShiftRun.h"
#include "CableChoice.h"
#include "CableOptions.h"
#include "SystemCables.h"

namespace {

// Texts in code page 932.
// "MORVA JTAG簡易操作ツール": the name every instance looks for.
const char MUTEX_NAME[] = "MORVA JTAG\x8a\xc8\x88\xd5\x91\x80\x8d\xec\x83\x63\x81\x5b\x83\x8b";
const char MAIN_CAPTION[] = "MORVA";

void ShowAbout(const std::string& strCable)
{
    CAboutDlg dlgAbout(strCable);
    dlgAbout.DoModal();
}

} // namespace

void AddBsdlFolders(const CommandLine& options, CBsdlLibrary& library)
{
    for (const std::string& strFolder : options.bsdlFolders)
        library.AddFolder(strFolder);
    const std::string strSettings = SettingsPath();
    for (const std::string& strFolder : SettingsBsdlFolders(strSettings))
        library.AddFolder(strFolder);
    const size_t nSlash = strSettings.find_last_of("/\\");
    if (nSlash != std::string::npos)
        library.AddFolder(strSettings.substr(0, nSlash + 1) + "bsdl");
    // The simulated chip's own file describes it.
    CableName cable;
    std::string strError;
    if (options.bCable && ParseCableName(options.strCable, cable, strError) && !cable.bsdl.empty())
        library.AddFile(cable.bsdl, strError);
}

CStepperApp theApp;

const AFX_MSGMAP_ENTRY CStepperApp::s_messageEntries[] = {
    CommandEntry<&CStepperApp::OnHelp>(0, ID_HELP),
};

const AFX_MSGMAP CStepperApp::s_messageMap = {nullptr, s_messageEntries, std::size(s_messageEntries)};

CStepperApp::CStepperApp() : CWinApp(nullptr)
{
    CStepperDlg::s_pfnShowAbout = &ShowAbout;
}

void CStepperApp::Refuse(const std::string& strProblem)
{
    m_nExitCode = EXIT_NOT_DONE;
    if (!SayOnTerminal(strProblem, true) && NoDisplayProblem().empty())
        MessageBoxCp932(nullptr, strProblem.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

bool CStepperApp::OfferSimulatedBoard(CCableChoice& cables, const std::string& strProblem)
{
    m_nExitCode = EXIT_NOT_DONE;
    // From a terminal it is said there; MORVASIM.EXE has no other cable to offer.
    if (SayOnTerminal(strProblem, true) || !NoDisplayProblem().empty())
        return false;
    if (ONLY_THE_SIMULATED_BOARD)
    {
        MessageBoxCp932(nullptr, strProblem.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
        return false;
    }
    const std::string strText = strProblem + LoadText(IDS_OPEN_ANYWAY);
    if (MessageBoxCp932(nullptr, strText.c_str(), ErrorCaption().c_str(), MB_ICONHAND | MB_YESNO) != IDYES)
        return false;
    m_nExitCode = EXIT_DONE;
    cables.UseSimulatedBoard();
    return true;
}

int CStepperApp::WorkWithoutWindow(const CommandLine& options)
{
    std::string strProblem;
    CCableChoice cables(SettingsPath(), m_pfnMakeCable);
    if (!cables.Start(options, strProblem) || !cables.CheckAccess(strProblem))
    {
        SayOnConsole(strProblem, true);
        return EXIT_NOT_DONE;
    }
    if (!options.strBoardTest.empty())
        return BoardTestFromCommandLine(options, cables);
    if (options.strSvf.empty())
        return SendFromCommandLine(options, cables);
    // Ctrl-C stops a long RUNTEST where it is, the TAP's state said, status 2.
    CatchInterrupt();
    return PlaySvfCommand(cables.Cable(), options.strSvf, options.strTrace, &SayOnConsole, &Interrupted);
}

namespace {

// The IR lengths of [chain] irlen= where none were given; false, with why said, for a value that
// is no list of lengths.
bool IrLengthsFromSettings(std::vector<int>& lengths, std::string& strFrom)
{
    if (!lengths.empty())
        return true;
    std::string strProblem;
    if (!ReadChainSettings(SettingsPath(), lengths, strProblem))
    {
        SayOnConsole(strProblem, true);
        return false;
    }
    strFrom = "in " + ShownPath(SettingsPath()) + " ([chain] irlen=)";
    return true;
}

} // namespace

int CStepperApp::SendFromCommandLine(const CommandLine& options, CCableChoice& cables)
{
    std::string strProblem;
    CommandLineWork work;
    work.pCable = &cables.Cable();
    work.bScan = options.bScan;
    work.shifts = options.shifts;
    work.irLengths = options.irLengths;
    work.strIrLengthsFrom = "on the command line";
    work.strKeptIrLengthsPath = SettingsPath();
    work.strCable = options.bCable ? options.strCable : SettingsCable(SettingsPath());
    if (work.strCable.empty())
        work.strCable = "lpt";
    work.nDevice = options.nDevice;
    work.bSample = options.bSample;
    work.drives = options.drives;
    work.bExtest = options.bExtest;
    work.bLeaveExtest = options.bLeaveExtest;
    work.bSrst = options.bSrst;
    work.strSvfOut = options.strSvfOut;
    CBsdlLibrary library;
    AddBsdlFolders(options, library);
    if (!options.strBsdl.empty())
    {
        auto pFile = std::make_shared<BsdlFile>();
        if (!ReadBsdlFile(options.strBsdl, *pFile, strProblem))
        {
            SayOnConsole(strProblem, true);
            return EXIT_NOT_DONE;
        }
        // Without --device the file is one more the devices are matched against.
        if (options.nDevice > 0)
            work.pDeviceFile = pFile;
        else if (!library.AddFile(options.strBsdl, strProblem))
        {
            SayOnConsole(strProblem, true);
            return EXIT_NOT_DONE;
        }
    }
    work.pLibrary = &library;
    if ((work.bScan || work.nDevice > 0) && !IrLengthsFromSettings(work.irLengths, work.strIrLengthsFrom))
        return EXIT_NOT_DONE;
    return RunCommandLineWork(work, options.strTrace, &SayOnConsole);
}

int CStepperApp::BoardTestFromCommandLine(const CommandLine& options, CCableChoice& cables)
{
    std::string strProblem;
    CBsdlLibrary library;
    BoardTestWork work = {&cables.Cable(), options.strBoardTest, options.refs, SettingsPath(), options.irLengths,
                          "on the command line", &library, options.bExtest};
    AddBsdlFolders(options, library);
    if (!options.strBsdl.empty() && !library.AddFile(options.strBsdl, strProblem))
    {
        SayOnConsole(strProblem, true);
        return EXIT_NOT_DONE;
    }
    if (!IrLengthsFromSettings(work.irLengths, work.strIrLengthsFrom))
        return EXIT_NOT_DONE;
    return BoardTestCommand(work, options.strTrace, &SayOnConsole);
}

BOOL CStepperApp::InitInstance()
{
    // GTKWave's save file beside a trace names the files as this system's GTKWave finds them.
    SetShownPath(&ShownPath);
    std::string strProblem;
    CommandLine options;
    if (!ParseCommandLine(m_lpCmdLine, options, strProblem))
    {
        if (options.bNoWindow)
        {
            m_nExitCode = EXIT_NOT_DONE;
            SayOnConsole(strProblem, true);
            return FALSE;
        }
        Refuse(strProblem);
        return FALSE;
    }
    if (options.bHelp || options.bVersion)
    {
        const std::string strText =
            options.bHelp ? CommandLineHelp() : std::string("MORVA ") + MORVA_VERSION_STRING;
        if (!SayOnTerminal(strText, false))
            MessageBoxCp932(nullptr, strText.c_str(), MAIN_CAPTION, MB_ICONINFORMATION);
        return FALSE;
    }
    if (!options.strSvf.empty() || !options.strBoardTest.empty())
    {
        m_nExitCode = WorkWithoutWindow(options);
        return FALSE;
    }
    // A BSDL file alone is checked, with no cable.
    if (!options.strBsdl.empty() && !options.bScan && options.nDevice == 0 && options.shifts.empty() &&
        !options.bLeaveExtest)
    {
        m_nExitCode = DescribeBsdlCommand(options.strBsdl, &SayOnConsole);
        return FALSE;
    }
    // Values to send: no window, and no box, whatever happens.
    if (!options.shifts.empty() || options.bScan || options.bSample || !options.drives.empty() || options.bExtest ||
        options.bLeaveExtest || options.bSrst)
    {
        m_nExitCode = WorkWithoutWindow(options);
        return FALSE;
    }
    const std::string strNoDisplay = NoDisplayProblem();
    if (!strNoDisplay.empty())
    {
        Refuse(strNoDisplay);
        return FALSE;
    }

    // The handle stays open until the process ends: that is what keeps later instances out.
    if (::CreateMutexA(nullptr, FALSE, MUTEX_NAME) == nullptr)
        return FALSE;
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
    {
        ::SetForegroundWindow(::FindWindowA(nullptr, MAIN_CAPTION));
        return FALSE;
    }

    // Nothing touches a port before the cable is chosen and found usable.
    CCableChoice cables(SettingsPath(), m_pfnMakeCable);
    if ((!cables.Start(options, strProblem) || !cables.CheckAccess(strProblem)) &&
        !OfferSimulatedBoard(cables, strProblem))
        return FALSE;

    AfxEnableControlContainer();
    Enable3dControls();

    CStepperDlg dlg;
    dlg.SetSettingsPath(SettingsPath());
    CBsdlLibrary library;
    AddBsdlFolders(options, library);
    dlg.SetBsdlLibrary(&library);
    dlg.OfferCables(&cables);
    cables.HandTo(&dlg.Tap());
    CLiveVcd trace;
    if (!options.strTrace.empty())
    {
        if (!trace.Open(options.strTrace, dlg.Tap().SessionDate(), strProblem))
        {
            Refuse(strProblem);
            return FALSE;
        }
        dlg.Tap().SetLiveTrace(&trace);
    }
    m_pMainWnd = &dlg;
    if (dlg.DoModal() == -1)
        Refuse("MORVA's window could not be made.");
    // The window goes before the cable does.
    cables.HandTo(nullptr);
    // FALSE: the process ends here, with no message loop of its own.
    return FALSE;
}
