#include "TapEngine.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "../platform/system.h"

const TapRegister TAP_DR = {"SEND-DR", STATE_SHIFT_DR, STATE_EXIT1_DR, STATE_PAUSE_DR, STATE_UPDATE_DR};
const TapRegister TAP_IR = {"SEND-IR", STATE_SHIFT_IR, STATE_EXIT1_IR, STATE_PAUSE_IR, STATE_UPDATE_IR};

namespace {

// Five clocks with TMS high reach Test-Logic-Reset from any state.
const int RESET_CLOCKS = 5;

// A run's clocks are recorded, and so shown, at least this often.
const size_t RUN_CLOCKS = 4096;
// A stoppable run's pieces: 2,048 clocks (a whole SEND of up to 2,040 bits in one go) while the
// cable is quick; once a run of clocks is seen to take over a tenth of a second, or sixteen
// clicked clocks in a row each over half a millisecond (one slow clock is a busy machine, not a
// slow cable), as many clocks as take some 50 ms at that speed (32 at least),
// so that a click waits no longer; doubled again, up to a whole run, while a piece takes under
// 20 ms.
const size_t FEWEST_PIECE_CLOCKS = 32;
const uint64_t PIECE_QUICK_US = 20000;
const uint64_t PIECE_AIM_US = 50000;
const uint64_t PIECE_SLOW_US = 100000;
const uint64_t CLOCK_SLOW_US = 500;
const size_t SLOW_CLICKS = 16;

size_t PieceFor(uint64_t nClocks, uint64_t nTookUs)
{
    const uint64_t nAim = nClocks * PIECE_AIM_US / (nTookUs > 0 ? nTookUs : 1);
    return nAim < FEWEST_PIECE_CLOCKS ? FEWEST_PIECE_CLOCKS : nAim > RUN_CLOCKS ? RUN_CLOCKS : static_cast<size_t>(nAim);
}

int64_t Ticks()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

CTapEngine::CTapEngine(ICable* pCable)
    : m_pCable(pCable != nullptr ? pCable : &NoCable()), m_nStartTicks(Ticks())
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char date[48];
    snprintf(date, sizeof(date), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    m_strSessionDate = date;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    m_nTicksPerSecond = frequency.QuadPart > 0 ? static_cast<uint64_t>(frequency.QuadPart) : 1;
    m_listeners.push_back(&m_liveTrace);
}

uint64_t CTapEngine::SessionMicroseconds() const
{
    const uint64_t nTicks = static_cast<uint64_t>(Ticks() - m_nStartTicks);
    const uint64_t nPerSecond = m_nTicksPerSecond;
    return nTicks / nPerSecond * 1000000 + nTicks % nPerSecond * 1000000 / nPerSecond;
}

void CTapEngine::ForgetState()
{
    m_nState = STATE_UNKNOWN;
    m_nStateBefore = STATE_UNKNOWN;
}

bool CTapEngine::Switch(bool bOn)
{
    m_nTms = 0;
    m_nTdi = 0;
    return m_pCable->Switch(bOn);
}

bool CTapEngine::Reset()
{
    m_nState = STATE_UNKNOWN;
    m_nTms = 1;
    m_nTdi = 1;
    // The state stays unknown until the sixth clock: only then is it told.
    for (int i = 0; i < RESET_CLOCKS; ++i)
    {
        if (!Clock())
            return false;
    }
    m_nState = STATE_TEST_LOGIC_RESET;
    for (ITapListener* pListener : m_listeners)
        pListener->OnStateEntered(m_nState);
    return Clock();
}

void CLiveTraceListener::OnClock(const ClockRecord& clock, bool /*bValueOut*/)
{
    std::string strError;
    if (m_pTrace == nullptr || m_pTrace->Append(clock, strError))
        return;
    m_pTrace = nullptr;
    m_tap.TellTraceFailed(strError);
}

void CTapEngine::TellTraceFailed(const std::string& strError)
{
    for (ITapListener* pListener : m_listeners)
        pListener->OnTraceFileFailed(strError);
}

void CTapEngine::BeginCommand()
{
    if (m_nCommands++ > 0)
        return;
    for (ITapListener* pListener : m_listeners)
        pListener->OnCommandBegun();
}

void CTapEngine::EndCommand()
{
    if (--m_nCommands > 0)
        return;
    for (ITapListener* pListener : m_listeners)
        pListener->OnCommandEnded();
}

void CTapEngine::RemoveListener(ITapListener* pListener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), pListener), m_listeners.end());
}

bool CTapEngine::Step(const TapStep& step)
{
    m_nTms = step.nTms;
    if (step.nTdi != KEEP_TDI)
        m_nTdi = static_cast<unsigned char>(step.nTdi);
    m_nState = step.nNewState;
    for (ITapListener* pListener : m_listeners)
        pListener->OnStateEntered(m_nState);
    return Clock();
}

bool CTapEngine::ClockHeld()
{
    m_nState = NextTapState(m_nState, m_nTms);
    for (ITapListener* pListener : m_listeners)
        pListener->OnStateEntered(m_nState);
    return Clock();
}

bool CTapEngine::Clock()
{
    if (m_bInRun)
    {
        // No wait, and TDO comes later with the run's others: the clock is recorded then.
        m_run.push_back({m_nTms, m_nTdi, m_nState});
        const CableTraits& traits = m_pCable->Traits();
        const size_t nPiece = m_bStoppable       ? (traits.bClocksAtOnce ? 1 : m_nPiece)
                              : traits.nLongestRun != 0 ? traits.nLongestRun
                                                        : RUN_CLOCKS;
        return m_run.size() < nPiece || CollectRun();
    }
    if (m_bPaced && m_nCommands == 0)
        AfxSleep(SETTLE_MS);
    // The edges are stamped around the moment the clock reaches the cable.
    m_tms.clear();
    m_tdi.clear();
    m_tms.push_back(m_nTms != 0);
    m_tdi.push_back(m_nTdi != 0);
    const uint64_t nFallUs = SessionMicroseconds();
    const bool bClocked = SendClocks();
    const uint64_t nRiseUs = SessionMicroseconds();
    if (!bClocked || m_tdo.empty())
        return Lost();
    Record(MakeClockRecord(nFallUs, nRiseUs, m_nTms, m_nTdi, m_tdo[0] ? 1 : 0, m_nState));
    // Clicks' clocks that all took long tell the cable is slow before any SEND does; the piece
    // is sized to the quickest of them.
    const uint64_t nTookUs = nRiseUs - nFallUs;
    m_nSlowClickUs = m_nSlowClicks == 0 || nTookUs < m_nSlowClickUs ? nTookUs : m_nSlowClickUs;
    m_nSlowClicks = nTookUs > CLOCK_SLOW_US ? m_nSlowClicks + 1 : 0;
    if (m_nSlowClicks >= SLOW_CLICKS && PieceFor(1, m_nSlowClickUs) < m_nPiece)
        m_nPiece = PieceFor(1, m_nSlowClickUs);
    return true;
}

bool CTapEngine::SendClocks()
{
    m_read.clear();
    for (size_t i = 0; i < m_tms.size(); ++i)
        m_read.push_back(true);
    m_tdo.clear();
    return m_pCable->Clocks(m_tms, m_tdi, m_read, m_tdo);
}

bool CTapEngine::CollectRun()
{
    // The clocks held go out in the cable's own transfers, and are stamped with their times.
    // Recording tells the listeners, who may look at the engine: the run is set apart first.
    std::vector<RunClock>& run = m_runSent;
    run.swap(m_run);
    m_run.clear();
    m_tms.clear();
    m_tdi.clear();
    for (const RunClock& clock : run)
    {
        m_tms.push_back(clock.nTms != 0);
        m_tdi.push_back(clock.nTdi != 0);
    }
    const uint64_t nFallUs = SessionMicroseconds();
    const bool bClocked = run.empty() || SendClocks();
    const uint64_t nRiseUs = SessionMicroseconds();
    const CBits& tdo = m_tdo;
    const uint64_t nTookUs = nRiseUs - nFallUs;
    if (run.size() >= FEWEST_PIECE_CLOCKS && nTookUs > PIECE_SLOW_US)
        m_nPiece = PieceFor(run.size(), nTookUs);
    else if (m_bStoppable && run.size() >= m_nPiece && nTookUs < PIECE_QUICK_US && m_nPiece < RUN_CLOCKS)
        m_nPiece *= 2;
    const size_t nDone = tdo.size() < run.size() ? tdo.size() : run.size();
    for (size_t i = 0; i < nDone; ++i)
        Record(MakeClockRecord(nFallUs, nRiseUs, run[i].nTms, run[i].nTdi, tdo[i] ? 1 : 0, run[i].nState));
    return (bClocked && nDone == run.size()) || Lost();
}

void CTapEngine::Record(const ClockRecord& clock)
{
    ++m_nClocks;
    m_session.Add(clock);
    const bool bValueOut = m_shiftOut.OnClock(m_nStateBefore, clock.nState, clock.Tdo());
    m_nStateBefore = clock.nState;
    for (ITapListener* pListener : m_listeners)
        pListener->OnClock(clock, bValueOut);
}

Outcome CTapEngine::CableLost() const
{
    return Outcome(Ended::Lost, m_pCable->Failure());
}

bool CTapEngine::Lost()
{
    ForgetState();
    for (ITapListener* pListener : m_listeners)
        pListener->OnCableLost(m_pCable->Failure());
    return false;
}

Outcome CTapEngine::Shift(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll)
{
    return Shift(reg, bits, poll, STATE_RUN_TEST_IDLE);
}

Outcome CTapEngine::Shift(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll, int nEnd)
{
    if (bits.empty())
        return Outcome(Ended::Refused, "A value has at least one bit.");
    if (!IsShiftStart(m_nState))
        return Outcome(Ended::Refused, std::string("A value is not shifted from ") + TapStateName(m_nState) + ".");
    // A whole value is one run of clocks, as fast as the cable takes them.
    m_bInRun = true;
    const Outcome end = ShiftClocks(reg, bits, poll, nEnd);
    m_bInRun = false;
    const bool bCollected = CollectRun();
    return bCollected && end != Ended::Lost ? end : CableLost();
}

Outcome CTapEngine::ShiftStoppable(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll)
{
    m_bStoppable = true;
    const Outcome end = Shift(reg, bits, poll, STATE_RUN_TEST_IDLE);
    m_bStoppable = false;
    return end;
}

bool CTapEngine::Run(const std::vector<TapStep>& steps)
{
    m_bInRun = true;
    bool bClocked = true;
    for (size_t i = 0; bClocked && i < steps.size(); ++i)
        bClocked = Step(steps[i]);
    m_bInRun = false;
    return CollectRun() && bClocked;
}

Outcome CTapEngine::ShiftClocks(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll,
                                             int nEnd)
{
    size_t nShifted = 0;
    for (const TapStep& step : ShortestPath(m_nState, reg.nShift))
    {
        poll(nShifted);
        if (!Step(step))
            return Ended::Lost;
    }
    bool bStopped = false;
    for (; nShifted < bits.size(); ++nShifted)
    {
        // Stopped, the shift ends with this bit into Exit1 and waits in Pause: no Update.
        bStopped = poll(nShifted);
        const bool bLast = bStopped || nShifted + 1 == bits.size();
        const int nTdi = bits[nShifted] ? 1 : 0;
        if (!Step({static_cast<unsigned char>(bLast ? 1 : 0), nTdi, bLast ? reg.nExit1 : reg.nShift}))
            return Ended::Lost;
        if (bStopped)
            break;
    }
    // A person's STOP may still come while the last piece is on its way: Update waits for it.
    if (!bStopped && m_bStoppable && m_bInRun && !CollectRun())
        return Ended::Lost;
    const bool bStoppedLast = poll(nShifted);
    bStopped = bStopped || (m_bStoppable && bStoppedLast);
    if (bStopped)
        return Step(StepInto(reg.nExit1, reg.nPause)) ? Ended::Stopped : Ended::Lost;
    if (nEnd == reg.nPause)
        return Step(StepInto(reg.nExit1, reg.nPause)) ? Ended::Done : Ended::Lost;
    if (!Step(StepInto(reg.nExit1, reg.nUpdate)))
        return Ended::Lost;
    for (const TapStep& step : ShortestPath(reg.nUpdate, nEnd))
    {
        if (!Step(step))
            return Ended::Lost;
    }
    return Ended::Done;
}

bool CTapEngine::DriveLevels(unsigned char nTms, unsigned char nTdi)
{
    m_nTms = nTms;
    m_nTdi = nTdi;
    return m_pCable->Hold(nTms != 0, nTdi != 0) || Lost();
}

Outcome CTapEngine::PulseSrst()
{
    if (!m_pCable->Traits().bSrst)
        return Outcome(Ended::Refused, "The cable has no SRST line to pulse: name its pin with srst= under [ftdi] (an "
                                       "FTDI cable in MPSSE mode, pins 4 to 15). Nothing was clocked.");
    bool bPulsed = m_pCable->SetResetLine(ResetLine::Srst, true);
    if (bPulsed)
    {
        AfxSleep(SRST_PULSE_MS);
        bPulsed = m_pCable->SetResetLine(ResetLine::Srst, false);
    }
    if (bPulsed)
        return Outcome();
    Lost();
    return CableLost().At("as SRST was pulsed");
}

bool CTapEngine::ReadTdo(unsigned char& nTdo)
{
    bool bTdo = true;
    const bool bRead = m_pCable->Sample(bTdo);
    nTdo = bTdo ? 1 : 0;
    return bRead || Lost();
}
