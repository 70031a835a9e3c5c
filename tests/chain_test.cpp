// The chain scan over simulated chains of 1 to 32 devices, through the engine as the command line
// and the window drive it: counts, IDCODEs, IR lengths told, not told and given, broken chains,
// and the line each device is listed with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cable/cable.h"
#include "recording_port.h"
#include "chain/ChainScan.h"
#include "chain/Idcode.h"
#include "chain/KeptIrLengths.h"
#include "cli/ShiftRun.h"
#include "engine/TapEngine.h"
#include "ports/cable_name.h"
#include "ports/port_factory.h"
#include "simboard/jtag_device.h"
#include "test_bits.h"

namespace {

// A parallel-port cable on a board with the given chain; TDO held at a level where nStuck >= 0.
class CChainPort : public CParallelPort
{
public:
    explicit CChainPort(const std::vector<SimTap>& chain, int nStuck = -1) : m_board(chain), m_nStuck(nStuck) {}
    void Write(unsigned short address, unsigned char value) override
    {
        if (address == DATA_PORT)
            m_board.WriteData(value);
    }
    unsigned char Read(unsigned short address) override
    {
        if (address != STATUS_PORT)
            return 0xFF;
        const unsigned char status = m_board.ReadStatus();
        return m_nStuck < 0 ? status : static_cast<unsigned char>((status & ~0x10) | (m_nStuck != 0 ? 0x10 : 0));
    }

    CJtagDevice m_board;
    int m_nStuck;
};

// Counts what the engine tells, so that every clock of a scan is seen to be told.
class CClocks : public ITapListener
{
public:
    void OnClock(const ClockRecord&, bool) override { ++nClocks; }
    size_t nClocks = 0;
};

struct Scanned
{
    Outcome end;
    ChainScan scan;
    int nStateAfter;
};

Scanned Scan(CChainPort& port, const std::vector<int>& given = {})
{
    CableTarget pBefore = SetCablePort(&port);
    CableOn();
    CTapEngine engine{&TestCable()};
    engine.SetPaced(false);
    CClocks clocks;
    engine.AddListener(&clocks);
    Scanned result;
    result.end = ScanChain(engine, given, result.scan);
    result.nStateAfter = engine.State();
    EXPECT_EQ(clocks.nClocks, engine.Session().Count()) << "every clock told and recorded";
    CableOff();
    SetCablePort(pBefore);
    return result;
}

// IR capture 0...01: the only ones in the chain's capture start a register, so lengths are told.
SimTap Plain(int nIrLength, uint32_t nIdcode)
{
    return {nIrLength, 0x1, 0x2, nIdcode};
}

uint32_t MadeUpIdcode(unsigned nPart)
{
    return 0x10000000u | (nPart << 12) | (0x49u << 1) | 1u;  // bank 1, code 0x49
}

} // namespace

TEST(ChainScanTest, FindsEveryDeviceOfChainsOfOneTo32WithTheirLengthsAndIdcodes)
{
    for (size_t nDevices : {1u, 2u, 3u, 7u, 32u})
    {
        std::vector<SimTap> chain;
        for (size_t i = 0; i < nDevices; ++i)
            chain.push_back(Plain(2 + static_cast<int>(i * 5 % 31), i % 3 == 1 ? 0 : MadeUpIdcode(static_cast<unsigned>(i))));
        CChainPort port(chain);
        const Scanned scanned = Scan(port);
        ASSERT_EQ(Ended::Done, scanned.end) << nDevices << ": " << scanned.scan.strProblem;
        EXPECT_EQ("", scanned.scan.strProblem);
        ASSERT_EQ(nDevices, scanned.scan.devices.size());
        for (size_t i = 0; i < nDevices; ++i)
        {
            const ChainDevice& device = scanned.scan.devices[i];
            EXPECT_EQ(chain[i].nIrLength, device.nIrLength) << nDevices << " devices, device " << i + 1;
            EXPECT_EQ(chain[i].nIdcode != 0, device.bIdcode) << nDevices << " devices, device " << i + 1;
            EXPECT_EQ(chain[i].nIdcode, device.bIdcode ? device.nIdcode : 0u);
        }
        // Left where a SEND-DR reads every IDCODE.
        EXPECT_EQ(STATE_RUN_TEST_IDLE, scanned.nStateAfter);
        EXPECT_EQ(chain[0].nIdcode != 0 ? chain[0].nIrIdcode : 0x3u, port.m_board.Instruction(0));
    }
}

// The scan takes 32 devices of up to 64 IR bits: such a chain is found whole, and so is one of 17
// devices whose IRs hold 1,064 bits. One bit more than the scan fills is refused, never given a
// wrong length.
TEST(ChainScanTest, ChainsAtTheLimitAreFoundAndOneBitPastItIsRefused)
{
    std::vector<SimTap> longest(MAX_CHAIN_DEVICES, Plain(64, MadeUpIdcode(5)));
    std::vector<SimTap> seventeen;
    for (unsigned i = 0; i < 17; ++i)
        seventeen.push_back(Plain(i < 14 ? 62 : 64, MadeUpIdcode(i)));
    for (const std::vector<SimTap>* pChain : {&longest, &seventeen})
    {
        CChainPort port(*pChain);
        const Scanned scanned = Scan(port);
        ASSERT_EQ(Ended::Done, scanned.end) << scanned.scan.strProblem;
        ASSERT_EQ(pChain->size(), scanned.scan.devices.size());
        for (size_t i = 0; i < pChain->size(); ++i)
            EXPECT_EQ((*pChain)[i].nIrLength, scanned.scan.devices[i].nIrLength) << "device " << i + 1;
    }
    // 2,049 bits: 31 devices of 64, one of 63 and one of 2.
    std::vector<SimTap> past(MAX_CHAIN_DEVICES - 1, Plain(64, MadeUpIdcode(5)));
    past.push_back(Plain(63, MadeUpIdcode(8)));
    past.push_back(Plain(2, 0));
    size_t nBits = 0;
    for (const SimTap& tap : past)
        nBits += static_cast<size_t>(tap.nIrLength);
    ASSERT_EQ(MAX_CHAIN_DEVICES * 64 + 1, nBits);
    CChainPort port(past);
    const Scanned scanned = Scan(port);
    EXPECT_EQ(Ended::Broken, scanned.end);
    EXPECT_TRUE(scanned.scan.devices.empty());
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("2048 bits or fewer")) << scanned.scan.strProblem;
}

TEST(ChainScanTest, LengthsTheCaptureLeavesOpenAreUnknownUntilGivenAndWrongGivenLengthsAreSaid)
{
    // The last device captures 00000101: from the TDO side the chain's capture reads
    // 10100000 100000 1000, which splits as 8+6+4 or as 2+12+4 and 2+6+10.
    const std::vector<SimTap> chain = {Plain(4, MadeUpIdcode(1)), Plain(6, 0), {8, 0x5, 0x2, MadeUpIdcode(3)}};
    CChainPort port(chain);
    Scanned scanned = Scan(port);
    ASSERT_EQ(Ended::Done, scanned.end);
    ASSERT_EQ(3u, scanned.scan.devices.size());
    for (const ChainDevice& device : scanned.scan.devices)
        EXPECT_EQ(0, device.nIrLength);
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("of devices 1, 2 and 3: give")) << scanned.scan.strProblem;
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("irlen=4,6,8")) << scanned.scan.strProblem;
    EXPECT_EQ("3  IR ?  IDCODE 0x10003093  Xilinx  part 0x0003  version 1", FormatChainDevice(3, scanned.scan.devices[2]));

    scanned = Scan(port, {4, 6, 8});
    EXPECT_EQ("", scanned.scan.strProblem);
    EXPECT_EQ(4, scanned.scan.devices[0].nIrLength);
    EXPECT_EQ(6, scanned.scan.devices[1].nIrLength);
    EXPECT_EQ(8, scanned.scan.devices[2].nIrLength);

    // Lengths that add up but put a register where the capture shows none: said, and not used.
    scanned = Scan(port, {6, 6, 6});
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("Device 2's IR does not capture")) << scanned.scan.strProblem;
    EXPECT_EQ(0, scanned.scan.devices[0].nIrLength);
    scanned = Scan(port, {4, 6});
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("name 2 devices; the chain has 3")) << scanned.scan.strProblem;
}

TEST(ChainScanTest, ABrokenChainIsSaidAndListsNoDevice)
{
    CChainPort high({Plain(4, MadeUpIdcode(1))}, 1);
    Scanned scanned = Scan(high);
    EXPECT_EQ(Ended::Broken, scanned.end);
    EXPECT_EQ("TDO stays at 1: is the target powered, is TDO wired?", scanned.scan.strProblem);
    EXPECT_TRUE(scanned.scan.devices.empty());

    CChainPort low({Plain(4, MadeUpIdcode(1))}, 0);
    scanned = Scan(low);
    EXPECT_EQ(Ended::Broken, scanned.end);
    EXPECT_EQ("TDO stays at 0: is the target powered, is TDO wired?", scanned.scan.strProblem);

    CChainPort longer(std::vector<SimTap>(MAX_CHAIN_DEVICES + 1, Plain(2, 0)));
    scanned = Scan(longer);
    EXPECT_EQ(Ended::Broken, scanned.end);
    EXPECT_NE(std::string::npos, scanned.scan.strProblem.find("longer than 32 devices")) << scanned.scan.strProblem;
    EXPECT_TRUE(scanned.scan.devices.empty());
}

TEST(ChainScanTest, TheCommandLineListsTheDevicesAndFailsOnABrokenChain)
{
    std::vector<std::string> out, errors;
    const SAY_LINE say = [&](const std::string& line, bool bError) { (bError ? errors : out).push_back(line); };
    CommandLineWork work;
    work.pCable = &TestCable();
    work.bScan = true;
    work.shifts.push_back({false, "32'h0", CBits(32, false)});
    {
        CChainPort port({Plain(4, 0), Plain(6, MadeUpIdcode(0x4D))});
        CableTarget pBefore = SetCablePort(&port);
        EXPECT_EQ(EXIT_DONE, RunCommandLineWork(work, "", say));
        SetCablePort(pBefore);
    }
    // The value after the scan: device 2's IDCODE comes out first, then device 1's BYPASS bit.
    EXPECT_EQ((std::vector<std::string>{"1  IR 4  IDCODE none", "2  IR 6  IDCODE 0x1004D093  Xilinx  part 0x004D  version 1",
                                        "32'h1004D093"}),
              out);
    EXPECT_TRUE(errors.empty());

    out.clear();
    CChainPort stuck({Plain(4, 0)}, 1);
    CableTarget pBefore = SetCablePort(&stuck);
    EXPECT_EQ(EXIT_NOT_DONE, RunCommandLineWork(work, "", say));
    SetCablePort(pBefore);
    EXPECT_TRUE(out.empty()) << "no device and no value";
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("TDO stays at 1: is the target powered, is TDO wired? What was left was not sent.", errors[0]);
}

TEST(ChainScanTest, ADeviceSpokenToAloneGetsItsOwnBitsAndTheOthersBypass)
{
    std::vector<std::string> out, errors;
    const SAY_LINE say = [&](const std::string& line, bool bError) { (bError ? errors : out).push_back(line); };
    const auto bits = [](uint32_t value, size_t nBits) {
        CBits result;
        for (size_t i = 0; i < nBits; ++i)
            result.push_back((value >> i & 1) != 0);
        return result;
    };
    CChainPort port({Plain(4, MadeUpIdcode(1)), Plain(6, 0), {8, 0x5, 0x2, MadeUpIdcode(3)}});
    CableTarget pBefore = SetCablePort(&port);
    CommandLineWork work;
    work.pCable = &TestCable();
    work.irLengths = {4, 6, 8};
    work.nDevice = 1;
    // Before any instruction, device 3 still shows its IDCODE: 33 bits lie between device 1 and TDO.
    work.shifts = {{false, "32'h0", bits(0, 32)}, {true, "4'hF", bits(0xF, 4)}, {false, "1'b0", bits(0, 1)}};
    EXPECT_EQ(EXIT_DONE, RunCommandLineWork(work, "", say));
    EXPECT_EQ((std::vector<std::string>{"32'h10001093", "4'h1", "1'h0"}), out);
    EXPECT_EQ(0xFu, port.m_board.Instruction(0));
    EXPECT_EQ(0xFFu, port.m_board.Instruction(2)) << "the others put in BYPASS";

    out.clear();
    work.nDevice = 3;
    work.shifts = {{true, "8'h02", bits(2, 8)}, {false, "32'h0", bits(0, 32)}, {true, "4'h2", bits(2, 4)}};
    EXPECT_EQ(EXIT_NOT_DONE, RunCommandLineWork(work, "", say));
    EXPECT_EQ((std::vector<std::string>{"8'h05", "32'h10003093"}), out);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("Device 3's IR is 8 bits long; the instruction given has 4. What was left was not sent.", errors[0]);

    errors.clear();
    work.nDevice = 4;
    EXPECT_EQ(EXIT_NOT_DONE, RunCommandLineWork(work, "", say));
    EXPECT_EQ("The chain has 3 devices; there is no device 4. What was left was not sent.", errors.at(0));
    SetCablePort(pBefore);
}

// The address follows every clock: an instruction clicked in by hand is seen at its Update-IR,
// and a reset gives each device its register after reset again.
TEST(ChainScanTest, AnInstructionClickedInByHandIsSeenByTheAddress)
{
    CChainPort port({Plain(4, MadeUpIdcode(1)), Plain(6, 0), {8, 0x5, 0x2, MadeUpIdcode(3)}});
    CableTarget pBefore = SetCablePort(&port);
    CableOn();
    CTapEngine engine{&TestCable()};
    engine.SetPaced(false);
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(engine, {4, 6, 8}, scan));
    CChainAddress address(scan.devices, 2);
    address.Follow(engine);
    size_t nHeader = 0, nTrailer = 0;
    address.Padding(false, nHeader, nTrailer);
    EXPECT_EQ(32u, nHeader) << "device 3's IDCODE after the reset";
    EXPECT_EQ(32u, nTrailer) << "device 1's";

    // Clicked: Shift-IR for 18 clocks, the ones of device 3 first, device 2's 6 bits, then
    // device 1's IDCODE (0010), and Update-IR.
    const auto clickIr = [&](const CBits& bits) {
        std::vector<TapStep> steps = ShortestPath(engine.State(), STATE_SHIFT_IR);
        for (size_t i = 0; i < bits.size(); ++i)
            steps.push_back({static_cast<unsigned char>(i + 1 == bits.size() ? 1 : 0), static_cast<unsigned char>(bits[i] ? 1 : 0),
                             i + 1 == bits.size() ? STATE_EXIT1_IR : STATE_SHIFT_IR});
        steps.push_back(StepInto(STATE_EXIT1_IR, STATE_UPDATE_IR));
        steps.push_back(StepInto(STATE_UPDATE_IR, STATE_RUN_TEST_IDLE));
        ASSERT_TRUE(engine.Run(steps));
    };
    CBits ir(8, true);
    ir.Append(CBits(6, true));
    ir.Append(BitsOf({0, 1, 0, 0}));
    clickIr(ir);
    std::string strError;
    EXPECT_FALSE(address.CanSend(false, 32, strError));
    EXPECT_EQ(0u, strError.find("Device 1 holds an instruction that was not sent to it by SEND-IR")) << strError;
    EXPECT_TRUE(address.CanSend(true, 6, strError)) << "an instruction puts it right";

    // All ones into the others: they are in BYPASS, one bit each.
    ir.resize(14);
    ir.resize(18, true);
    clickIr(ir);
    EXPECT_TRUE(address.CanSend(false, 32, strError)) << strError;
    address.Padding(false, nHeader, nTrailer);
    EXPECT_EQ(1u, nHeader);
    EXPECT_EQ(1u, nTrailer);

    ASSERT_TRUE(engine.Reset());
    address.Padding(false, nHeader, nTrailer);
    EXPECT_EQ(32u, nHeader) << "the reset seen: IDCODEs again";
    EXPECT_EQ(32u, nTrailer);
    CableOff();
    SetCablePort(pBefore);
}

TEST(ChainScanTest, TheSimulatedChainIsThreeDevicesWhoseLengthsMustBeGiven)
{
    CableName cable;
    std::string strError;
    ASSERT_TRUE(ParseCableName("sim:chain", cable, strError)) << strError;
    EXPECT_EQ("simulated chain of three devices", DescribeCable(cable));
    const std::shared_ptr<ICable> port = MakeCable(cable, FtdiPinMap());
    ChainScan scan;
    {
        CCableOn on(port.get());
        CTapEngine engine{&TestCable()};
        engine.SetPaced(false);
        EXPECT_EQ(Ended::Done, ScanChain(engine, {}, scan));
        EXPECT_NE(std::string::npos, scan.strProblem.find("irlen=4,6,8"));
        EXPECT_EQ(Ended::Done, ScanChain(engine, {4, 6, 8}, scan));
    }
    std::vector<std::string> lines;
    for (size_t i = 0; i < scan.devices.size(); ++i)
        lines.push_back(FormatChainDevice(i + 1, scan.devices[i]));
    EXPECT_EQ((std::vector<std::string>{"1  IR 4  IDCODE 0x1ABCD093  Xilinx  part 0xABCD  version 1",
                                        "2  IR 6  IDCODE 0x35678043  Lattice Semi.  part 0x5678  version 3",
                                        "3  IR 8  IDCODE none"}),
              lines);
}

// Lengths typed for one chain come back for that chain alone: another cable, or the same cable
// with other devices, finds none; the newest chains are kept, and a forgotten one goes.
TEST(KeptIrLengthsTest, LengthsAreKeptForTheirChainAlone)
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(sizeof(folder), folder);
    const std::string strIni = std::string(folder) + "morva-kept-" + std::to_string(::GetCurrentProcessId()) + ".ini";
    ChainDevice xilinx, none;
    xilinx.bIdcode = true;
    xilinx.nIdcode = 0x1ABCD093;
    const std::string strChain = ChainIdentity("sim:chain", {xilinx, none});
    EXPECT_EQ("sim:chain 1ABCD093 -", strChain);
    std::string strError, strLengths;
    ASSERT_TRUE(KeepIrLengths(strIni, strChain, "4,8", strError)) << strError;
    EXPECT_TRUE(FindKeptIrLengths(strIni, strChain, strLengths));
    EXPECT_EQ("4,8", strLengths);
    EXPECT_FALSE(FindKeptIrLengths(strIni, ChainIdentity("sim", {xilinx, none}), strLengths));
    EXPECT_FALSE(FindKeptIrLengths(strIni, ChainIdentity("sim:chain", {xilinx}), strLengths));
    // A cable whose name holds '=' and ';' is one more name.
    const std::string strOdd = ChainIdentity("sim:bsdl=a b;c.bsd", {xilinx});
    ASSERT_TRUE(KeepIrLengths(strIni, strOdd, "6", strError)) << strError;
    EXPECT_TRUE(FindKeptIrLengths(strIni, strOdd, strLengths));
    EXPECT_EQ("6", strLengths);
    // Typed again: replaced, not added.
    ASSERT_TRUE(KeepIrLengths(strIni, strChain, "4,6", strError)) << strError;
    EXPECT_TRUE(FindKeptIrLengths(strIni, strChain, strLengths));
    EXPECT_EQ("4,6", strLengths);
    // The oldest go past the limit; the newest stay.
    for (size_t i = 0; i < KEPT_CHAINS; ++i)
        ASSERT_TRUE(KeepIrLengths(strIni, "lpt chain" + std::to_string(i), "2", strError)) << strError;
    EXPECT_FALSE(FindKeptIrLengths(strIni, strChain, strLengths));
    EXPECT_TRUE(FindKeptIrLengths(strIni, "lpt chain0", strLengths));
    ASSERT_TRUE(KeepIrLengths(strIni, "lpt chain0", "", strError)) << strError;
    EXPECT_FALSE(FindKeptIrLengths(strIni, "lpt chain0", strLengths));
    EXPECT_TRUE(FindKeptIrLengths(strIni, "lpt chain1", strLengths));
    ::DeleteFileA(strIni.c_str());
}

TEST(IdcodeTest, NamesTheMakerFromItsBankAndCode)
{
    const IdcodeFields fields = SplitIdcode(0x2BA01477);
    EXPECT_EQ(2u, fields.nVersion);
    EXPECT_EQ(0xBA01u, fields.nPart);
    EXPECT_EQ(5u, fields.nBank);
    EXPECT_EQ(0x3Bu, fields.nCode);
    EXPECT_EQ("Xilinx", MakerName(1, 0x49));
    EXPECT_EQ("Altera", MakerName(1, 0x6E));
    EXPECT_EQ("unknown maker (bank 3, code 0x00)", MakerName(3, 0x00));
    EXPECT_FALSE(IsPlausibleIdcode(0xFFFFFFFF));
    EXPECT_FALSE(IsPlausibleIdcode(0x10003092));
}

TEST(IrLengthsTest, TakesLengthsFromTheTdiSideAndRefusesAnythingElse)
{
    std::vector<int> lengths;
    std::string strError;
    ASSERT_TRUE(ParseIrLengths("4, 6,8", lengths, strError));
    EXPECT_EQ((std::vector<int>{4, 6, 8}), lengths);
    for (const char* pszBad : {"", "4,,6", "4,6,", "1", "65", "4;6", "-4", "x"})
    {
        EXPECT_FALSE(ParseIrLengths(pszBad, lengths, strError)) << pszBad;
        EXPECT_NE(std::string::npos, strError.find("4,6,8")) << pszBad;
    }
}
