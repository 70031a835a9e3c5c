// The cable driver's byte sequences and shadow rules, on a recording port.
#include <gtest/gtest.h>

#include <random>

#include "cable/cable.h"
#include "ports/mpsse.h"
#include "ports/port_factory.h"
#include "one_by_one.h"
#include "recording_port.h"
#include "simboard/ftdi_chip.h"

using Bytes = std::vector<unsigned char>;

class CableTest : public ::testing::Test
{
protected:
    CRecordingPort port;
    CPortScope scope{&port};
};

TEST_F(CableTest, BeforePowerOnPinsReadLowAndNothingIsWritten)
{
    EXPECT_EQ(0, GetTms());
    EXPECT_EQ(0, GetTdi());
    EXPECT_TRUE(port.accesses.empty());
}

TEST_F(CableTest, CableOnAndOffWriteEnableThenZeroOnce)
{
    EXPECT_EQ(TRUE, CableOn());
    EXPECT_EQ(TRUE, CableOff());
    ASSERT_EQ(2u, port.accesses.size());
    for (const auto& access : port.accesses)
    {
        EXPECT_TRUE(access.bWrite);
        EXPECT_EQ(0x378, access.address);
    }
    EXPECT_EQ((Bytes{0x10, 0x00}), port.DataWrites());
}

TEST_F(CableTest, PowerOverwritesTmsAndTdi)
{
    SetTms(1);
    SetTdi(1);
    PortPower(1);
    EXPECT_EQ(0, GetTms());
    EXPECT_EQ(0, GetTdi());
    PulseTck();
    EXPECT_EQ((Bytes{0x10, 0x10, 0x10, 0x12, 0x12}), port.DataWrites());
}

TEST_F(CableTest, PinsChangeOnlyTheShadow)
{
    CableOn();
    const size_t nBefore = port.accesses.size();
    SetTms(1);
    SetTdi(7);  // any non-zero level counts as 1
    EXPECT_EQ(1, GetTms());
    EXPECT_EQ(1, GetTdi());
    SetTdi(0);
    EXPECT_EQ(1, GetTms());
    EXPECT_EQ(0, GetTdi());
    EXPECT_EQ(nBefore, port.accesses.size());
}

TEST_F(CableTest, PulseWritesTckLowTwiceThenHighTwice)
{
    CableOn();
    SetTms(1);
    SetTdi(1);
    port.accesses.clear();
    PulseTck();
    EXPECT_EQ((Bytes{0x15, 0x15, 0x17, 0x17}), port.DataWrites());
    // A clock is its writes and then its TDO's one status read, as a click makes it.
    ASSERT_EQ(5u, port.accesses.size());
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(0x378, port.accesses[i].address);
    EXPECT_FALSE(port.accesses[4].bWrite);
    EXPECT_EQ(0x379, port.accesses[4].address);

    // TCK never enters the shadow: the next pulse starts from the same byte.
    port.accesses.clear();
    SetTdi(0);
    PulseTck();
    EXPECT_EQ((Bytes{0x14, 0x14, 0x16, 0x16}), port.DataWrites());
    EXPECT_EQ(1, GetTms());
}

TEST_F(CableTest, TdoIsStatusBitFourReadOnce)
{
    const struct
    {
        unsigned char status;
        BYTE tdo;
    } cases[] = {{0x10, 1}, {0x7F, 1}, {0xEF, 0}, {0x00, 0}, {0xFF, 1}};
    for (const auto& c : cases)
    {
        port.accesses.clear();
        port.status = c.status;
        EXPECT_EQ(c.tdo, GetTdo()) << "status " << int(c.status);
        ASSERT_EQ(1u, port.accesses.size());
        EXPECT_FALSE(port.accesses[0].bWrite);
        EXPECT_EQ(0x379, port.accesses[0].address);
    }
}

// The parallel cable as the engine drives it: a run of clocks given at once.
namespace {

// A port that fails from a given status read on, as a ppdev port whose device went away.
class CFailingPort : public CRecordingPort
{
public:
    unsigned char Read(unsigned short address) override
    {
        const unsigned char value = CRecordingPort::Read(address);
        if (nReadsLeft > 0)
            --nReadsLeft;
        return value;
    }
    std::string Failure() const override { return nReadsLeft == 0 ? "the port went away" : std::string(); }

    int nReadsLeft = 1000;
};

} // namespace

TEST(ParallelCableTest, ARunIsEachClocksFourWritesAndAStatusReadOnlyWhereItsTdoIsAsked)
{
    CRecordingPort port;
    port.script = {0x10, 0x00};
    const std::shared_ptr<CParallelCable> pCable = CableOver(port, 0x278);
    CParallelCable& cable = *pCable;
    ASSERT_TRUE(cable.Switch(true));
    CBits tms(3, false), tdi(3, false), read(3, false), tdo;
    tms.Set(0, true);
    tdi.Set(1, true);
    read.Set(0, true);
    read.Set(2, true);
    ASSERT_TRUE(cable.Clocks(tms, tdi, read, tdo));
    EXPECT_EQ((Bytes{0x10, 0x14, 0x14, 0x16, 0x16, 0x11, 0x11, 0x13, 0x13, 0x10, 0x10, 0x12, 0x12}), port.DataWrites());
    ASSERT_EQ(15u, port.accesses.size());
    EXPECT_FALSE(port.accesses[5].bWrite) << "the first clock's TDO, after its rising edge";
    EXPECT_EQ(0x279, port.accesses[5].address) << "status at the data register's next address";
    EXPECT_FALSE(port.accesses[14].bWrite);
    ASSERT_EQ(2u, tdo.size());
    EXPECT_TRUE(tdo[0]);
    EXPECT_FALSE(tdo[1]);
}

TEST(ParallelCableTest, APortThatFailsEndsTheRunAtTheClockThatFailed)
{
    CFailingPort port;
    port.nReadsLeft = 3;
    const std::shared_ptr<CParallelCable> pCable = CableOver(port);
    CParallelCable& cable = *pCable;
    CBits tdo;
    EXPECT_FALSE(cable.Clocks(CBits(10, false), CBits(10, false), CBits(10, true), tdo));
    EXPECT_EQ(2u, tdo.size()) << "the clocks before the one whose read failed";
    EXPECT_EQ(3u * 4u, port.DataWrites().size()) << "nothing after the clock that failed";
    EXPECT_EQ("the port went away", cable.Failure());
}

// The clock an FTDI chip's serial engine is set to: the fastest not above the one asked, on the
// 60 MHz master clock of an H-series chip and the 12 MHz one of an FT2232D; run through the
// simulated chip, the commands leave it set so.
TEST(MpsseClockTest, TheDivisorGivesTheFastestClockNotAboveTheOneAsked)
{
    struct Row
    {
        unsigned nKhz;
        bool bHighSpeed;
        uint16_t nDivisor;
        unsigned nHz;
    };
    const Row rows[] = {
        {30000, true, 0, 30000000}, {6000, true, 4, 6000000},    {1000, true, 29, 1000000},
        {1, true, 29999, 1000},     {7000, true, 4, 6000000},    {100000, true, 0, 30000000},
        {30000, false, 0, 6000000}, {6000, false, 0, 6000000},   {1000, false, 5, 1000000},
        {1, false, 5999, 1000},     {4000, false, 1, 3000000},   {0, false, 5999, 1000},
    };
    for (const Row& row : rows)
    {
        const MpsseClock clock = MpsseClockFor(row.nKhz, row.bHighSpeed);
        EXPECT_EQ(row.nDivisor, clock.nDivisor) << row.nKhz << " kHz, H series " << row.bHighSpeed;
        EXPECT_EQ(row.nHz, clock.nHz) << row.nKhz << " kHz, H series " << row.bHighSpeed;
        const std::vector<uint8_t> commands = MpsseClockCommands(clock, row.bHighSpeed);
        CFtdiChip chip;
        chip.SetBitMode(0, CFtdiChip::MODE_MPSSE);
        chip.Write(commands.data(), commands.size());
        uint8_t answer[4];
        EXPECT_EQ(0u, chip.Read(answer, sizeof(answer))) << "every command known to the engine";
        EXPECT_EQ(row.nDivisor, chip.Divisor());
        EXPECT_EQ(!row.bHighSpeed, chip.DividesBy5()) << "an FT2232D is never told: its clock is 12 MHz";
        EXPECT_FALSE(chip.ThreePhase());
        EXPECT_FALSE(chip.Adaptive());
    }
    EXPECT_EQ((std::vector<uint8_t>{0x8A, 0x8D, 0x97, 0x86, 0x1D, 0x00}), MpsseClockCommands(MpsseClockFor(1000, true), true));
    EXPECT_EQ((std::vector<uint8_t>{0x86, 0x6F, 0x17}), MpsseClockCommands(MpsseClockFor(1, false), false));
}

namespace {

// Clocks written the short way: "1,0,0" and so on, a character a clock.
CBits ClockBits(const std::string& text)
{
    CBits bits;
    for (char c : text)
        bits.push_back(c == '1');
    return bits;
}

struct MpsseDone
{
    MpsseRun run;
    CBits tdo;
};

// The run through the simulated chip in MPSSE mode (its pins set, TMS low), and the same clocks
// made one by one on a board of its own: the TDO asked for and the TAP's state must agree.
MpsseDone ThroughTheChip(const CBits& tms, const CBits& tdi, const CBits& read)
{
    MpsseDone done;
    CFtdiChip chip;
    chip.SetBitMode(0, CFtdiChip::MODE_MPSSE);
    const uint8_t pins[] = {0x80, 0x00, 0x0B};
    chip.Write(pins, sizeof(pins));
    done.run = MpsseCommands(tms, tdi, read, false);
    chip.Write(done.run.commands.data(), done.run.commands.size());
    std::vector<uint8_t> answer(done.run.nAnswerBytes + 16);
    answer.resize(chip.Read(answer.data(), answer.size()));
    EXPECT_EQ(done.run.nAnswerBytes, answer.size());
    EXPECT_TRUE(MpsseTdo(done.run, read, answer.data(), answer.size(), done.tdo));
    EXPECT_FALSE(MpsseTdo(done.run, read, answer.data(), done.run.nAnswerBytes - (done.run.nAnswerBytes > 0), done.tdo) &&
                 done.run.nAnswerBytes > 0)
        << "an answer cut short is refused";

    CJtagDevice board;
    EXPECT_EQ(ClockedOneByOne(board, tms, tdi, read), done.tdo);
    EXPECT_EQ(board.State(), chip.Board().State());
    EXPECT_EQ(tms.empty() ? false : tms[tms.size() - 1], done.run.bTmsAfter);
    EXPECT_EQ(tms.size(), chip.MpsseClocks());
    return done;
}

} // namespace

// What the engine hands a cable, as MPSSE commands: a click, a SEND of 1 and of 1,024 bits from
// RUN-TEST/IDLE, each clock's TDO asked; and runs of every shape, each the same to the board as
// the clocks made one by one.
TEST(MpsseRunTest, ClocksBecomeTheFewestCommandsAndReadAsTheSameClocksOneByOne)
{
    // A click into TEST-LOGIC-RESET's way: one TMS bit with its read, and send immediate.
    EXPECT_EQ((std::vector<uint8_t>{0x6B, 0x00, 0x81, 0x87}),
              ThroughTheChip(ClockBits("1"), ClockBits("1"), ClockBits("1")).run.commands);
    // SEND-DR of 1'b1: SELECT-DR, CAPTURE-DR, SHIFT-DR; the bit into EXIT1-DR, UPDATE-DR, RUN-TEST/IDLE.
    EXPECT_EQ((std::vector<uint8_t>{0x6B, 0x02, 0x01, 0x6B, 0x02, 0x83, 0x87}),
              ThroughTheChip(ClockBits("100110"), ClockBits("000111"), ClockBits("111111")).run.commands);
    // SEND-DR of 1,024 bits: the way in as TMS, the clock into SHIFT-DR and 1,023 bits as 128 bytes
    // of data, the last bit with UPDATE-DR and RUN-TEST/IDLE as TMS again.
    std::minstd_rand random(7);
    CBits value;
    for (int i = 0; i < 1024; ++i)
        value.push_back((random() & 1) != 0);
    CBits tms = ClockBits("10"), tdi = ClockBits("00");
    tms.Append(CBits(1025, false));
    tdi.push_back(false);
    tdi.Append(value);
    tms.Set(tms.size() - 1, true);
    tms.Append(ClockBits("10"));
    const bool bLast = value[1023];
    tdi.Append(CBits(2, bLast));
    const MpsseDone send = ThroughTheChip(tms, tdi, CBits(tms.size(), true));
    ASSERT_EQ(3u + 3 + 128 + 3 + 1, send.run.commands.size());
    EXPECT_EQ((std::vector<uint8_t>{0x6B, 0x01, 0x01, 0x39, 0x7F, 0x00}),
              std::vector<uint8_t>(send.run.commands.begin(), send.run.commands.begin() + 6));
    EXPECT_EQ((std::vector<uint8_t>{0x6B, 0x02, static_cast<uint8_t>(0x03 | (bLast ? 0x80 : 0)), 0x87}),
              std::vector<uint8_t>(send.run.commands.end() - 4, send.run.commands.end()));
    // Nothing asked: nothing read, no send immediate.
    EXPECT_EQ((std::vector<uint8_t>{0x4B, 0x05, 0x3F}),
              ThroughTheChip(ClockBits("111111"), ClockBits("000000"), ClockBits("000000")).run.commands);

    for (int nRun = 0; nRun < 200; ++nRun)
    {
        const size_t nClocks = 1 + random() % 300;
        const RandomRun run = MakeRandomRun(random, nClocks, 6, false);
        ThroughTheChip(run.tms, run.tdi, run.read);
        if (::testing::Test::HasFailure())
            FAIL() << "run " << nRun << " of " << nClocks << " clocks";
    }
}

// The cable list's line for each FTDI device: its library, and how it would be driven with the
// settings as they are (MPSSE and the clock the chip makes for the one asked, or bit-bang).
TEST(FtdiCableListTest, EachDeviceSaysItsModeAndTheClockItWouldRunAt)
{
    FtdiDevice h, d, r;
    h.serial = "FT4H01";
    h.description = "USB <-> JTAG";
    h.engine = FtdiEngine::Mpsse60MHz;
    d.serial = "FT2D01";
    d.description = "Dual RS232";
    d.engine = FtdiEngine::Mpsse12MHz;
    r.serial = "MVUART01";
    r.description = "FT232R USB UART";
    FtdiPinMap asked;
    asked.nKhz = 1000;
    FtdiPinMap moved;
    moved.nTdo = 5;
    FtdiPinMap bitBang;
    bitBang.bBitBang = true;
    const std::pair<FtdiPinMap, std::vector<std::string>> cases[] = {
        {FtdiPinMap(), {"MPSSE at 6 MHz", "MPSSE at 6 MHz", "bit-bang"}},
        {asked, {"MPSSE at 1 MHz", "MPSSE at 1 MHz", "bit-bang"}},
        {moved, {"bit-bang", "bit-bang", "bit-bang"}},
        {bitBang, {"bit-bang", "bit-bang", "bit-bang"}},
    };
    for (const auto& c : cases)
    {
        std::vector<FoundCable> cables;
        AddFtdiCables({h, d, r}, "libftdi", c.first, cables);
        ASSERT_EQ(3u, cables.size());
        EXPECT_EQ("ftdi:FT4H01", cables[0].strName);
        EXPECT_EQ("FTDI USB <-> JTAG (libftdi, " + c.second[0] + ")", cables[0].strWhat);
        EXPECT_EQ("FTDI Dual RS232 (libftdi, " + c.second[1] + ")", cables[1].strWhat);
        EXPECT_EQ("FTDI FT232R USB UART (libftdi, " + c.second[2] + ")", cables[2].strWhat);
    }
    // Asked 30 MHz: the H series makes it, an FT2232D no more than 6 MHz; asked 4 MHz, the H
    // series' 60 MHz makes 3.75.
    FtdiPinMap fast;
    fast.nKhz = 30000;
    EXPECT_EQ("MPSSE at 30 MHz", DescribeFtdiMode(FtdiEngine::Mpsse60MHz, fast));
    EXPECT_EQ("MPSSE at 6 MHz", DescribeFtdiMode(FtdiEngine::Mpsse12MHz, fast));
    fast.nKhz = 4000;
    EXPECT_EQ("MPSSE at 3.75 MHz", DescribeFtdiMode(FtdiEngine::Mpsse60MHz, fast));
    EXPECT_EQ("458 Hz", ClockText(458));
    EXPECT_EQ("1.5 kHz", ClockText(1500));
}
