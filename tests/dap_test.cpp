// A CMSIS-DAP probe as the cable: the packets of each operation, byte for byte as ARM's
// documentation encodes them, through the simulated probe and its board; the answers a probe
// can get wrong, and one unplugged mid-run.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "chain/ChainScan.h"
#include "engine/TapEngine.h"
#include "one_by_one.h"
#include "ports/cmsis_dap.h"
#include "ports/dap_port.h"
#include "standin/dap_link.h"

namespace {

using Packet = std::vector<uint8_t>;

CBits BitsOf(const char* psz)
{
    CBits bits;
    for (; *psz != '\0'; ++psz)
        bits.push_back(*psz == '1');
    return bits;
}

CBits Random(size_t nBits, unsigned nSeed)
{
    std::minstd_rand random(nSeed);
    CBits bits;
    for (size_t i = 0; i < nBits; ++i)
        bits.push_back((random() & 1) != 0);
    return bits;
}

bool Never(size_t)
{
    return false;
}

class DapCableTest : public ::testing::Test
{
protected:
    explicit DapCableTest(const CDapProbe::Identity& identity = CDapProbe::Identity()) : probe(identity)
    {
        auto pLink = std::make_unique<CProbeLink>(probe);
        link = pLink.get();
        pCable = std::make_unique<CDapCable>(std::move(pLink), 0);
    }

    // Opened and switched on, the commands of both forgotten.
    void On()
    {
        ASSERT_TRUE(pCable->Open()) << pCable->OpenProblem();
        ASSERT_TRUE(pCable->Switch(true)) << pCable->Failure();
        link->commands.clear();
    }

    CDapProbe probe;
    CProbeLink* link = nullptr;
    std::unique_ptr<CDapCable> pCable;
};

} // namespace

// Open asks the packet size, the packet count and the capabilities; switching on connects in
// JTAG mode, sets the clock and holds the pins with TCK low; switching off disconnects.
TEST_F(DapCableTest, OpenAsksWhatTheProbeIsAndSwitchingOnTakesJtagAtTheClockWithTckLow)
{
    ASSERT_TRUE(pCable->Open()) << pCable->OpenProblem();
    EXPECT_EQ((std::vector<Packet>{{0x00, 0xFF}, {0x00, 0xFE}, {0x00, 0xF0}}), link->commands);
    EXPECT_EQ(64u, link->nPacketSize);
    EXPECT_EQ(2u, pCable->PacketCount());
    link->commands.clear();
    ASSERT_TRUE(pCable->Switch(true)) << pCable->Failure();
    // 1,000,000 Hz is 0x000F4240; TCK, TMS and TDI low, nTRST and nRESET released.
    EXPECT_EQ((std::vector<Packet>{{0x02, 0x02}, {0x11, 0x40, 0x42, 0x0F, 0x00}, {0x10, 0xA0, 0xA7, 0, 0, 0, 0}}),
              link->commands);
    EXPECT_TRUE(probe.Connected());
    EXPECT_EQ(1000000u, probe.ClockHz());
    EXPECT_EQ("MORVA simulated probe (CMSIS-DAP v2) at 1 MHz", pCable->Description());
    link->commands.clear();
    ASSERT_TRUE(pCable->Switch(false));
    EXPECT_EQ((std::vector<Packet>{{0x03}}), link->commands);
    EXPECT_FALSE(probe.Connected());
}

// A click is one sequence of one clock; a SEND-DR of 1'b1 from RUN-TEST/IDLE is four sequences,
// one for each level TMS holds.
TEST_F(DapCableTest, AClickAndAOneBitSendAreTheSequencesOfTheirTmsLevels)
{
    On();
    CBits tdo;
    ASSERT_TRUE(pCable->Clocks(BitsOf("1"), BitsOf("1"), BitsOf("1"), tdo));
    EXPECT_EQ((std::vector<Packet>{{0x14, 0x01, 0xC1, 0x01}}), link->commands);
    EXPECT_EQ(1u, tdo.size());
    link->commands.clear();
    ASSERT_TRUE(pCable->Clocks(BitsOf("100110"), BitsOf("000111"), BitsOf("111111"), tdo));
    EXPECT_EQ((std::vector<Packet>{{0x14, 0x04, 0xC1, 0x00, 0x82, 0x00, 0xC2, 0x03, 0x81, 0x01}}), link->commands);
    EXPECT_EQ(7u, tdo.size());
    // Nothing read: nothing captured.
    link->commands.clear();
    ASSERT_TRUE(pCable->Clocks(BitsOf("11"), BitsOf("00"), BitsOf("00"), tdo));
    EXPECT_EQ((std::vector<Packet>{{0x14, 0x01, 0x42, 0x00}}), link->commands);
}

// 64 bits fill one sequence and 65 spill one clock into the next; 1,024 bits are sequences of 64
// clocks split across packets filled to the probe's 64 bytes, answers as well, two in flight.
TEST_F(DapCableTest, SendsOf64And65And1024BitsCrossTheSequenceAndPacketLimits)
{
    On();
    for (size_t nBits : {64u, 65u, 1024u})
    {
        // From RUN-TEST/IDLE: SELECT-DR, CAPTURE-DR, SHIFT-DR, the bits, UPDATE-DR, RUN-TEST/IDLE.
        const CBits value = Random(nBits, static_cast<unsigned>(nBits));
        CBits tms = BitsOf("100"), tdi = BitsOf("000");
        tms.Append(CBits(nBits - 1, false));
        tms.Append(BitsOf("110"));
        tdi.Append(value);
        tdi.Append(CBits(2, value[nBits - 1]));
        link->commands.clear();
        CBits tdo;
        ASSERT_TRUE(pCable->Clocks(tms, tdi, CBits(tms.size(), true), tdo));
        EXPECT_EQ(tms.size(), tdo.size());
        EXPECT_FALSE(link->bOversize);
        if (nBits == 64)
        {
            // SELECT-DR; 65 clocks of TMS low as 64 and 1; EXIT1-DR and UPDATE-DR; RUN-TEST/IDLE.
            ASSERT_EQ(1u, link->commands.size());
            const Packet& packet = link->commands[0];
            ASSERT_EQ(19u, packet.size());
            EXPECT_EQ((Packet{0x14, 0x05, 0xC1, 0x00, 0x80}), Packet(packet.begin(), packet.begin() + 5));
            // The 65th clock carries bit 62; EXIT1-DR and UPDATE-DR bit 63, and RUN-TEST/IDLE keeps it.
            EXPECT_EQ((Packet{0x81, static_cast<uint8_t>(value[62]), 0xC2, static_cast<uint8_t>(value[63] ? 3 : 0), 0x81,
                              static_cast<uint8_t>(value[63])}),
                      Packet(packet.begin() + 13, packet.end()));
        }
        if (nBits == 65)
        {
            ASSERT_EQ(1u, link->commands.size());
            EXPECT_EQ(0x82, link->commands[0][13]) << "the 65th and 66th clocks of TMS low";
        }
        if (nBits == 1024)
        {
            // 1,029 clocks are 129 bytes of TDI and some twenty sequences' info bytes: with a
            // packet's two bytes of header, three packets of 64 bytes are the fewest that carry
            // them, and all but the last are full.
            ASSERT_EQ(3u, link->commands.size());
            EXPECT_EQ(64u, link->commands[0].size());
            EXPECT_EQ(64u, link->commands[1].size());
            EXPECT_EQ(2u, link->nMostInFlight);
        }
    }
}

// Through the engine, each SEND reads the IDCODE and then the bits sent, the board ends where the
// clocks leave it, and every clock the engine recorded is one the probe made.
TEST_F(DapCableTest, TheEngineReadsTheIdcodeAndTheBitsSentThroughTheProbe)
{
    CTapEngine engine(pCable.get());
    ASSERT_TRUE(pCable->Open());
    ASSERT_TRUE(engine.Switch(true));
    for (size_t nBits : {1u, 64u, 65u, 1024u})
    {
        ASSERT_TRUE(engine.Reset());
        const CBits value = Random(nBits, 3);
        ASSERT_EQ(Ended::Done, engine.Shift(TAP_DR, value, Never)) << nBits;
        CBits expected = CBits::FromPacked({0x4B, 0x65, 0xD5, 0x14}, 32).Slice(0, std::min<size_t>(nBits, 32));
        if (nBits > 32)
            expected.Append(value, 0, nBits - 32);
        EXPECT_EQ(expected, engine.BitsOut()) << nBits;
        EXPECT_EQ(TapState::RunTestIdle, probe.Board().State());
        EXPECT_EQ(engine.Clocks(), probe.Clocks());
    }
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(engine, {}, scan));
    ASSERT_EQ(1u, scan.devices.size());
    EXPECT_EQ(CJtagDevice::IDCODE, scan.devices[0].nIdcode);
}

// The pins held by hand, TDO read without a clock, and the reset lines pulsed, each one
// DAP_SWJ_Pins command.
TEST_F(DapCableTest, LevelsTdoAndTheResetLinesAreEachOnePinsCommand)
{
    On();
    ASSERT_TRUE(pCable->Hold(true, false));
    bool bTdo = false;
    ASSERT_TRUE(pCable->Sample(bTdo));
    ASSERT_TRUE(pCable->SetResetLine(ResetLine::Srst, true));
    EXPECT_EQ(0, probe.Pins() & 0x80);
    ASSERT_TRUE(pCable->SetResetLine(ResetLine::Srst, false));
    ASSERT_TRUE(pCable->SetResetLine(ResetLine::Trst, true));
    EXPECT_EQ((std::vector<Packet>{{0x10, 0x02, 0x07, 0, 0, 0, 0},
                                   {0x10, 0x00, 0x00, 0, 0, 0, 0},
                                   {0x10, 0x00, 0x80, 0, 0, 0, 0},
                                   {0x10, 0x80, 0x80, 0, 0, 0, 0},
                                   {0x10, 0x00, 0x20, 0, 0, 0, 0}}),
              link->commands);
    EXPECT_TRUE(bTdo) << "the board's TDO, not driven outside a shift, reads high";
}

// Each wrong answer loses the probe with its own words; the clocks of the packets answered
// before it are recorded and none after; the next use opens the probe anew.
TEST_F(DapCableTest, AWrongAnswerOrNoneOrAnUnplugLosesTheProbeWithTheClocksBeforeIt)
{
    const std::pair<DapFault, const char*> faults[] = {
        {DapFault::Error, "refused command 0x14"},
        {DapFault::Short, "1 bytes long"},
        {DapFault::WrongEcho, "as if it were 0x11"},
        {DapFault::Silent, "did not answer within a second"},
        {DapFault::Unplugged, "is gone"},
    };
    CTapEngine engine(pCable.get());
    ASSERT_TRUE(pCable->Open());
    ASSERT_TRUE(engine.Switch(true));
    for (const auto& fault : faults)
    {
        ASSERT_TRUE(engine.Reset()) << pCable->Failure();
        const uint64_t nBefore = engine.Clocks();
        // The second of the SEND's three packets goes wrong.
        link->Plant(fault.first, link->nWrites + 2);
        const Outcome end = engine.Shift(TAP_DR, Random(1024, 5), Never);
        EXPECT_EQ(Ended::Lost, end);
        EXPECT_NE(std::string::npos, end.Message().find(fault.second)) << end.Message();
        EXPECT_EQ(STATE_UNKNOWN, engine.State());
        // The first packet's clocks: the way in from TEST-LOGIC-RESET and the bits it carried.
        const uint64_t nRecorded = engine.Clocks() - nBefore;
        EXPECT_GT(nRecorded, 4u);
        EXPECT_LT(nRecorded, 500u);
        link->Plant(DapFault::None, 0);
        link->PlugBackIn();
        const size_t nOpens = link->nOpens;
        ASSERT_TRUE(engine.Reset()) << pCable->Failure();
        EXPECT_EQ(nOpens + 1, link->nOpens);
    }
}

namespace {

class SwdOnlyProbeTest : public DapCableTest
{
protected:
    static CDapProbe::Identity SwdOnly()
    {
        CDapProbe::Identity identity;
        identity.capabilities = 0x01;
        return identity;
    }
    SwdOnlyProbeTest() : DapCableTest(SwdOnly()) {}
};

} // namespace

TEST_F(SwdOnlyProbeTest, AProbeWithoutJtagIsRefusedWithThatMessage)
{
    EXPECT_FALSE(pCable->Open());
    EXPECT_NE(std::string::npos, pCable->OpenProblem().find("does no JTAG")) << pCable->OpenProblem();
    EXPECT_EQ(3u, link->commands.size()) << "asked, never connected";
}

// The probe's side: an unknown command, or one cut short, is answered DAP_ERROR.
TEST(DapProbeTest, AnUnknownCommandOrOneCutShortIsAnsweredDapError)
{
    CDapProbe probe;
    for (const Packet& command : {Packet{0x05, 0x00}, Packet{0x14, 0x02, 0x08, 0x00}, Packet{0x11, 0x40},
                                  Packet{0x14, 0x01, 0x01, 0x00}})
        EXPECT_EQ(Packet{0xFF}, probe.Answer(command.data(), command.size())) << int(command[0]);
    EXPECT_EQ(0u, probe.Clocks()) << "the last, a sequence before DAP_Connect, made no clock";
}

// Random runs of clocks, TMS mostly still and some clocks read, through probes of 64 and 512
// byte packets with one to four in flight: every TDO read is the one the same clocks, made one
// by one on a board of its own, give; no packet or answer outgrows the probe's size.
TEST(DapRunTest, RandomRunsReadWhatTheSameClocksOneByOneRead)
{
    std::minstd_rand random(11);
    for (int nRun = 0; nRun < 60; ++nRun)
    {
        CDapProbe::Identity identity;
        identity.nPacketSize = nRun % 2 == 0 ? 64 : 512;
        identity.nPacketCount = static_cast<uint8_t>(1 + nRun % 4);
        CDapProbe probe(identity);
        auto pLink = std::make_unique<CProbeLink>(probe);
        CProbeLink* link = pLink.get();
        CDapCable cable(std::move(pLink), 0);
        ASSERT_TRUE(cable.Open() && cable.Switch(true));
        const size_t nClocks = 1 + random() % 1500;
        const RandomRun run = MakeRandomRun(random, nClocks, 40, true);
        CJtagDevice alone;
        CBits tdo;
        ASSERT_TRUE(cable.Clocks(run.tms, run.tdi, run.read, tdo)) << cable.Failure();
        EXPECT_EQ(ClockedOneByOne(alone, run.tms, run.tdi, run.read), tdo) << "run " << nRun << " of " << nClocks << " clocks";
        EXPECT_EQ(alone.State(), probe.Board().State()) << "run " << nRun;
        EXPECT_FALSE(link->bOversize) << "run " << nRun;
        EXPECT_LE(link->nMostInFlight, identity.nPacketCount) << "run " << nRun;
    }
}

// The systems' wide strings as UTF-8: an accent, a character beyond 16 bits (a surrogate pair in
// Windows' UTF-16, one unit in hidapi's UTF-32 on Linux), and a string cut at a length.
TEST(DapRunTest, ProbeStringsBecomeUtf8OnEitherSystem)
{
    EXPECT_EQ("D\xC3\xA9""bogueur CMSIS-DAP", Utf8OfWide(L"D\u00E9bogueur CMSIS-DAP"));
    EXPECT_EQ("\xF0\x9F\x94\x8C probe", Utf8OfWide(L"\U0001F50C probe"));
    EXPECT_EQ("ab", Utf8OfWide(L"abc", 2));
    EXPECT_TRUE(NamesCmsisDap(Utf8OfWide(L"Debug Probe (CMSIS-DAP)")));
    EXPECT_FALSE(NamesCmsisDap("USB Keyboard"));
}
