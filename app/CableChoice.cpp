#include "CableChoice.h"

#include <windows.h>

#include "../platform/language.h"
#include "../platform/profile.h"
#include "../res/resource.h"
#include "../ports/port_factory.h"
#include "CableOptions.h"
#include "SettingsFile.h"
#include "SystemCables.h"

namespace {

const DWORD OSVERSIONINFO_SIZE = 148;

bool IsNtFamily()
{
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    ::GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

CCableList::Entry EntryOf(const std::string& strName, const CableName& cable)
{
    return {strName, DescribeCable(cable)};
}

} // namespace

CCableChoice::CCableChoice(const std::string& strSettingsPath, MAKE_CABLE pfnMakeCable)
    : m_strSettingsPath(strSettingsPath), m_pfnMakeCable(pfnMakeCable != nullptr ? pfnMakeCable : &MakeCable)
{
}

CCableChoice::~CCableChoice()
{
    Close();
}

bool CCableChoice::Start(const CommandLine& options, std::string& strError)
{
    CableName cable;
    FtdiPinMap map;
    if (ONLY_THE_SIMULATED_BOARD)
        cable.kind = CableKind::Sim;
    else if (!ResolveCable(options, m_strSettingsPath, cable, map, strError))
        return false;
    std::string strWhy;
    if (!cable.bChosen && !IsCableReachable(cable, strWhy))
        cable = CableName();
    m_strAsked = DescribeCable(cable);
    if (!ONLY_THE_SIMULATED_BOARD && !cable.bChosen && !CheckDefaultCable(strError))
        return false;
    m_strCableName = ONLY_THE_SIMULATED_BOARD ? "sim" : options.bCable ? options.strCable : SettingsCable(m_strSettingsPath);
    if (m_strCableName.empty())
        m_strCableName = "lpt";
    Make(cable, map);
    return true;
}

void CCableChoice::HandTo(CTapEngine* pTap)
{
    if (m_pTap != nullptr)
        m_pTap->SetCable(nullptr);
    m_pTap = pTap;
    if (m_pTap != nullptr)
        m_pTap->SetCable(m_pCable.get());
}

void CCableChoice::Make(const CableName& cable, const FtdiPinMap& map)
{
    m_pCable = m_pfnMakeCable(cable, map);
    m_cable = cable;
    m_map = map;
    if (m_pTap != nullptr)
        m_pTap->SetCable(m_pCable.get());
}

bool CCableChoice::CheckAccess(std::string& strProblem)
{
    // A port on the processor's own instructions needs asking only on the NT family.
    if ((!IsNtFamily() && !Cable().Traits().bCheckedEverywhere) || Cable().Open())
        return true;
    // The parallel port's own message stays as it always was; other cables say what they lack.
    strProblem = Cable().OpenProblem();
    if (strProblem.empty())
    {
        strProblem = LoadText(IDS_NEED_GIVEIO);
        // Nobody chose this port: say how to choose another, or none at all.
        if (!m_cable.bChosen && !ONLY_THE_SIMULATED_BOARD)
            strProblem += LoadText(IDS_CHOOSE_CABLE);
    }
    return false;
}

void CCableChoice::UseSimulatedBoard()
{
    Close();
    CableName sim;
    sim.kind = CableKind::Sim;
    Make(sim, FtdiPinMap());
    m_strCableName = "sim";
    m_strNote = m_strAsked.empty() ? "the cable named could not be used" : m_strAsked + " could not be opened";
}

void CCableChoice::Close()
{
    if (m_pTap != nullptr)
        m_pTap->SetCable(nullptr);
    // The last owner's going releases the cable: pins made inputs, claims released.
    m_pCable.reset();
}

std::vector<CCableList::Entry> CCableChoice::Cables()
{
    std::vector<Entry> entries;
    if (!ONLY_THE_SIMULATED_BOARD)
    {
        // How each FTDI cable would be driven, as the settings file has it now.
        FtdiPinMap map;
        std::string strIgnored;
        ReadFtdiSettings(m_strSettingsPath, map, strIgnored);
        ReadClockSetting(m_strSettingsPath, map.nKhz, strIgnored);
        for (const FoundCable& found : FindCables(map))
            entries.push_back({found.strName, found.strWhat});
    }
    CableName sim;
    sim.kind = CableKind::Sim;
    entries.push_back(EntryOf("sim", sim));
    if (!ONLY_THE_SIMULATED_BOARD)
    {
        sim.bChain = true;
        entries.push_back(EntryOf("sim:chain", sim));
    }
    // The cable the settings file names, where the system did not list it.
    const std::string strKept = ONLY_THE_SIMULATED_BOARD ? std::string() : SettingsCable(m_strSettingsPath);
    CableName kept;
    std::string strWhy;
    if (!strKept.empty() && ParseCableName(strKept, kept, strWhy) && IsCableReachable(kept, strWhy))
    {
        bool bListed = false;
        for (const Entry& entry : entries)
            bListed = bListed || entry.strName == strKept;
        if (!bListed)
            entries.push_back(EntryOf(strKept, kept));
    }
    return entries;
}

CCableList::Entry CCableChoice::InUse() const
{
    return EntryOf(m_strCableName, m_cable);
}

bool CCableChoice::Use(const std::string& strName, std::string& strError)
{
    CableName cable;
    FtdiPinMap map;
    std::string strWhy;
    if (ONLY_THE_SIMULATED_BOARD && strName != "sim")
    {
        strError = "MORVASIM drives its simulated board only.";
        return false;
    }
    if (!ParseCableName(strName, cable, strWhy) || !IsCableReachable(cable, strWhy))
    {
        strError = "MORVA cannot use the cable \"" + strName + "\".\n" + strWhy;
        return false;
    }
    if (cable.kind == CableKind::Ftdi && !ReadFtdiSettings(m_strSettingsPath, map, strError))
    {
        strError = ShownPath(m_strSettingsPath) + ": " + strError;
        return false;
    }
    cable.bChosen = true;
    // The cable in use lets go of its device before the new one is touched, and is kept: where
    // the new one cannot be opened, the very device that was in use is taken again, never
    // another that its name would find now (another FTDI chip listed first, say).
    const std::shared_ptr<ICable> pOld = m_pCable;
    const CableName oldCable = m_cable;
    const FtdiPinMap oldMap = m_map;
    pOld->Close();
    std::string strProblem;
    Make(cable, map);
    if (!CheckAccess(strProblem))
    {
        Close();
        strError = "MORVA could not open " + DescribeCable(cable) + ", so " + DescribeCable(oldCable) +
                   " stays in use.\n\n" + strProblem;
        m_pCable = pOld;
        m_cable = oldCable;
        m_map = oldMap;
        if (m_pTap != nullptr)
            m_pTap->SetCable(m_pCable.get());
        std::string strAgain;
        if (!CheckAccess(strAgain))
            strError += "\n\n" + DescribeCable(oldCable) + " could not be opened again either: " + strAgain;
        return false;
    }
    m_strCableName = strName;
    m_strNote.clear();
    if (!m_strSettingsPath.empty() && !ONLY_THE_SIMULATED_BOARD &&
        !WriteProfileValue(m_strSettingsPath, "cable", "cable", strName, strError))
        strError += "\n\n" + DescribeCable(cable) + " is in use now, but MORVA will not start with it next time.";
    return true;
}
