// The simulated board behaves as a real 1149.1 device behind the cable.
#include <gtest/gtest.h>

#include "cable/cable.h"
#include "recording_port.h"
#include "simboard/ftdi_chip.h"
#include "simboard/jtag_device.h"

namespace {

// The board alone behind the cable driver.
class CBoardPort : public CParallelPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        if (address == DATA_PORT)
            board.WriteData(value);
    }
    unsigned char Read(unsigned short address) override
    {
        return address == STATUS_PORT ? board.ReadStatus() : 0xFF;
    }
    CJtagDevice board;
};

using S = TapState;

// IEEE 1149.1 state diagram: successor on TMS 0 and on TMS 1.
const struct
{
    S state, onTms0, onTms1;
} STANDARD_DIAGRAM[] = {
    {S::TestLogicReset, S::RunTestIdle, S::TestLogicReset},
    {S::RunTestIdle, S::RunTestIdle, S::SelectDrScan},
    {S::SelectDrScan, S::CaptureDr, S::SelectIrScan},
    {S::CaptureDr, S::ShiftDr, S::Exit1Dr},
    {S::ShiftDr, S::ShiftDr, S::Exit1Dr},
    {S::Exit1Dr, S::PauseDr, S::UpdateDr},
    {S::PauseDr, S::PauseDr, S::Exit2Dr},
    {S::Exit2Dr, S::ShiftDr, S::UpdateDr},
    {S::UpdateDr, S::RunTestIdle, S::SelectDrScan},
    {S::SelectIrScan, S::CaptureIr, S::TestLogicReset},
    {S::CaptureIr, S::ShiftIr, S::Exit1Ir},
    {S::ShiftIr, S::ShiftIr, S::Exit1Ir},
    {S::Exit1Ir, S::PauseIr, S::UpdateIr},
    {S::PauseIr, S::PauseIr, S::Exit2Ir},
    {S::Exit2Ir, S::ShiftIr, S::UpdateIr},
    {S::UpdateIr, S::RunTestIdle, S::SelectDrScan},
};

class SimBoardTest : public ::testing::Test
{
protected:
    void SetUp() override { CableOn(); }

    // One clock as the tool gives it; returns TDO sampled after the rising edge.
    int Clock(int tms, int tdi = 0)
    {
        SetTms(static_cast<BYTE>(tms));
        SetTdi(static_cast<BYTE>(tdi));
        PulseTck();
        return GetTdo();
    }

    void Reset()
    {
        for (int i = 0; i < 5; ++i)
            Clock(1, 1);
    }

    // From Run-Test/Idle into Shift-DR or Shift-IR.
    void EnterShiftDr() { Clock(1), Clock(0), Clock(0); }
    void EnterShiftIr() { Clock(1), Clock(1), Clock(0), Clock(0); }

    // Reaches any state from Test-Logic-Reset along the standard diagram.
    void GoTo(S target)
    {
        Reset();
        std::vector<int> path;
        ASSERT_TRUE(FindPath(S::TestLogicReset, target, 8, path));
        for (int tms : path)
            Clock(tms);
        ASSERT_EQ(target, port.board.State());
    }

    static bool FindPath(S from, S to, int depth, std::vector<int>& path)
    {
        if (from == to)
            return true;
        if (depth == 0)
            return false;
        for (const auto& row : STANDARD_DIAGRAM)
        {
            if (row.state != from)
                continue;
            for (int tms = 0; tms < 2; ++tms)
            {
                path.push_back(tms);
                if (FindPath(tms ? row.onTms1 : row.onTms0, to, depth - 1, path))
                    return true;
                path.pop_back();
            }
        }
        return false;
    }

    CBoardPort port;
    CPortScope scope{&port};
};

} // namespace

TEST_F(SimBoardTest, FollowsTheWholeStateDiagram)
{
    for (const auto& row : STANDARD_DIAGRAM)
    {
        for (int tms = 0; tms < 2; ++tms)
        {
            GoTo(row.state);
            Clock(tms);
            EXPECT_EQ(tms ? row.onTms1 : row.onTms0, port.board.State())
                << "from state " << static_cast<int>(row.state) << " with TMS " << tms;
        }
    }
}

TEST_F(SimBoardTest, FiveClocksWithTmsHighResetFromAnyState)
{
    for (const auto& row : STANDARD_DIAGRAM)
    {
        GoTo(row.state);
        for (int i = 0; i < 5; ++i)
            Clock(1);
        EXPECT_EQ(S::TestLogicReset, port.board.State());
    }
}

TEST_F(SimBoardTest, IgnoresClocksWhileTheCableIsDisabled)
{
    Reset();
    Clock(0);
    ASSERT_EQ(S::RunTestIdle, port.board.State());
    PortPower(0);
    SetTms(1);
    PulseTck();
    PulseTck();
    EXPECT_EQ(S::RunTestIdle, port.board.State());
    EXPECT_EQ(1, GetTdo());  // nothing drives TDO: the pull-up wins
    CableOn();
    Clock(1);
    EXPECT_EQ(S::SelectDrScan, port.board.State());
}

TEST_F(SimBoardTest, StatusRegisterReadsIdleBitsAndPulledUpTdo)
{
    Reset();
    EXPECT_EQ(0x7F, port.board.ReadStatus());
    EXPECT_FALSE(port.board.TdoDriven());
}

TEST_F(SimBoardTest, ReadsIdcodeThroughShiftDrAfterReset)
{
    Reset();
    Clock(0);  // Run-Test/Idle
    Clock(1);  // Select-DR-Scan
    Clock(0);  // Capture-DR
    EXPECT_EQ(1, Clock(0)) << "entering Shift-DR: TDO not yet driven";
    uint32_t value = 0;
    for (int bit = 0; bit < 31; ++bit)
        value |= static_cast<uint32_t>(Clock(0)) << bit;
    value |= static_cast<uint32_t>(Clock(1)) << 31;  // the last bit leaves on Exit1-DR
    EXPECT_EQ(CJtagDevice::IDCODE, value);
    EXPECT_EQ(1u, value & 1u);
    EXPECT_EQ(S::Exit1Dr, port.board.State());
}

TEST_F(SimBoardTest, DataRegisterHandsTdiBackAfter32Clocks)
{
    Reset();
    Clock(0);
    EnterShiftDr();
    const uint32_t pattern = 0xA5C3F00Du;
    for (int bit = 0; bit < 32; ++bit)
        Clock(0, (pattern >> bit) & 1);
    uint32_t echoed = 0;
    for (int bit = 0; bit < 32; ++bit)
        echoed |= static_cast<uint32_t>(Clock(0)) << bit;
    EXPECT_EQ(pattern, echoed);
}

TEST_F(SimBoardTest, ShiftIrGivesTheCaptureBitsLowFirst)
{
    Reset();
    Clock(0);
    Clock(1);
    Clock(1);
    Clock(0);  // Capture-IR
    EXPECT_EQ(1, Clock(0)) << "entering Shift-IR: TDO not yet driven";
    EXPECT_EQ(1, Clock(0));
    EXPECT_EQ(0, Clock(0));
    EXPECT_EQ(0, Clock(0));
    EXPECT_EQ(0, Clock(1));
}

TEST_F(SimBoardTest, OtherInstructionsSelectBypassUntilReset)
{
    // Load all ones: BYPASS.
    Reset();
    Clock(0);
    EnterShiftIr();
    for (int bit = 0; bit < 3; ++bit)
        Clock(0, 1);
    Clock(1, 1);  // Exit1-IR with the fourth bit
    Clock(1);     // Update-IR
    Clock(0);     // Run-Test/Idle
    EXPECT_EQ(CJtagDevice::IR_BYPASS, port.board.Instruction());

    // BYPASS captures 0 and passes TDI on after one clock.
    EnterShiftDr();
    EXPECT_EQ(0, Clock(0, 1));
    EXPECT_EQ(1, Clock(0, 0));
    EXPECT_EQ(0, Clock(0, 1));
    EXPECT_EQ(1, Clock(1, 0));

    Reset();
    EXPECT_EQ(CJtagDevice::IR_IDCODE, port.board.Instruction());
}

TEST_F(SimBoardTest, IdcodeInstructionCanBeLoadedExplicitly)
{
    Reset();
    Clock(0);
    EnterShiftIr();
    const int code = CJtagDevice::IR_IDCODE;
    for (int bit = 0; bit < 3; ++bit)
        Clock(0, (code >> bit) & 1);
    Clock(1, (code >> 3) & 1);
    Clock(1);
    EXPECT_EQ(CJtagDevice::IR_IDCODE, port.board.Instruction());

    // A code other than IDCODE and all ones selects BYPASS too.
    Clock(1);
    Clock(1);
    Clock(0);
    Clock(0);
    for (int bit = 0; bit < 4; ++bit)
        Clock(bit == 3 ? 1 : 0, 0);
    Clock(1);
    Clock(0);
    EnterShiftDr();
    Clock(0, 1);
    EXPECT_EQ(1, Clock(0, 0)) << "one-bit register: the 1 comes straight back";
}

namespace {

// The chip in MPSSE mode with TCK, TDI and TMS outputs, TMS high: the board enabled and waiting.
class MpsseChipTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_chip.SetBitMode(0xFF, CFtdiChip::MODE_MPSSE);
        Write({0x80, 0x08, 0x0B});
    }

    void Write(std::initializer_list<uint8_t> bytes)
    {
        const std::vector<uint8_t> data(bytes);
        m_chip.Write(data.data(), data.size());
    }
    std::vector<uint8_t> Read()
    {
        std::vector<uint8_t> bytes(64);
        bytes.resize(m_chip.Read(bytes.data(), bytes.size()));
        return bytes;
    }
    // Test-Logic-Reset, then Run-Test/Idle, Select-DR, Capture-DR and Shift-DR: the IDCODE's
    // bit 0 next out.
    void ToShiftDr()
    {
        Write({0x4B, 0x05, 0x3F, 0x4B, 0x03, 0x02});
        ASSERT_EQ(TapState::ShiftDr, m_chip.Board().State());
    }

    CFtdiChip m_chip;
};

} // namespace

TEST_F(MpsseChipTest, AnUnknownCommandIsAnswered0xFAAndItselfAndTheCommandsAfterItRun)
{
    EXPECT_TRUE(Read().empty());
    Write({0xAA});
    EXPECT_EQ((std::vector<uint8_t>{0xFA, 0xAA}), Read()) << "the bad-command echo a program synchronises on";
    Write({0xAB, 0x81, 0x00});
    EXPECT_EQ((std::vector<uint8_t>{0xFA, 0xAB, 0xF8 | 0x04, 0xFA, 0x00}), Read())
        << "0x81 reads the low pins: TMS high, TDO pulled up, the inputs high; 0x00 reads and writes nothing";
    // A command may come in pieces: it runs once it is whole.
    Write({0x86, 0x05});
    EXPECT_EQ(0, m_chip.Divisor());
    Write({0x01});
    EXPECT_EQ(0x0105, m_chip.Divisor());
}

TEST_F(MpsseChipTest, ThePinsStartAsInputsAndTheSettingCommandsAreKept)
{
    CFtdiChip chip;
    chip.SetBitMode(0x0B, CFtdiChip::MODE_MPSSE);
    EXPECT_EQ(0, chip.Outputs()) << "no pin driven until the commands say what it holds";
    EXPECT_EQ(0x0B, m_chip.Outputs());
    EXPECT_TRUE(m_chip.DividesBy5()) << "as the chip starts";
    Write({0x8A, 0x8C, 0x96, 0x82, 0x30, 0xF0, 0x83});
    EXPECT_FALSE(m_chip.DividesBy5());
    EXPECT_TRUE(m_chip.ThreePhase());
    EXPECT_TRUE(m_chip.Adaptive());
    EXPECT_EQ(0x30, m_chip.HighLevels());
    EXPECT_EQ(0xF0, m_chip.HighOutputs());
    EXPECT_EQ((std::vector<uint8_t>{0x3F}), Read()) << "the high pins: 0x30 driven, the inputs pulled up";
    Write({0x8B, 0x8D, 0x97});
    EXPECT_TRUE(m_chip.DividesBy5());
    EXPECT_FALSE(m_chip.ThreePhase());
    EXPECT_FALSE(m_chip.Adaptive());
    EXPECT_EQ(0u, m_chip.MpsseClocks());
}

TEST_F(MpsseChipTest, TmsAndDataCommandsWalkTheTapAndReadTheIdcodeLowBitFirst)
{
    ASSERT_NO_FATAL_FAILURE(ToShiftDr());
    EXPECT_EQ(10u, m_chip.MpsseClocks());
    // Three bits of 1011 (0x4B's low bits): read on the rising edge, in at bit 7, so at the top.
    Write({0x3B, 0x02, 0x00});
    EXPECT_EQ((std::vector<uint8_t>{0x60}), Read());
    // The other 29: three bytes and five bits, then TMS high with a read into Exit1-DR.
    Write({0x39, 0x02, 0x00, 0x00, 0x00, 0x00, 0x3B, 0x03, 0x00, 0x6B, 0x00, 0x01, 0x87});
    const uint32_t nRest = CJtagDevice::IDCODE >> 3;
    EXPECT_EQ((std::vector<uint8_t>{static_cast<uint8_t>(nRest), static_cast<uint8_t>(nRest >> 8),
                                    static_cast<uint8_t>(nRest >> 16), static_cast<uint8_t>(nRest >> 24 << 4),
                                    static_cast<uint8_t>(nRest >> 28 << 7)}),
              Read());
    EXPECT_EQ(TapState::Exit1Dr, m_chip.Board().State());
}

TEST_F(MpsseChipTest, BytesGoOutOnTdiAndLoopBackWhereAsked)
{
    ASSERT_NO_FATAL_FAILURE(ToShiftDr());
    // Through the IDCODE register: 32 bits of TDI come back 32 clocks later.
    Write({0x19, 0x03, 0x00, 0xA5, 0x5A, 0x12, 0x34, 0x39, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ((std::vector<uint8_t>{0xA5, 0x5A, 0x12, 0x34}), Read());
    Write({0x84, 0x39, 0x01, 0x00, 0xC3, 0x3C, 0x85});
    EXPECT_EQ((std::vector<uint8_t>{0xC3, 0x3C}), Read());
    EXPECT_FALSE(m_chip.Loopback());
    // MSB first, and clocks with no data: TDI held.
    Write({0x31, 0x00, 0x00, 0x80, 0x8E, 0x06, 0x8F, 0x00, 0x00});
    EXPECT_EQ(1u, Read().size());
    EXPECT_EQ(10u + 32 + 32 + 16 + 8 + 7 + 8, m_chip.MpsseClocks());
    EXPECT_EQ(TapState::ShiftDr, m_chip.Board().State());
}
