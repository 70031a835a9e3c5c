// The cable the program drives: chosen at start from the command line, the settings file or the
// system's default, before anything touches a port, and chosen again from the window's list.
#pragma once

#include <memory>
#include <string>

#include "../cable/cable.h"
#include "../chooser/CableList.h"
#include "../engine/TapEngine.h"
#include "../ports/ftdi_port.h"
#include "../ports/cable_name.h"

struct CommandLine;

// MORVASIM.EXE has its simulated board and nothing else; MORVA.EXE and the Linux program
// choose. Each program links the file that says which it is.
extern const bool ONLY_THE_SIMULATED_BOARD;

class CCableChoice : public CCableList
{
public:
    typedef std::shared_ptr<ICable> (*MAKE_CABLE)(const CableName& cable, const FtdiPinMap& map);

    // strSettingsPath: where a choice made in the window is kept; empty keeps none. pfnMakeCable
    // makes the cables (tests put stand-ins behind them).
    explicit CCableChoice(const std::string& strSettingsPath, MAKE_CABLE pfnMakeCable = nullptr);
    ~CCableChoice() override;

    // Chooses the cable and makes it; nothing touches it yet. False, with what was wrong and how
    // to choose, when the choice cannot be used.
    bool Start(const CommandLine& options, std::string& strError);
    // Whether this process may use the cable, asked where it must be; false with what to do.
    bool CheckAccess(std::string& strProblem);
    // The cable chosen; no cable before Start.
    ICable& Cable() const { return m_pCable ? *m_pCable : NoCable(); }
    // The engine that drives the cable chosen, now and after every choice made in the window,
    // until the choice ends or another (or none) is named; the one before is left with none.
    void HandTo(CTapEngine* pTap);

    // The start could not open its cable and the person chose the simulated board instead.
    void UseSimulatedBoard();

    std::vector<Entry> Cables() override;
    Entry InUse() const override;
    bool Use(const std::string& strName, std::string& strError) override;
    std::string Note() const override { return m_strNote; }

private:
    void Make(const CableName& cable, const FtdiPinMap& map);
    void Close();

    std::string m_strSettingsPath;
    MAKE_CABLE m_pfnMakeCable;
    std::string m_strCableName;  // as the person wrote it, or "lpt" for the default
    std::string m_strAsked;      // the cable the start asked for, described; empty: none usable named
    std::string m_strNote;
    CableName m_cable;
    FtdiPinMap m_map;
    std::shared_ptr<ICable> m_pCable;
    CTapEngine* m_pTap = nullptr;
};
