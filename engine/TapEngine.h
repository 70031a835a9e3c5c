// The TAP as MORVA drives it: its state (known or not), one clock at a time on the cable, whole
// shifts, the bits that came out, and the record of every clock. It paints nothing; whoever
// shows it listens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../cable/cable.h"
#include "../session/SessionRecord.h"
#include "../session/Vcd.h"
#include "../tap/Outcome.h"
#include "../tap/ShiftOut.h"
#include "../tap/TapStates.h"

// What happened, told as it happens.
class ITapListener
{
public:
    virtual ~ITapListener() {}
    // A step is about to clock the TAP into this state.
    virtual void OnStateEntered(int /*nState*/) {}
    // A clock reached the device and was recorded; bValueOut: it ended a shift, whose value is
    // the engine's ValueOut() now.
    virtual void OnClock(const ClockRecord& /*clock*/, bool /*bValueOut*/) {}
    // The cable stopped answering: the clock or level did not reach the device, and the state
    // is unknown. strFailure says what failed.
    virtual void OnCableLost(const std::string& /*strFailure*/) {}
    // The live trace file could not take a clock; it is given up.
    virtual void OnTraceFileFailed(const std::string& /*strError*/) {}
    // A command of many clocks began, and ended: what its clocks show may be shown once, at its
    // end. Told for the outermost command only.
    virtual void OnCommandBegun() {}
    virtual void OnCommandEnded() {}
};

class CTapEngine;

// The live trace file as a listener: each clock written as it is recorded. A write that fails
// gives the file up, and every listener is told.
class CLiveTraceListener : public ITapListener
{
public:
    explicit CLiveTraceListener(CTapEngine& tap) : m_tap(tap) {}
    void Follow(CLiveVcd* pTrace) { m_pTrace = pTrace; }
    void OnClock(const ClockRecord& clock, bool bValueOut) override;

private:
    CTapEngine& m_tap;
    CLiveVcd* m_pTrace = nullptr;
};

// A register a whole shift goes through, by its column of the diagram.
struct TapRegister
{
    const char* pszName;  // "SEND-DR"
    int nShift;
    int nExit1;
    int nPause;
    int nUpdate;
};

extern const TapRegister TAP_DR;
extern const TapRegister TAP_IR;

class CTapEngine
{
public:
    // Clicks wait this long before their clock, so that a person sees each one on a scope.
    static const unsigned SETTLE_MS = 5;

    // pCable: the cable the clocks go to; null, or none given, is no cable, where every clock
    // is lost.
    explicit CTapEngine(ICable* pCable = nullptr);
    CTapEngine(const CTapEngine&) = delete;
    CTapEngine& operator=(const CTapEngine&) = delete;

    // The cable the engine drives, handed over by whoever chose it; null: none. The state is
    // not forgotten here: whoever switches cables says whether the pins moved.
    void SetCable(ICable* pCable) { m_pCable = pCable != nullptr ? pCable : &NoCable(); }
    ICable& Cable() const { return *m_pCable; }
    // The cable switched on (driving TMS and TDI low, TCK low) or off (driving nothing). False
    // when the cable failed (Cable().Failure() says how); whoever switched it says so.
    bool Switch(bool bOn);
    // The levels the cable holds on TMS and TDI now.
    unsigned char Tms() const { return m_nTms; }
    unsigned char Tdi() const { return m_nTdi; }

    // Each listener hears what happens, in the order they were added: the live trace file first,
    // then the window, the command line's problems, a device's chain address.
    void AddListener(ITapListener* pListener) { m_listeners.push_back(pListener); }
    void RemoveListener(ITapListener* pListener);
    int State() const { return m_nState; }
    // The cable was switched, or its pins moved without a clock: nobody knows the state.
    void ForgetState();

    // Five clocks with TMS high, then one more into Test-Logic-Reset. False when the cable was
    // lost on the way.
    bool Reset();
    // One clock: the step's TMS and TDI, the TAP into its state, recorded.
    bool Step(const TapStep& step);
    // One clock with the levels held now, into the state the diagram gives for them.
    bool ClockHeld();

    // Between the clocks of a shift: bits shifted so far; true asks the shift to stop.
    typedef std::function<bool(size_t nShifted)> ShiftPoll;
    // The bits, bit 0 first, through the register from a state where a shift may start, by the
    // fewest clocks to its Shift state, TMS high on the last bit, then Update and Run-Test/Idle.
    // Polled before each clock; a stop is taken before a bit, which then ends the shift into
    // Exit1 and Pause. The clocks run back to back, unpaced, handed to the cable in runs: each is
    // recorded and told once its run has reached the device, as a click's clock is. Done (the
    // value updated), Stopped (in Pause), Lost with the cable's failure, or Refused, with why and
    // no clock, for an empty value or a state where no shift starts.
    Outcome Shift(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll);
    // The same, ending in nEnd instead of Run-Test/Idle: the register's Pause straight from Exit1
    // (no Update), or any state the fewest clocks after Update.
    Outcome Shift(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll, int nEnd);
    // The same for a person who may click STOP at any moment: on a cable seen to be slow the
    // clocks go out in pieces a click can fall between, and on every cable Update or Pause is
    // chosen only once every bit has reached the device, after one more poll.
    Outcome ShiftStoppable(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll);
    // Clocks along the steps, back to back as a shift's are. False when the cable was lost.
    bool Run(const std::vector<TapStep>& steps);

    // The cable's failure as an outcome: what a command that lost it ends with.
    Outcome CableLost() const;

    // Holds TMS and TDI at these levels with TCK low: no clock. False when the cable was lost.
    bool DriveLevels(unsigned char nTms, unsigned char nTdi);
    // TDO now, without a clock; false when the cable was lost.
    bool ReadTdo(unsigned char& nTdo);
    // How long a pulse of the system reset holds it low: long enough for any board's reset.
    static const unsigned SRST_PULSE_MS = 100;
    // SRST held low for SRST_PULSE_MS, then released, with no clock: the TAP's state stands, as
    // SRST leaves the TAP alone. Refused with why on a cable without the line; Lost as a clock
    // is (every listener told).
    Outcome PulseSrst();

    // The last value that came out of a register, as the value display shows it.
    const std::string& ValueOut() const { return m_shiftOut.Shown(); }
    // Its bits, the first out first.
    const CBits& BitsOut() const { return m_shiftOut.BitsShown(); }

    // Every clock since the engine was made, and when it was made.
    const CSessionRecord& Session() const { return m_session; }
    const std::string& SessionDate() const { return m_strSessionDate; }
    // How many clocks were recorded, the record's own limit aside.
    uint64_t Clocks() const { return m_nClocks; }
    // The file that gets each clock as it happens, or null.
    void SetLiveTrace(CLiveVcd* pTrace) { m_liveTrace.Follow(pTrace); }
    // Tells every listener that the live trace file failed.
    void TellTraceFailed(const std::string& strError);
    uint64_t SessionMicroseconds() const;

    // Whether each step outside a shift waits SETTLE_MS first, as a click does: an engine nobody
    // watches clock by clock (the command line) is not paced.
    void SetPaced(bool bPaced) { m_bPaced = bPaced; }
    // A command of many clocks is open (CTapCommand): its clocks are not paced, and no other
    // command or click starts meanwhile.
    bool InCommand() const { return m_nCommands > 0; }

private:
    friend class CTapCommand;
    void BeginCommand();
    void EndCommand();

    struct RunClock
    {
        unsigned char nTms;
        unsigned char nTdi;
        int nState;
    };

    bool Clock();
    // The clocks in m_tms and m_tdi to the cable, every TDO asked for, into m_tdo.
    bool SendClocks();
    bool CollectRun();
    void Record(const ClockRecord& clock);
    bool Lost();
    Outcome ShiftClocks(const TapRegister& reg, const CBits& bits, const ShiftPoll& poll, int nEnd);

    std::vector<ITapListener*> m_listeners;
    ICable* m_pCable;
    unsigned char m_nTms = 0;
    unsigned char m_nTdi = 0;
    int m_nState = STATE_UNKNOWN;
    int m_nStateBefore = STATE_UNKNOWN;  // the state the last recorded clock entered
    bool m_bPaced = true;
    int m_nCommands = 0;  // commands open, one within another
    bool m_bInRun = false;
    bool m_bStoppable = false;  // the run goes out in pieces of m_nPiece clocks
    size_t m_nPiece = 2048;     // sized down to the cable's speed once it is seen to be slow
    size_t m_nSlowClicks = 0;   // clicked clocks in a row that took over half a millisecond
    uint64_t m_nSlowClickUs = 0;  // the quickest of them
    std::vector<RunClock> m_run;  // clocked, their TDO not yet read
    std::vector<RunClock> m_runSent;
    // What goes to the cable, kept with their room from one run to the next.
    CBits m_tms, m_tdi, m_read, m_tdo;
    CShiftOut m_shiftOut;
    CSessionRecord m_session;
    uint64_t m_nClocks = 0;
    std::string m_strSessionDate;
    int64_t m_nStartTicks = 0;
    uint64_t m_nTicksPerSecond = 1;
    CLiveTraceListener m_liveTrace{*this};
};

// A command of many clocks (a SEND, a chain scan, a read of the pins, an SVF command), from its
// making to End or its end of scope: its clocks run unpaced, the engine is InCommand, and every
// listener hears where it begins and ends.
class CTapCommand
{
public:
    explicit CTapCommand(CTapEngine& tap) : m_pTap(&tap) { tap.BeginCommand(); }
    ~CTapCommand() { End(); }
    CTapCommand(const CTapCommand&) = delete;
    CTapCommand& operator=(const CTapCommand&) = delete;
    // Ends it before its scope does: once only.
    void End()
    {
        if (m_pTap != nullptr)
            m_pTap->EndCommand();
        m_pTap = nullptr;
    }

private:
    CTapEngine* m_pTap;
};
