#include "BoardTestRun.h"

#include "../board/BoardRun.h"
#include "../bsdl/BsdlLibrary.h"
#include "../engine/TapEngine.h"


int BoardTestCommand(const BoardTestWork& work, const std::string& strTracePath, const SAY_LINE& say)
{
    BoardFile board;
    Netlist netlist;
    std::string strError;
    if (!ReadBoardDescription(work.strPath, work.refs, work.strSettingsPath, board, netlist, strError))
    {
        say(strError, true);
        return EXIT_NOT_DONE;
    }
    CBsdlLibrary library = work.pLibrary != nullptr ? *work.pLibrary : CBsdlLibrary();
    if (!AddBoardFiles(board, library, strError))
    {
        say(strError, true);
        return EXIT_NOT_DONE;
    }
    CTapEngine engine(work.pCable);
    CLiveVcd trace;
    if (!StartCommandLineEngine(engine, trace, strTracePath, say))
        return EXIT_NOT_DONE;
    Outcome ended = engine.Switch(true) ? Outcome() : engine.CableLost().At("as MORVA switched it on");
    ChainScan scan;
    if (ended.IsDone())
        ended = ScanChain(engine, work.irLengths, scan, &library, work.strIrLengthsFrom);
    for (const std::string& strProblem : scan.bsdlProblems)
        say(strProblem, true);
    BoardPlan plan;
    if (ended.IsDone())
        ended = PlanBoard(scan, board, netlist, library, plan);
    if (ended.IsDone() && !work.bExtest)
        ended = Outcome(Ended::Refused, "The board test drives these nets under EXTEST: " + DrivenNetsText(plan) +
                                            ". Nobody is there to be asked first: give --extest to drive them. "
                                            "Nothing was driven.");
    BoardReport report;
    if (ended.IsDone())
        ended = RunBoardTest(engine, scan, plan, report).At("while the board was tested");
    engine.Switch(false);
    if (!ended.IsDone())
    {
        say(ended.Message(), true);
        return EXIT_NOT_DONE;
    }
    for (const std::string& line : BoardReportLines(report))
        say(line, false);
    return report.faults.empty() ? EXIT_DONE : EXIT_TDO_DIFFERS;
}
