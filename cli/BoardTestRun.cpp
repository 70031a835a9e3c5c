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
    // The board's own files tell the scan the chips' IR lengths, as files found by IDCODE do.
    CBsdlLibrary library = work.pLibrary != nullptr ? *work.pLibrary : CBsdlLibrary();
    for (const std::pair<std::string, std::string>& file : board.bsdl)
    {
        if (!library.AddFile(file.second, strError))
        {
            say(strError, true);
            return EXIT_NOT_DONE;
        }
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
    std::vector<BoardChip> chips;
    BoardPlan plan;
    if (ended.IsDone() && !BoardChips(scan, board, chips, strError))
        ended = Outcome(Ended::Broken, "The chain is not as the board says, so nothing was driven. " + strError);
    if (ended.IsDone() && !PlanBoardTest(netlist, chips, plan, strError))
        ended = Outcome(Ended::Refused, "MORVA cannot test this board: " + strError);
    if (ended.IsDone() && plan.Tested() == 0)
        ended = Outcome(Ended::Refused, "No net of the board can be tested: none has a boundary-scan pin that drives "
                                        "it and another that reads it.");
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
