// An SVF file played through the engine: every command's clocks recorded as a click's are, each
// TDO the file expects compared under its mask.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "../tap/Outcome.h"
#include "../tap/TapStates.h"
#include "Svf.h"

class CTapEngine;

// Where the TDO read differs from what the file expects.
struct SvfMismatch
{
    int nLine = 0;
    std::string strCommand;  // "SDR 32"
    CBits expected, mask;  // the whole scan's bits, header and trailer with it
    CBits read;            // the bits read from nReadFrom on: all of them for a scan of SVF_KEPT_READ_BITS or fewer
    size_t nReadFrom = 0;
};

// The TDO a scan was to give beside what it gave: lines of hex ("  expected 0BEEF04B", then read,
// mask and the bits that differ), and for a scan of up to 64 bits the bits themselves, the first
// out on the right, with a mark under each that differs. Bits not read yet ('?') differ in nothing.
// A scan longer than SVF_SHOWN_BITS is shown by the SVF_SHOWN_BITS from its first bit that differs,
// with where they are said.
const size_t SVF_SHOWN_BITS = 4096;
// A longer scan's TDO is compared as it comes and kept only where a person is shown it: from the
// first bit that differs, or the last bits read.
const size_t SVF_KEPT_READ_BITS = size_t(1) << 20;
std::vector<std::string> SvfTdoLines(const CBits& expected, const CBits& read, const CBits& mask,
                                     size_t nReadFrom = 0);
// A value as hex, past SVF_SHOWN_BITS its first bits shifted only, after "...".
std::string SvfHexShown(const CBits& bits);


// A command's clocks, made one at a time: the walk to the shift or run state, the shift's bits or
// the run's clocks, and the walk to the end state. Only the walks are held as steps; a shift holds
// its bits once, as a whole command does.
struct SvfPlan
{
    std::vector<TapStep> before;
    CBits bits;                       // through Shift, TMS high on the last
    int nShift = -1;                  // Shift-DR or Shift-IR
    unsigned long long nHold = 0;     // RUNTEST's clocks in nHoldState
    int nHoldState = -1;
    std::vector<TapStep> after;
    // The shift's TDO as the file expects it and its mask (both empty where nothing is compared),
    // and as read from nReadFrom on (see SVF_KEPT_READ_BITS).
    CBits expected, mask, read;
    size_t nReadFrom = 0;
    size_t nRead = 0;                  // TDO bits taken
    size_t nDiffer = SIZE_MAX;         // the first that differs under the mask
    bool bCheck = false;
    unsigned long long nDone = 0;
    DWORD dwStart = 0;     // when the first clock was made
    double dMinTime = 0;   // RUNTEST's seconds, waited for before the walk after
    bool bWaited = false;  // that time is over

    unsigned long long Clocks() const { return before.size() + bits.size() + nHold + after.size(); }
    TapStep Step(unsigned long long nClock) const;
    // Whether the clock is one of the shift's: its TDO is a bit read.
    bool IsShiftClock(unsigned long long nClock) const
    {
        return nClock >= before.size() && nClock < before.size() + bits.size();
    }
    // The next shift clock's TDO: compared, and kept as far as it is kept.
    void TakeTdo(bool bTdo);
};

// The states a file's commands leave for the next: where a scan ends (ENDIR, ENDDR) and where
// RUNTEST runs and ends, as the last command that gave each said.
struct SvfEndStates
{
    int nEndIr = STATE_RUN_TEST_IDLE;
    int nEndDr = STATE_RUN_TEST_IDLE;
    int nRunState = STATE_RUN_TEST_IDLE;
    int nRunEnd = -1;  // -1: RUNTEST ends in its run state

    // ENDIR and ENDDR kept.
    void Follow(const SvfCommand& command);
    // RUNTEST's run and end states kept; the state it ends in.
    int RunTest(const SvfCommand& command);
};

// One move of a STATE path, from nFrom to nTo, added to steps: Test-Logic-Reset is reached from
// any other state (the fewest clocks, TMS high); any other state must be one clock away. False, with
// why, where it is not.
bool SvfPathStep(int nFrom, int nTo, std::vector<TapStep>& steps, std::string& strError);

class CSvfPlayer
{
public:
    // Says what is noted and not done (FREQUENCY, TRST on a cable without the line), once each.
    typedef std::function<void(const std::string& strNote)> NOTE;

    CSvfPlayer(CTapEngine& tap, NOTE note) : m_tap(tap), m_note(std::move(note)) {}

    // Asked between runs of clocks and while a RUNTEST waits: true stops the command there
    // (Ended::Stopped), the TAP where those clocks left it.
    typedef std::function<bool()> STOP;
    void SetStop(STOP stop) { m_stop = std::move(stop); }

    // Plays one command from where the TAP is. Each outcome says where it happened (the file's
    // line, "FILE:LINE" in a file played whole): Refused, with why (also in strError), for a move
    // the diagram does not allow; Differs with the command; Lost with the cable's failure;
    // Stopped with where the play is.
    Outcome Play(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError);
    // The whole file: a reset first, then each command; the file is read once before any clock,
    // so that one that cannot be read is refused at its line without a clock. Outcomes say
    // "FILE:LINE".
    Outcome PlayFile(const std::string& strPath, SvfMismatch& mismatch, std::string& strError);
    // The file read through without a clock: false, with "FILE:LINE: why", for one that cannot be
    // played from the state nFrom (STATE_UNKNOWN: wherever the TAP is when it is played).
    static bool CheckFile(const std::string& strPath, std::string& strError, int nFrom = STATE_UNKNOWN);

    // Clock by clock: a command begun is planned (its values carried as Play carries them, a TAP
    // in an unknown state reset first), then its clocks made one at a time or the rest at once.
    // Commands without clocks are played whole by Begin.
    Outcome Begin(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError);
    bool InCommand() const { return m_bInPlan; }
    const SvfPlan& Plan() const { return m_plan; }
    // One clock; after the last the TDO is compared.
    Outcome NextClock(SvfMismatch& mismatch);
    // Every clock left, back to back; with a budget, as many as go in that many milliseconds (at
    // least one run of them): the command stays begun (InCommand) where the budget ran out.
    Outcome FinishCommand(SvfMismatch& mismatch, DWORD dwBudgetMs = INFINITE);
    // The command begun is given up (the TAP went elsewhere): Begin starts it again.
    void Abandon() { m_bInPlan = false; }

    unsigned long long Commands() const { return m_nCommands; }
    // Where a play is, for a person waiting: "line 12: RUNTEST, 40960 of 4294967295 clocks".
    std::string Progress() const;

private:
    Outcome PlayCommand(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError);
    Outcome NextPlannedClock(SvfMismatch& mismatch);
    Outcome FinishPlanned(SvfMismatch& mismatch, DWORD dwBudgetMs = INFINITE);
    // Where a command is: "FILE:12" in a file played whole, else "line 12" ("Line 12" bFirst).
    std::string Place(int nLine, bool bFirst) const;
    // An outcome of the command at nLine, with where it happened and why said the one way each
    // kind is said; a refusal's why in strError too.
    Outcome Told(const Outcome& end, int nLine, const SvfMismatch& mismatch, std::string& strError) const;
    // The scan's bits, header first, and its TDO as expected: the values carried from the last of
    // each kind.
    void PlanScan(const SvfCommand& command, SvfPlan& plan);
    // A command's clocks from where the TAP is (a TAP in an unknown state reset first): Refused,
    // with why, for a STATE path the diagram does not allow.
    Outcome PlanClocks(const SvfCommand& command, SvfPlan& plan, std::string& strError);
    // The steps from where the TAP is to where a scan may start: a Pause goes through Update.
    Outcome ScanStart(std::vector<TapStep>& steps);
    Outcome MoveTo(int nState);
    Outcome Walk(const std::vector<int>& path, std::string& strError);
    bool PathOf(const std::vector<int>& path, std::vector<TapStep>& steps, std::string& strError) const;
    Outcome RunTest(const SvfCommand& command);
    // RUNTEST's least time: its own, and at the frequency given the time its clocks take.
    double RunTestTime(const SvfCommand& command) const;
    Outcome Compare(const SvfCommand& command, const SvfPlan& plan, SvfMismatch& mismatch) const;
    // The command planned and begun (InCommand where it has clocks or a time to wait).
    Outcome BeginPlanned(const SvfCommand& command, std::string& strError);
    // The same, its clocks then made as FinishCommand makes them, for Play.
    Outcome PlayPlanned(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError);
    Outcome Note(const SvfCommand& command);
    void NoteSystemClock(const SvfCommand& command);
    // RUNTEST's time, waited for in slices the stop check and the budget's deadline can end:
    // false where it was stopped, with bLeft where time is left at the deadline.
    bool Wait(const SvfPlan& plan, DWORD dwDeadline, bool& bLeft) const;
    bool Wait(const SvfPlan& plan) const;
    bool Stop() const { return m_stop && m_stop(); }
    // The last value of a kind, kept for the next command of the same kind and length.
    static void Carry(SvfScan& kept, const SvfScan& given);

    CTapEngine& m_tap;
    NOTE m_note;
    std::string m_strSource;  // the file PlayFile plays
    STOP m_stop;
    SvfScan m_sir, m_sdr, m_hir, m_hdr, m_tir, m_tdr;
    SvfEndStates m_ends;
    double m_dFrequency = 0;  // FREQUENCY's hertz; 0: none given
    bool m_bFrequencyNoted = false;
    bool m_bTrstNoted = false;
    unsigned long long m_nCommands = 0;
    int m_nPlayingLine = 0;                 // the command Play plays
    unsigned long long m_nRunDone = 0, m_nRunCount = 0;  // its RUNTEST's clocks made and to make
    SvfCommand m_command;  // the command planned
    SvfPlan m_plan;
    bool m_bInPlan = false;
};
