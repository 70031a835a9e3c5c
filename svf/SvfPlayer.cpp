#include "SvfPlayer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "../engine/TapEngine.h"
#include "../platform/system.h"
#include "../tap/TapStates.h"

namespace {

// RUNTEST's clocks and a scan's go to the cable in runs of this many, or of as many as the cable
// takes at once where that is more: a count of millions holds no more.
const unsigned long long RUN_CHUNK = 4096;

unsigned long long RunChunk(const CTapEngine& tap)
{
    const size_t nLongest = tap.Cable().Traits().nLongestRun;
    return nLongest > RUN_CHUNK ? nLongest : RUN_CHUNK;
}

// What a file is checked for before any clock: that a value changing its length gives TDI, and
// that every STATE path goes where one clock at a time can, followed through the file from the
// state it is played from (not known: its first move is checked as it is played).
struct CarryCheck
{
    size_t lengths[6] = {0, 0, 0, 0, 0, 0};
    bool bGiven[6] = {false, false, false, false, false, false};
    int nState = STATE_UNKNOWN;
    SvfEndStates ends;

    bool Follow(const SvfCommand& command, std::string& strError)
    {
        switch (command.kind)
        {
        case SvfCommandKind::Sir:
        case SvfCommandKind::Sdr:
        {
            const bool bIr = command.kind == SvfCommandKind::Sir;
            const size_t nPadding = lengths[static_cast<int>(bIr ? SvfCommandKind::Hir : SvfCommandKind::Hdr)] +
                                    lengths[static_cast<int>(bIr ? SvfCommandKind::Tir : SvfCommandKind::Tdr)];
            if (command.scan.nLength + nPadding > 0)
                nState = bIr ? ends.nEndIr : ends.nEndDr;
            break;
        }
        case SvfCommandKind::State:
        {
            // A lone state is reached by the shortest way; a path is checked from a known state.
            std::vector<TapStep> steps;
            for (size_t i = 0; i < command.states.size(); ++i)
            {
                const int nTo = command.states[i];
                if (command.states.size() > 1 && nState != STATE_UNKNOWN && !SvfPathStep(nState, nTo, steps, strError))
                {
                    strError = std::to_string(command.nLine) + ": " + strError;
                    return false;
                }
                nState = nTo;
            }
            break;
        }
        case SvfCommandKind::RunTest:
            nState = ends.RunTest(command);
            break;
        case SvfCommandKind::Trst:
            if (command.strWord == "ON")
                nState = STATE_TEST_LOGIC_RESET;
            break;
        default:
            ends.Follow(command);
            break;
        }
        return true;
    }

    bool Check(const SvfCommand& command, std::string& strError)
    {
        const int nKind = static_cast<int>(command.kind);
        if (nKind > static_cast<int>(SvfCommandKind::Tdr))
            return Follow(command, strError);
        const bool bChanged = !bGiven[nKind] || lengths[nKind] != command.scan.nLength;
        if (bChanged && command.scan.tdi.empty() && command.scan.nLength > 0)
        {
            strError = std::to_string(command.nLine) + ": " + SvfScanName(command.kind) + " " +
                       std::to_string(command.scan.nLength) + " gives no TDI, and there is none of that length to "
                       "carry over: TDI (...) was expected.";
            return false;
        }
        lengths[nKind] = command.scan.nLength;
        bGiven[nKind] = true;
        return Follow(command, strError);
    }
};

} // namespace

void SvfEndStates::Follow(const SvfCommand& command)
{
    if (command.kind == SvfCommandKind::EndIr)
        nEndIr = command.states[0];
    else if (command.kind == SvfCommandKind::EndDr)
        nEndDr = command.states[0];
}

int SvfEndStates::RunTest(const SvfCommand& command)
{
    if (command.states[0] >= 0)
        nRunState = command.states[0];
    if (command.states[1] >= 0)
        nRunEnd = command.states[1];
    return nRunEnd >= 0 ? nRunEnd : nRunState;
}

bool SvfPathStep(int nFrom, int nTo, std::vector<TapStep>& steps, std::string& strError)
{
    if (nTo == STATE_TEST_LOGIC_RESET && nFrom != STATE_UNKNOWN && nFrom != nTo)
    {
        for (const TapStep& step : ShortestPath(nFrom, nTo))
            steps.push_back(step);
        return true;
    }
    if (nFrom == STATE_UNKNOWN || (NextTapState(nFrom, 0) != nTo && NextTapState(nFrom, 1) != nTo))
    {
        strError = std::string("STATE's path goes from ") + SvfStateName(nFrom) + " to " + SvfStateName(nTo) +
                   ", which one clock does not.";
        return false;
    }
    steps.push_back(StepInto(nFrom, nTo));
    return true;
}

void CSvfPlayer::Carry(SvfScan& kept, const SvfScan& given)
{
    const bool bSameLength = kept.nLength == given.nLength;
    kept.tdi = !given.tdi.empty() ? given.tdi : bSameLength ? kept.tdi : CBits(given.nLength, false);
    kept.mask = !given.mask.empty() ? given.mask : bSameLength && !kept.mask.empty() ? kept.mask : CBits(given.nLength, true);
    // SMASK marks TDI bits that matter; every bit is driven anyway, so none given is kept as none.
    kept.smask = !given.smask.empty() ? given.smask : bSameLength ? kept.smask : CBits();
    // What TDO should be holds for its own command only.
    kept.tdo = given.tdo;
    kept.nLength = given.nLength;
}

std::string SvfHexShown(const CBits& bits)
{
    return bits.size() > SVF_SHOWN_BITS ? "..." + SvfHex(bits.Slice(0, SVF_SHOWN_BITS)) : SvfHex(bits);
}

std::vector<std::string> SvfTdoLines(const CBits& expected, const CBits& read, const CBits& mask, size_t nReadFrom)
{
    if (expected.size() > SVF_SHOWN_BITS || nReadFrom > 0)
    {
        // The bits from the first that differs, on a digit's edge, as many as a person can read;
        // where none differs, the first read.
        const size_t nDiffer = FirstDifference(read, expected.Slice(nReadFrom, read.size()), mask.Slice(nReadFrom, read.size()));
        const size_t nFirst = nReadFrom + (nDiffer == SIZE_MAX ? 0 : nDiffer / 4 * 4);
        const size_t nCount = std::min(SVF_SHOWN_BITS, expected.size() - nFirst);
        std::vector<std::string> lines = SvfTdoLines(expected.Slice(nFirst, nCount), read.Slice(nFirst - nReadFrom, nCount),
                                                     mask.Slice(nFirst, nCount));
        lines.insert(lines.begin(), "bits " + std::to_string(nFirst) + " to " + std::to_string(nFirst + nCount - 1) +
                                        " of " + std::to_string(expected.size()) + ", the first out on the right:");
        return lines;
    }
    CBits differ(expected.size(), false);
    for (size_t i = 0; i < differ.size(); ++i)
        differ.Set(i, mask[i] && i < read.size() && read[i] != expected[i]);
    std::vector<std::string> lines = {"  expected " + SvfHex(expected), "  read     " + SvfHex(read),
                                      "  mask     " + SvfHex(mask), "  differ   " + SvfHex(differ)};
    if (expected.size() > 64)
        return lines;
    std::string strExpected = "  expected ", strRead = "  read     ", strMarks = "           ";
    for (size_t i = expected.size(); i-- > 0;)
    {
        strExpected += mask[i] ? (expected[i] ? '1' : '0') : 'x';
        strRead += i < read.size() ? (read[i] ? '1' : '0') : '?';
        strMarks += differ[i] ? '^' : ' ';
    }
    while (!strMarks.empty() && strMarks.back() == ' ')
        strMarks.pop_back();
    lines.push_back("bits, the first out on the right:");
    lines.push_back(strExpected);
    lines.push_back(strRead);
    if (!strMarks.empty())
        lines.push_back(strMarks);
    return lines;
}

TapStep SvfPlan::Step(unsigned long long nClock) const
{
    if (nClock < before.size())
        return before[static_cast<size_t>(nClock)];
    nClock -= before.size();
    if (nClock < bits.size())
    {
        const bool bLast = nClock + 1 == bits.size();
        // Exit1 follows Shift in either column.
        return {static_cast<unsigned char>(bLast ? 1 : 0), bits[static_cast<size_t>(nClock)] ? 1 : 0,
                bLast ? nShift + 1 : nShift};
    }
    nClock -= bits.size();
    if (nClock < nHold)
        return {static_cast<unsigned char>(nHoldState == STATE_TEST_LOGIC_RESET ? 1 : 0), KEEP_TDI, nHoldState};
    return after[static_cast<size_t>(nClock - nHold)];
}

void SvfPlan::TakeTdo(bool bTdo)
{
    const size_t nBit = nRead++;
    if (bCheck && nDiffer == SIZE_MAX && mask[nBit] && expected[nBit] != bTdo)
        nDiffer = nBit;
    if (bits.size() <= SVF_KEPT_READ_BITS)
    {
        read.push_back(bTdo);
        return;
    }
    // A long scan keeps a window: the last bits read until one differs, then up to
    // SVF_SHOWN_BITS from it.
    if (nDiffer == SIZE_MAX && read.size() >= 2 * SVF_SHOWN_BITS)
    {
        read = read.Slice(SVF_SHOWN_BITS, read.size() - SVF_SHOWN_BITS);
        nReadFrom += SVF_SHOWN_BITS;
    }
    if (nDiffer == SIZE_MAX || nBit < nDiffer / 4 * 4 + SVF_SHOWN_BITS)
        read.push_back(bTdo);
}

std::string CSvfPlayer::Progress() const
{
    std::string text = "line " + std::to_string(m_nPlayingLine);
    if (m_nRunCount > 0)
        text += ": RUNTEST, " + std::to_string(m_nRunDone) + " of " + std::to_string(m_nRunCount) + " clocks";
    return text + "; the TAP is in " + TapStateName(m_tap.State()) + ".";
}

Outcome CSvfPlayer::Play(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError)
{
    return Told(PlayCommand(command, mismatch, strError), command.nLine, mismatch, strError);
}

std::string CSvfPlayer::Place(int nLine, bool bFirst) const
{
    if (!m_strSource.empty())
        return m_strSource + ":" + std::to_string(nLine);
    return (bFirst ? "Line " : "line ") + std::to_string(nLine);
}

Outcome CSvfPlayer::Told(const Outcome& end, int nLine, const SvfMismatch& mismatch, std::string& strError) const
{
    switch (end.End())
    {
    case Ended::Lost:
        return m_tap.CableLost().At("at " + Place(nLine, false));
    case Ended::Stopped:
    {
        std::string strProgress = Progress();
        strProgress.pop_back();
        return Outcome(Ended::Stopped).At((m_strSource.empty() ? std::string() : "in " + m_strSource + " ") + "at " + strProgress);
    }
    case Ended::Refused:
        strError = Place(nLine, true) + ": " + strError;
        return Outcome(Ended::Refused, strError);
    case Ended::Differs:
        return Outcome(Ended::Differs, Place(nLine, true) + ": " + mismatch.strCommand + ": TDO differs from what the file expects");
    default:
        return end;
    }
}

Outcome CSvfPlayer::PlayCommand(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError)
{
    ++m_nCommands;
    m_nPlayingLine = command.nLine;
    m_nRunDone = m_nRunCount = 0;
    switch (command.kind)
    {
    case SvfCommandKind::Sir:
    case SvfCommandKind::Sdr:
        return PlayPlanned(command, mismatch, strError);
    case SvfCommandKind::State:
        if (command.states.size() == 1)
            return MoveTo(command.states[0]);
        return Walk(command.states, strError);
    case SvfCommandKind::RunTest:
        return RunTest(command);
    default:
        return Note(command);
    }
}

Outcome CSvfPlayer::Note(const SvfCommand& command)
{
    switch (command.kind)
    {
    case SvfCommandKind::Hir:
        Carry(m_hir, command.scan);
        break;
    case SvfCommandKind::Hdr:
        Carry(m_hdr, command.scan);
        break;
    case SvfCommandKind::Tir:
        Carry(m_tir, command.scan);
        break;
    case SvfCommandKind::Tdr:
        Carry(m_tdr, command.scan);
        break;
    case SvfCommandKind::EndIr:
    case SvfCommandKind::EndDr:
        m_ends.Follow(command);
        break;
    case SvfCommandKind::Frequency:
        if (!m_bFrequencyNoted)
            m_note("line " + std::to_string(command.nLine) + ": FREQUENCY is noted; MORVA clocks at the cable's speed, "
                   "and a RUNTEST waits at least the time its clocks take at that frequency.");
        m_bFrequencyNoted = true;
        m_dFrequency = command.dMinTime;
        break;
    case SvfCommandKind::Trst:
        // A cable with a TRST line drives it: ON low, anything else released.
        if (m_tap.Cable().Traits().bTrst)
        {
            if (!m_tap.Cable().SetResetLine(ResetLine::Trst, command.strWord == "ON"))
                return Ended::Lost;
        }
        else if (command.strWord != "ABSENT" && !m_bTrstNoted)
            m_note("line " + std::to_string(command.nLine) + ": TRST " + command.strWord + " is left out: the cable has "
                   "no TRST line." + (command.strWord == "ON" ? " The TAP is reset by TMS instead." : ""));
        m_bTrstNoted = m_bTrstNoted || command.strWord != "ABSENT";
        // What follows TRST ON expects the TAP in Test-Logic-Reset: it is brought there by TMS.
        if (command.strWord == "ON" && !m_tap.Reset())
            return Ended::Lost;
        break;
    default:
        break;
    }
    return Ended::Done;
}

void CSvfPlayer::PlanScan(const SvfCommand& command, SvfPlan& plan)
{
    const bool bIr = command.kind == SvfCommandKind::Sir;
    SvfScan& data = bIr ? m_sir : m_sdr;
    Carry(data, command.scan);
    const SvfScan& header = bIr ? m_hir : m_hdr;
    const SvfScan& trailer = bIr ? m_tir : m_tdr;
    plan = SvfPlan();
    plan.nShift = bIr ? STATE_SHIFT_IR : STATE_SHIFT_DR;
    // The header goes in first: it ends in the devices nearest TDO. A part alone is shared, not
    // copied: a scan of millions of bits is held once.
    const SvfScan* parts[] = {&header, &data, &trailer};
    for (const SvfScan* pPart : parts)
    {
        plan.bits.Append(pPart->tdi);
        plan.bCheck = plan.bCheck || !pPart->tdo.empty();
    }
    if (!plan.bCheck)
        return;
    for (const SvfScan* pPart : parts)
    {
        const bool bExpects = !pPart->tdo.empty();
        plan.expected.Append(bExpects ? pPart->tdo : CBits(pPart->nLength, false));
        plan.mask.Append(bExpects ? pPart->mask : CBits(pPart->nLength, false));
    }
}

Outcome CSvfPlayer::ScanStart(std::vector<TapStep>& steps)
{
    if (m_tap.State() == STATE_UNKNOWN && !m_tap.Reset())
        return Ended::Lost;
    const int nState = m_tap.State();
    // From a Pause the scan is a new one: through Update and Capture again, not on through Exit2.
    if (nState == STATE_PAUSE_DR || nState == STATE_PAUSE_IR)
        steps = ShortestPath(nState, nState == STATE_PAUSE_DR ? STATE_UPDATE_DR : STATE_UPDATE_IR);
    else if (!IsShiftStart(nState))
        steps = ShortestPath(nState, STATE_RUN_TEST_IDLE);
    return Ended::Done;
}

Outcome CSvfPlayer::PlayPlanned(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError)
{
    const Outcome planned = BeginPlanned(command, strError);
    return planned == Ended::Done && m_bInPlan ? FinishPlanned(mismatch) : planned;
}

Outcome CSvfPlayer::BeginPlanned(const SvfCommand& command, std::string& strError)
{
    m_bInPlan = false;
    SvfPlan plan;
    const Outcome planned = PlanClocks(command, plan, strError);
    // RUNTEST's time alone, in the state it runs in, is a command begun too: it is waited for by
    // NextClock or FinishCommand, which a stop or a budget can end.
    if (planned != Ended::Done || (plan.Clocks() == 0 && plan.dMinTime <= 0))
        return planned;
    m_plan = std::move(plan);
    m_command = command;
    m_bInPlan = true;
    return Ended::Done;
}

Outcome CSvfPlayer::Compare(const SvfCommand& command, const SvfPlan& plan, SvfMismatch& mismatch) const
{
    // Every bit is read by now: one not read (a shift cut short) would differ too.
    if (!plan.bCheck || (plan.nDiffer == SIZE_MAX && plan.nRead >= plan.bits.size()))
        return Ended::Done;
    mismatch.nLine = command.nLine;
    mismatch.strCommand = std::string(SvfScanName(command.kind)) + " " + std::to_string(command.scan.nLength);
    mismatch.expected = plan.expected;
    mismatch.read = plan.read;
    mismatch.nReadFrom = plan.nReadFrom;
    mismatch.mask = plan.mask;
    return Ended::Differs;
}

Outcome CSvfPlayer::MoveTo(int nState)
{
    // From a state not known, SVF's way to Test-Logic-Reset: TMS high; from a known one, the fewest
    // clocks, each with TMS high too.
    if (m_tap.State() == STATE_UNKNOWN && !m_tap.Reset())
        return Ended::Lost;
    return m_tap.Run(ShortestPath(m_tap.State(), nState)) ? Ended::Done : Ended::Lost;
}

bool CSvfPlayer::PathOf(const std::vector<int>& path, std::vector<TapStep>& steps, std::string& strError) const
{
    int nFrom = m_tap.State();
    for (int nTo : path)
    {
        if (!SvfPathStep(nFrom, nTo, steps, strError))
            return false;
        nFrom = nTo;
    }
    return true;
}

Outcome CSvfPlayer::Walk(const std::vector<int>& path, std::string& strError)
{
    if (m_tap.State() == STATE_UNKNOWN && path[0] == STATE_TEST_LOGIC_RESET && !m_tap.Reset())
        return Ended::Lost;
    std::vector<TapStep> steps;
    if (!PathOf(path, steps, strError))
        return Ended::Refused;
    return m_tap.Run(steps) ? Ended::Done : Ended::Lost;
}

bool CSvfPlayer::Wait(const SvfPlan& plan, DWORD dwDeadline, bool& bLeft) const
{
    // At most SVF_MAX_SECONDS: whole milliseconds fit a DWORD.
    const DWORD dwWanted = static_cast<DWORD>(std::ceil(plan.dMinTime * 1000.0));
    bLeft = false;
    for (;;)
    {
        const DWORD dwTaken = ::GetTickCount() - plan.dwStart;
        if (dwWanted <= dwTaken)
            return true;
        if (Stop())
            return false;
        DWORD dwSlice = dwWanted - dwTaken < 100 ? dwWanted - dwTaken : 100;
        if (dwDeadline != INFINITE)
        {
            const DWORD dwNow = ::GetTickCount();
            if (static_cast<LONG>(dwDeadline - dwNow) <= 0)
            {
                bLeft = true;
                return true;
            }
            dwSlice = dwDeadline - dwNow < dwSlice ? dwDeadline - dwNow : dwSlice;
        }
        AfxSleep(dwSlice);
    }
}

bool CSvfPlayer::Wait(const SvfPlan& plan) const
{
    bool bLeft = false;
    return Wait(plan, INFINITE, bLeft);
}

double CSvfPlayer::RunTestTime(const SvfCommand& command) const
{
    const double dClocks = m_dFrequency > 0 ? static_cast<double>(command.nCount) / m_dFrequency : 0.0;
    return dClocks > command.dMinTime ? dClocks : command.dMinTime;
}

Outcome CSvfPlayer::RunTest(const SvfCommand& command)
{
    const int nEnd = m_ends.RunTest(command);
    Outcome end = MoveTo(m_ends.nRunState);
    if (end != Ended::Done)
        return end;
    SvfPlan plan;
    plan.dwStart = ::GetTickCount();
    plan.dMinTime = RunTestTime(command);
    NoteSystemClock(command);
    const unsigned char nTms = m_ends.nRunState == STATE_TEST_LOGIC_RESET ? 1 : 0;
    m_nRunCount = command.bSystemClock ? 0 : command.nCount;
    const unsigned long long nChunk = RunChunk(m_tap);
    const std::vector<TapStep> run(static_cast<size_t>(m_nRunCount < nChunk ? m_nRunCount : nChunk),
                                   {nTms, KEEP_TDI, m_ends.nRunState});
    for (unsigned long long nLeft = m_nRunCount; nLeft > 0;)
    {
        if (Stop())
            return Ended::Stopped;
        const unsigned long long nRun = nLeft < nChunk ? nLeft : nChunk;
        if (!m_tap.Run(nRun == run.size() ? run : std::vector<TapStep>(static_cast<size_t>(nRun), run[0])))
            return Ended::Lost;
        nLeft -= nRun;
        m_nRunDone += nRun;
    }
    if (!Wait(plan))
        return Ended::Stopped;
    return MoveTo(nEnd);
}

void CSvfPlayer::NoteSystemClock(const SvfCommand& command)
{
    if (command.bSystemClock && command.nCount > 0 && !m_bFrequencyNoted)
        m_note("line " + std::to_string(command.nLine) + ": RUNTEST's SCK clocks are the board's own; MORVA waits its "
               "time.");
}

Outcome CSvfPlayer::PlanClocks(const SvfCommand& command, SvfPlan& plan, std::string& strError)
{
    const bool bScan = command.kind == SvfCommandKind::Sir || command.kind == SvfCommandKind::Sdr;
    if (m_tap.State() == STATE_UNKNOWN && !m_tap.Reset())
        return Ended::Lost;
    if (bScan)
    {
        PlanScan(command, plan);
        if (plan.bits.empty())
            return Ended::Done;
        const Outcome start = ScanStart(plan.before);
        if (start != Ended::Done)
            return start;
        const int nFrom = plan.before.empty() ? m_tap.State() : plan.before.back().nNewState;
        for (const TapStep& step : ShortestPath(nFrom, plan.nShift))
            plan.before.push_back(step);
        const int nEnd = command.kind == SvfCommandKind::Sir ? m_ends.nEndIr : m_ends.nEndDr;
        const int nExit1 = plan.nShift + 1;
        if (nEnd == nExit1 + 1)  // the register's own Pause
        {
            plan.after.push_back(StepInto(nExit1, nEnd));
        }
        else
        {
            const int nUpdate = nExit1 + 3;
            plan.after.push_back(StepInto(nExit1, nUpdate));
            for (const TapStep& step : ShortestPath(nUpdate, nEnd))
                plan.after.push_back(step);
        }
    }
    else if (command.kind == SvfCommandKind::State)
    {
        if (command.states.size() == 1)
            plan.before = ShortestPath(m_tap.State(), command.states[0]);
        else if (!PathOf(command.states, plan.before, strError))
            return Ended::Refused;
    }
    else
    {
        const int nEnd = m_ends.RunTest(command);
        plan.before = ShortestPath(m_tap.State(), m_ends.nRunState);
        plan.nHold = command.bSystemClock ? 0 : command.nCount;
        plan.nHoldState = m_ends.nRunState;
        plan.dMinTime = RunTestTime(command);
        plan.after = ShortestPath(m_ends.nRunState, nEnd);
        NoteSystemClock(command);
    }
    plan.dwStart = ::GetTickCount();
    return Ended::Done;
}

Outcome CSvfPlayer::Begin(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError)
{
    m_bInPlan = false;
    const bool bScan = command.kind == SvfCommandKind::Sir || command.kind == SvfCommandKind::Sdr;
    if (!bScan && command.kind != SvfCommandKind::State && command.kind != SvfCommandKind::RunTest)
        return Play(command, mismatch, strError);
    ++m_nCommands;
    m_nPlayingLine = command.nLine;
    m_nRunDone = m_nRunCount = 0;
    return Told(BeginPlanned(command, strError), command.nLine, mismatch, strError);
}

Outcome CSvfPlayer::NextClock(SvfMismatch& mismatch)
{
    std::string strError;
    return Told(NextPlannedClock(mismatch), m_command.nLine, mismatch, strError);
}

Outcome CSvfPlayer::FinishCommand(SvfMismatch& mismatch, DWORD dwBudgetMs)
{
    std::string strError;
    return Told(FinishPlanned(mismatch, dwBudgetMs), m_command.nLine, mismatch, strError);
}

Outcome CSvfPlayer::NextPlannedClock(SvfMismatch& mismatch)
{
    if (!m_bInPlan)
        return Ended::Done;
    const unsigned long long nAfter = m_plan.Clocks() - m_plan.after.size();
    if (m_plan.nDone == nAfter && !m_plan.bWaited)
    {
        if (!Wait(m_plan))
            return Ended::Stopped;
        m_plan.bWaited = true;
    }
    if (m_plan.nDone >= m_plan.Clocks())
    {
        m_bInPlan = false;
        return Ended::Done;
    }
    if (!m_tap.Step(m_plan.Step(m_plan.nDone)))
    {
        m_bInPlan = false;
        return Ended::Lost;
    }
    if (m_plan.IsShiftClock(m_plan.nDone))
        m_plan.TakeTdo(m_tap.Session().At(m_tap.Session().Count() - 1).Tdo() != 0);
    if (++m_plan.nDone < m_plan.Clocks())
        return Ended::Done;
    m_bInPlan = false;
    return Compare(m_command, m_plan, mismatch);
}

Outcome CSvfPlayer::FinishPlanned(SvfMismatch& mismatch, DWORD dwBudgetMs)
{
    const DWORD dwStarted = ::GetTickCount();
    const DWORD dwDeadline = dwBudgetMs == INFINITE ? INFINITE : dwStarted + dwBudgetMs;
    const unsigned long long nAfter = m_plan.Clocks() - m_plan.after.size();
    bool bRan = false;
    while (m_bInPlan && (m_plan.nDone < m_plan.Clocks() || !m_plan.bWaited))
    {
        if (m_plan.nDone == nAfter && !m_plan.bWaited)
        {
            bool bLeft = false;
            if (!Wait(m_plan, dwDeadline, bLeft))
                return Ended::Stopped;
            if (bLeft)
                return Ended::Done;
            m_plan.bWaited = true;
            continue;
        }
        if (Stop())
            return Ended::Stopped;
        // Within a budget, at least one run of clocks, then as many as its time takes.
        if (bRan && dwBudgetMs != INFINITE && ::GetTickCount() - dwStarted >= dwBudgetMs)
            return Ended::Done;
        bRan = true;
        // A run stops where the walk after starts, so that RUNTEST's time is waited before it.
        const unsigned long long nStop = m_plan.nDone < nAfter ? nAfter : m_plan.Clocks();
        const unsigned long long nChunk = RunChunk(m_tap);
        const unsigned long long nRun = nStop - m_plan.nDone < nChunk ? nStop - m_plan.nDone : nChunk;
        std::vector<TapStep> steps;
        for (unsigned long long i = 0; i < nRun; ++i)
            steps.push_back(m_plan.Step(m_plan.nDone + i));
        if (!m_tap.Run(steps))
        {
            m_bInPlan = false;
            return Ended::Lost;
        }
        const CSessionRecord& session = m_tap.Session();
        for (unsigned long long i = 0; i < nRun; ++i)
        {
            if (m_plan.IsShiftClock(m_plan.nDone + i))
                m_plan.TakeTdo(session.At(session.Count() - static_cast<size_t>(nRun - i)).Tdo() != 0);
        }
        m_plan.nDone += nRun;
    }
    if (!m_bInPlan)
        return Ended::Done;
    m_bInPlan = false;
    return Compare(m_command, m_plan, mismatch);
}

bool CSvfPlayer::CheckFile(const std::string& strPath, std::string& strError, int nFrom)
{
    CSvfReader reader;
    if (!reader.Open(strPath, strError))
        return false;
    SvfCommand command;
    CarryCheck carry;
    carry.nState = nFrom;
    while (reader.Next(command, strError))
    {
        if (!carry.Check(command, strError))
            break;
    }
    if (strError.empty())
        return true;
    strError = strPath + ":" + strError;
    return false;
}

Outcome CSvfPlayer::PlayFile(const std::string& strPath, SvfMismatch& mismatch, std::string& strError)
{
    // Read through once: a file that cannot be played is refused before its first clock.
    if (!CheckFile(strPath, strError, STATE_TEST_LOGIC_RESET))
        return Outcome(Ended::Refused, strError);
    CSvfReader reader;
    if (!reader.Open(strPath, strError))
        return Outcome(Ended::Refused, strError);
    m_strSource = strPath;
    if (!m_tap.Reset())
        return m_tap.CableLost().At("as " + strPath + " began");
    SvfCommand command;
    while (reader.Next(command, strError))
    {
        Outcome end = Ended::Refused;
        try
        {
            end = PlayCommand(command, mismatch, strError);
        }
        catch (const std::bad_alloc&)
        {
            strError = "this command needs more memory than MORVA can have";
        }
        if (end != Ended::Done)
            return Told(end, command.nLine, mismatch, strError);
    }
    if (!strError.empty())
    {
        strError = strPath + ":" + strError;
        return Outcome(Ended::Refused, strError);
    }
    return Ended::Done;
}
