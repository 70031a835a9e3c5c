// The TAP engine on the simulated board, with no window and no message loop: clocks, whole
// shifts and their stop, the bits out, a lost cable, and what it records and tells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cable/cable.h"
#include "chain/ChainScan.h"
#include "engine/TapEngine.h"
#include "ports/sim_port.h"
#include "platform/system.h"
#include "recording_port.h"
#include "svf/SvfPlayer.h"

#include "test_bits.h"

namespace {

// The simulated board until a given status read, then a cable that answers nothing.
class CUnpluggingPort : public CParallelPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        if (m_nReadsLeft > 0)
            SimulatedPort().Write(address, value);
    }
    unsigned char Read(unsigned short address) override
    {
        if (m_nReadsLeft == 0)
            return 0;
        --m_nReadsLeft;
        return SimulatedPort().Read(address);
    }
    std::string Failure() const override { return m_nReadsLeft == 0 ? "the cable was unplugged" : ""; }

    int m_nReadsLeft = 1000000;
};

// Everything the engine tells, in order.
class CHeard : public ITapListener
{
public:
    void OnStateEntered(int nState) override { entered.push_back(nState); }
    void OnClock(const ClockRecord& clock, bool bValueOut) override
    {
        clocks.push_back(clock);
        valuesOut += bValueOut ? 1 : 0;
    }
    void OnCableLost(const std::string& strFailure) override { lost.push_back(strFailure); }

    std::vector<int> entered;
    std::vector<ClockRecord> clocks;
    int valuesOut = 0;
    std::vector<std::string> lost;
};

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_engine.AddListener(&m_heard);
        m_engine.SetPaced(false);
    }

    static bool Never(size_t) { return false; }

    CUnpluggingPort m_port;
    CCableOn m_cable{&m_port};
    CTapEngine m_engine{&TestCable()};
    CHeard m_heard;
};

TEST_F(EngineTest, AResetAndTwoShiftsReadTheBoardsIdcodeClockByClock)
{
    ASSERT_EQ(STATE_UNKNOWN, m_engine.State());
    ASSERT_TRUE(m_engine.Reset());
    EXPECT_EQ(STATE_TEST_LOGIC_RESET, m_engine.State());
    EXPECT_EQ(std::vector<int>{STATE_TEST_LOGIC_RESET}, m_heard.entered) << "unknown until the sixth clock";
    EXPECT_EQ(6u, m_engine.Session().Count());

    ASSERT_EQ(Ended::Done, m_engine.Shift(TAP_IR, Bits(CJtagDevice::IR_IDCODE, 4), Never));
    EXPECT_EQ(CJtagDevice::IR_IDCODE, SimulatedBoard().Instruction());
    EXPECT_EQ("4'h1", m_engine.ValueOut()) << "the IR capture, 0001";
    ASSERT_EQ(Ended::Done, m_engine.Shift(TAP_DR, Bits(0, 32), Never));
    EXPECT_EQ("32'h14D5654B", m_engine.ValueOut());
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_engine.State());
    EXPECT_EQ(TapState::RunTestIdle, SimulatedBoard().State());

    // From Test-Logic-Reset five clocks to Shift-IR, four bits, Update and Idle; from Idle three
    // clocks to Shift-DR, 32 bits, Update and Idle.
    ASSERT_EQ(6u + 5u + 4u + 2u + 3u + 32u + 2u, m_engine.Session().Count());
    ASSERT_EQ(m_engine.Session().Count(), m_heard.clocks.size());
    EXPECT_EQ(2, m_heard.valuesOut);
    // Every clock as recorded is the one told, with the state it entered.
    for (size_t i = 0; i < m_heard.clocks.size(); ++i)
    {
        const ClockRecord& recorded = m_engine.Session().At(i);
        EXPECT_EQ(recorded.bits, m_heard.clocks[i].bits) << i;
        EXPECT_EQ(recorded.nState, m_heard.clocks[i].nState) << i;
        EXPECT_EQ(i < 5 ? STATE_UNKNOWN : m_heard.entered[i - 5], recorded.nState) << i;
    }
    // The last IR bit leaves Shift with TMS high; the one before does not.
    EXPECT_EQ(0, m_engine.Session().At(6 + 5 + 2).Tms());
    EXPECT_EQ(1, m_engine.Session().At(6 + 5 + 3).Tms());
    EXPECT_EQ(STATE_EXIT1_IR, m_engine.Session().At(6 + 5 + 3).nState);
}

TEST_F(EngineTest, AStopBetweenBitsEndsInPauseWithoutAnUpdate)
{
    ASSERT_TRUE(m_engine.Reset());
    ASSERT_EQ(Ended::Done, m_engine.Shift(TAP_IR, Bits(CJtagDevice::IR_BYPASS, 4), Never));
    const size_t nBefore = m_engine.Session().Count();
    // Asked to stop before the third bit: that bit goes into Exit1, then Pause.
    const auto poll = [](size_t nShifted) { return nShifted == 2; };
    EXPECT_EQ(Ended::Stopped, m_engine.Shift(TAP_IR, Bits(CJtagDevice::IR_IDCODE, 4), poll));
    EXPECT_EQ(STATE_PAUSE_IR, m_engine.State());
    EXPECT_EQ(TapState::PauseIr, SimulatedBoard().State());
    EXPECT_EQ(CJtagDevice::IR_BYPASS, SimulatedBoard().Instruction()) << "no Update";
    EXPECT_EQ(nBefore + 4 + 3 + 1, m_engine.Session().Count());
    EXPECT_EQ("3'h1", m_engine.ValueOut());

    // From Pause the next shift goes on through Exit2, with no new Capture.
    ASSERT_EQ(Ended::Done, m_engine.Shift(TAP_IR, Bits(0, 1), Never));
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_engine.State());
}

TEST_F(EngineTest, ACableLostInAShiftRecordsExactlyTheClocksBeforeIt)
{
    ASSERT_TRUE(m_engine.Reset());
    m_port.m_nReadsLeft = 10;  // one status read a clock
    EXPECT_EQ(Ended::Lost, m_engine.Shift(TAP_DR, Bits(0, 32), Never));
    EXPECT_EQ(6u + 9u, m_engine.Session().Count());
    EXPECT_EQ(6u + 9u, m_heard.clocks.size());
    EXPECT_EQ(std::vector<std::string>{"the cable was unplugged"}, m_heard.lost);
    EXPECT_EQ(STATE_UNKNOWN, m_engine.State());
    // Nobody knows the state: no shift starts, no clock is made.
    EXPECT_EQ(Ended::Refused, m_engine.Shift(TAP_DR, Bits(0, 32), Never));
    EXPECT_EQ(6u + 9u, m_engine.Session().Count());
    EXPECT_FALSE(m_engine.DriveLevels(1, 1));
    EXPECT_EQ(2u, m_heard.lost.size());
}

// A lost cable ends a shift, the chain scan and an SVF play alike: the cable's words, where it
// happened, status 2.
TEST_F(EngineTest, ALostCableEndsEveryCommandWithTheCablesWordsAndWhereItHappened)
{
    ASSERT_TRUE(m_engine.Reset());
    m_port.m_nReadsLeft = 10;
    const Outcome shifted = m_engine.Shift(TAP_DR, Bits(0, 32), Never);
    EXPECT_EQ("The cable stopped answering. the cable was unplugged", shifted.Message());
    EXPECT_EQ(EXIT_NOT_DONE, shifted.ExitStatus());
    const Outcome refused = m_engine.Shift(TAP_DR, Bits(0, 32), Never);
    EXPECT_EQ("A value is not shifted from UNKNOWN.", refused.Message());

    m_port.m_nReadsLeft = 20;
    ChainScan scan;
    const Outcome scanned = ScanChain(m_engine, {}, scan);
    EXPECT_EQ("The cable stopped answering while the chain was scanned. the cable was unplugged", scanned.Message());
    EXPECT_TRUE(scan.devices.empty());

    // The reset, line 1's eleven clocks, and nine of line 2's.
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string strPath = std::string(folder) + "morva-engine-lost.svf";
    const std::string text = "SIR 4 TDI (1);\nSDR 32 TDI (0) TDO (14D5654B);\n";
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
    m_port.m_nReadsLeft = 6 + 11 + 9;
    CSvfPlayer player(m_engine, [](const std::string&) {});
    SvfMismatch mismatch;
    std::string strError;
    const Outcome played = player.PlayFile(strPath, mismatch, strError);
    ::DeleteFileA(strPath.c_str());
    EXPECT_EQ("The cable stopped answering at " + strPath + ":2. the cable was unplugged", played.Message());
    EXPECT_EQ(EXIT_NOT_DONE, played.ExitStatus());
}

// A command of many clocks: unpaced, busy, and told to every listener once however deep.
TEST_F(EngineTest, ACommandIsToldOnceWhereItBeginsAndEndsAndItsClocksAreNotPaced)
{
    struct CCommands : ITapListener
    {
        void OnCommandBegun() override { said += "begun "; }
        void OnCommandEnded() override { said += "ended "; }
        void OnClock(const ClockRecord&, bool) override { said += "clock "; }
        std::string said;
    } commands;
    m_engine.AddListener(&commands);
    static std::vector<DWORD> waits;
    waits.clear();
    AfxSetSleep([](DWORD dwMilliseconds) { waits.push_back(dwMilliseconds); });
    m_engine.SetPaced(true);
    {
        CTapCommand outer(m_engine);
        EXPECT_TRUE(m_engine.InCommand());
        CTapCommand inner(m_engine);
        ASSERT_TRUE(m_engine.Reset());
        inner.End();
        inner.End();
        EXPECT_TRUE(m_engine.InCommand()) << "the outer command still runs";
        ASSERT_TRUE(m_engine.Step(StepInto(STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE)));
    }
    EXPECT_FALSE(m_engine.InCommand());
    EXPECT_TRUE(waits.empty()) << "no clock of a command waits";
    // A click after it waits again.
    ASSERT_TRUE(m_engine.Step(StepInto(STATE_RUN_TEST_IDLE, STATE_RUN_TEST_IDLE)));
    AfxSetSleep(nullptr);
    EXPECT_EQ(std::vector<DWORD>{CTapEngine::SETTLE_MS}, waits);
    EXPECT_EQ("begun clock clock clock clock clock clock clock ended clock ", commands.said);
    m_engine.RemoveListener(&commands);
}

TEST_F(EngineTest, AClickWaitsBeforeItsClockAndALevelHeldMakesNoClock)
{
    static std::vector<DWORD> waits;
    waits.clear();
    AfxSetSleep([](DWORD dwMilliseconds) { waits.push_back(dwMilliseconds); });
    m_engine.SetPaced(true);
    ASSERT_TRUE(m_engine.Reset());
    ASSERT_TRUE(m_engine.DriveLevels(0, 1));
    EXPECT_EQ(6u, m_engine.Session().Count());
    EXPECT_EQ(TapState::TestLogicReset, SimulatedBoard().State());
    // The held TMS low is what the next clock takes: into Run-Test/Idle.
    ASSERT_TRUE(m_engine.ClockHeld());
    AfxSetSleep(nullptr);
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_engine.State());
    EXPECT_EQ(TapState::RunTestIdle, SimulatedBoard().State());
    EXPECT_EQ(std::vector<DWORD>(7, CTapEngine::SETTLE_MS), waits);
    EXPECT_EQ(1, m_engine.Session().At(6).Tdi());
}

} // namespace

// The engine's side of the cable seam: what it gives a cable, in what pieces, and what it does
// with a cable that fails part-way through a run.
class CSequenceCable : public ICable
{
public:
    struct Call
    {
        std::string what;  // "clocks", "hold", "sample", "switch"
        CBits tms;
        CBits tdi;
        CBits read;
    };

    const CableTraits& Traits() const override { return traits; }
    bool Open() override { return true; }
    bool Switch(bool bOn) override
    {
        calls.push_back({bOn ? "on" : "off", {}, {}, {}});
        return true;
    }
    bool Clocks(const CBits& tms, const CBits& tdi, const CBits& read, CBits& tdo) override
    {
        calls.push_back({"clocks", tms, tdi, read});
        for (size_t i = 0; i < tms.size(); ++i)
        {
            if (nClocksLeft == 0)
            {
                strFailure = "the probe went away";
                return false;
            }
            --nClocksLeft;
            // TDO is TDI of the clock before: a one-bit register.
            if (read[i])
                tdo.push_back(m_bLastTdi);
            m_bLastTdi = tdi[i];
        }
        strFailure.clear();
        return true;
    }
    bool Hold(bool bTms, bool bTdi) override
    {
        calls.push_back({"hold", CBits(1, bTms), CBits(1, bTdi), {}});
        return true;
    }
    bool Sample(bool& bTdo) override
    {
        calls.push_back({"sample", {}, {}, {}});
        bTdo = m_bLastTdi;
        return true;
    }
    std::string Failure() const override { return strFailure; }

    CableTraits traits;
    std::vector<Call> calls;
    size_t nClocksLeft = SIZE_MAX;
    std::string strFailure;

private:
    bool m_bLastTdi = false;
};

class EngineSeamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_engine.AddListener(&m_heard);
        m_engine.SetPaced(false);
        m_engine.Switch(true);
    }

    static bool Never(size_t) { return false; }

    CSequenceCable m_cable;
    CTapEngine m_engine{&m_cable};
    CHeard m_heard;
};

TEST_F(EngineSeamTest, AShiftIsOneRunOfItsClocksWithEveryTdoAskedForAndTheRecordFollowsTheAnswers)
{
    ASSERT_TRUE(m_engine.Reset());
    m_cable.calls.clear();
    // 0b0110 into the DR from Test-Logic-Reset: four clocks to Shift-DR, four bits (bit 0 first,
    // TMS high on the last), Update, Idle.
    ASSERT_EQ(Ended::Done, m_engine.Shift(TAP_DR, Bits(0x6, 4), Never));
    ASSERT_EQ(1u, m_cable.calls.size()) << "one run, one call";
    const CSequenceCable::Call& call = m_cable.calls[0];
    EXPECT_EQ("clocks", call.what);
    ASSERT_EQ(4u + 4u + 2u, call.tms.size());
    const bool tms[] = {0, 1, 0, 0, 0, 0, 0, 1, 1, 0};
    const bool tdi[] = {1, 1, 1, 0, 0, 1, 1, 0, 1, 1};
    for (size_t i = 0; i < call.tms.size(); ++i)
    {
        EXPECT_EQ(tms[i], call.tms[i]) << i;
        EXPECT_EQ(tdi[i], call.tdi[i]) << i;
        EXPECT_TRUE(call.read[i]) << i;
    }
    // Each clock is recorded with the TDO the cable answered for it: TDI of the clock before.
    ASSERT_EQ(6u + 10u, m_engine.Session().Count());
    for (size_t i = 1; i < call.tms.size(); ++i)
        EXPECT_EQ(tdi[i - 1] ? 1 : 0, m_engine.Session().At(6 + i).Tdo()) << i;
}

TEST_F(EngineSeamTest, AClickIsOneClockAndTheLevelsHeldAreTheEnginesToTell)
{
    EXPECT_EQ(0, m_engine.Tms()) << "switched on, the cable drives TMS and TDI low";
    ASSERT_TRUE(m_engine.DriveLevels(1, 1));
    ASSERT_TRUE(m_engine.ClockHeld());
    ASSERT_EQ(3u, m_cable.calls.size());
    EXPECT_EQ("hold", m_cable.calls[1].what);
    EXPECT_EQ("clocks", m_cable.calls[2].what);
    EXPECT_EQ(1u, m_cable.calls[2].tms.size());
    EXPECT_TRUE(m_cable.calls[2].tms[0]);
    EXPECT_TRUE(m_cable.calls[2].tdi[0]);
    unsigned char nTdo = 0;
    ASSERT_TRUE(m_engine.ReadTdo(nTdo));
    EXPECT_EQ(1, nTdo) << "TDI of the clock before, read without a clock";
    EXPECT_EQ("sample", m_cable.calls.back().what);
}

TEST_F(EngineSeamTest, ACableThatFailsInARunLeavesTheClocksBeforeRecordedAndSaysWhy)
{
    ASSERT_TRUE(m_engine.Reset());
    const size_t nBefore = m_engine.Session().Count();
    m_cable.nClocksLeft = 10;
    EXPECT_EQ(Ended::Lost, m_engine.Shift(TAP_DR, Bits(0, 32), Never));
    EXPECT_EQ(nBefore + 10, m_engine.Session().Count()) << "the clocks the cable took, none after";
    ASSERT_EQ(1u, m_heard.lost.size());
    EXPECT_EQ("the probe went away", m_heard.lost[0]);
    EXPECT_EQ(STATE_UNKNOWN, m_engine.State());
}

TEST_F(EngineSeamTest, AStoppableSendGoesOutAClockAtATimeOnlyWhereTheCableTakesThemSo)
{
    ASSERT_TRUE(m_engine.Reset());
    m_cable.calls.clear();
    ASSERT_EQ(Ended::Done, m_engine.ShiftStoppable(TAP_DR, Bits(0, 100), Never));
    // A cable of transfers takes the way in and the bits in one, and Update once every bit has
    // reached the device.
    ASSERT_EQ(2u, m_cable.calls.size());
    EXPECT_EQ(4u + 100u, m_cable.calls[0].tms.size());
    EXPECT_EQ(2u, m_cable.calls[1].tms.size());

    m_cable.traits.bClocksAtOnce = true;
    m_cable.calls.clear();
    ASSERT_EQ(Ended::Done, m_engine.ShiftStoppable(TAP_DR, Bits(0, 100), Never));
    EXPECT_EQ(3u + 100u + 2u, m_cable.calls.size()) << "a STOP may fall between any two clocks";
}
