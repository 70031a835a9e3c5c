#include "ShiftRun.h"

#include "../cable/cable.h"
#include "../chain/ChainScan.h"
#include "../engine/TapEngine.h"

namespace {

// What went wrong on the way, for standard error.
class CProblems : public ITapListener
{
public:
    void OnCableLost(const std::string& strFailure) override { m_strLost = strFailure; }
    void OnTraceFileFailed(const std::string& strError) override { m_strTrace = strError; }

    std::string m_strLost;
    std::string m_strTrace;
};

} // namespace

int RunShifts(const std::vector<ShiftRequest>& shifts, const std::string& strTracePath, const SAY_LINE& say)
{
    CommandLineWork work;
    work.shifts = shifts;
    return RunCommandLineWork(work, strTracePath, say);
}

int RunCommandLineWork(const CommandLineWork& work, const std::string& strTracePath, const SAY_LINE& say)
{
    const std::vector<ShiftRequest>& shifts = work.shifts;
    CProblems problems;
    CTapEngine engine;
    engine.SetListener(&problems);
    CLiveVcd trace;
    if (!strTracePath.empty())
    {
        std::string strError;
        if (!trace.Open(strTracePath, engine.SessionDate(), strError))
        {
            say(strError, true);
            return 1;
        }
        engine.SetLiveTrace(&trace);
    }
    // Nobody watches these clocks one by one: no pause before each.
    engine.SetPaced(false);

    CableOn();
    std::string strLost = CableFailure();
    std::string strWhere = "as MORVA switched it on";
    if (strLost.empty() && !work.bScan && !engine.Reset())
    {
        strLost = problems.m_strLost;
        strWhere = "in the reset before the first value";
    }
    std::string strBroken;
    if (strLost.empty() && work.bScan)
    {
        ChainScan scan;
        const ScanEnd end = ScanChain(engine, work.irLengths, scan);
        for (size_t i = 0; i < scan.devices.size(); ++i)
            say(FormatChainDevice(i + 1, scan.devices[i]), false);
        if (end == ScanEnd::Lost)
        {
            strLost = problems.m_strLost;
            strWhere = "while scanning the chain";
        }
        else if (end == ScanEnd::Broken)
            strBroken = scan.strProblem;
        else if (!scan.strProblem.empty())
            say(scan.strProblem, true);
    }
    for (size_t i = 0; strLost.empty() && strBroken.empty() && i < shifts.size(); ++i)
    {
        const ShiftRequest& shift = shifts[i];
        if (engine.Shift(shift.bIr ? TAP_IR : TAP_DR, shift.bits, [](size_t) { return false; }) ==
            CTapEngine::ShiftEnd::Updated)
        {
            say(engine.ValueOut(), false);
            continue;
        }
        strLost = problems.m_strLost;
        strWhere = std::string("while sending ") + (shift.bIr ? "--ir " : "--dr ") + shift.strValue;
    }
    CableOff();

    if (!problems.m_strTrace.empty())
        say(problems.m_strTrace, true);
    if (!strBroken.empty())
    {
        say(strBroken + (shifts.empty() ? "" : " No value was sent."), true);
        return 1;
    }
    if (!strLost.empty())
    {
        say("The cable stopped answering " + strWhere + ", so what was left was not sent. " + strLost, true);
        return 1;
    }
    return problems.m_strTrace.empty() ? 0 : 1;
}
