#include "BoardTestRun.h"

#include "../board/BoardRun.h"
#include "../bsdl/BsdlLibrary.h"
#include "../engine/TapEngine.h"

namespace {

// The board as the file and the command line describe it, with its netlist. False, with why.
bool ReadBoard(const BoardTestWork& work, BoardFile& board, Netlist& netlist, std::string& strError)
{
    std::string text;
    if (!ReadTextFile(work.strPath, text, strError))
        return false;
    std::string strNetlistPath = work.strPath;
    if (LooksLikeBoardFile(text))
    {
        if (!ParseBoardFile(text, work.strPath, FolderOf(work.strPath), false, board, strError))
            return false;
        if (board.netlist.empty())
        {
            strError = work.strPath + " names no netlist: give it under [board] as netlist=board.net.";
            return false;
        }
        strNetlistPath = board.netlist;
        if (!ReadTextFile(strNetlistPath, text, strError))
            return false;
    }
    if (!ParseNetlist(text, netlist, strError))
    {
        strError = strNetlistPath + ":" + strError.substr(5);
        return false;
    }
    for (const std::string& given : work.refs)
    {
        std::pair<std::string, size_t> ref;
        if (!ParseRef(given, ref, strError) || !AddRef(board, ref, strError))
        {
            strError = "MORVA cannot take --ref " + given + ": " + strError;
            return false;
        }
    }
    if (board.refs.empty() && !work.strSettingsPath.empty() && ReadTextFile(work.strSettingsPath, text, strError))
    {
        BoardFile settings;
        if (!ParseBoardFile(text, work.strSettingsPath, std::string(), true, settings, strError))
            return false;
        board.refs = settings.refs;
    }
    strError.clear();
    return true;
}

} // namespace

int BoardTestCommand(const BoardTestWork& work, const std::string& strTracePath, const SAY_LINE& say)
{
    BoardFile board;
    Netlist netlist;
    std::string strError;
    if (!ReadBoard(work, board, netlist, strError))
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
    if (!strTracePath.empty())
    {
        if (!trace.Open(strTracePath, engine.SessionDate(), strError))
        {
            say(strError, true);
            return EXIT_NOT_DONE;
        }
        engine.SetLiveTrace(&trace);
    }
    engine.SetPaced(false);
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
