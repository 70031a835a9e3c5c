// The application: one instance at a time, port access checked, the main window run modally.
#pragma once

#include <string>

#include "../platform/app.h"
#include "../ports/port_factory.h"
#include "CableChoice.h"

struct CommandLine;
class CBsdlLibrary;

// The folders the command line, the settings file and the folder beside it ("bsdl") name for BSDL
// files, and the simulated chip's own file, in the library.
void AddBsdlFolders(const CommandLine& options, CBsdlLibrary& library);

class CStepperApp : public CWinApp
{
public:
    CStepperApp();

    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }

    // What makes the port of the cable chosen: every way to a cable, or (tests) a stand-in.
    CCableChoice::MAKE_CABLE m_pfnMakeCable = &MakeCable;

protected:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }

    static const AFX_MSGMAP s_messageMap;

private:
    // The start-up failed: said on the terminal where there is one, in a box otherwise.
    void Refuse(const std::string& strProblem);
    // The start's cable cannot be used: the box that says so asks whether to open the window on
    // the simulated board instead, whose cable list offers the others. False: the program ends.
    bool OfferSimulatedBoard(CCableChoice& cables, const std::string& strProblem);
    // The work the command line asks for without a window, on the cable chosen: an SVF file
    // played (--svf), or the chain scanned, values sent and pins read or driven; the exit code.
    int WorkWithoutWindow(const CommandLine& options);
    // The chain scanned, values sent and pins read or driven.
    int SendFromCommandLine(const CommandLine& options, CCableChoice& cables);
    int BoardTestFromCommandLine(const CommandLine& options, CCableChoice& cables);

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
    int m_nExitCode = 0;
};

// The one application object.
extern CStepperApp theApp;

