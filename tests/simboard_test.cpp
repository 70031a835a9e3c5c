// The simulated board behaves as a real 1149.1 device behind the cable.
#include <gtest/gtest.h>

#include "cable/cable.h"
#include "recording_port.h"
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
