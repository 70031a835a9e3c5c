#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_port.h"
#include "bsdl/BoundaryPins.h"
#include "bsdl/Bsdl.h"
#include "bsdl/BsdlLibrary.h"
#include "cable/cable.h"
#include "chain/BoundaryScan.h"
#include "chain/ChainScan.h"
#include "engine/TapEngine.h"
#include "ports/sim_port.h"
#include "temporary.h"
#include "test_bits.h"

namespace {

// A chip written as a careful vendor writes one.
const char TIDY[] = R"BSDL(-- a comment before the entity
entity TIDY is
  generic (PHYSICAL_PIN_MAP : string := "QFN8");
  port (TCK, TMS, TDI: in bit; TDO: out bit; A: in bit_vector(1 to 2); Y: inout bit; P: linkage bit);
  use STD_1149_1_2001.all;
  attribute PIN_MAP of TIDY : entity is PHYSICAL_PIN_MAP;
  constant QFN8 : PIN_MAP_STRING := "TCK:1, TMS:2, TDI:3, TDO:4, A:(5,6), Y:7, P:8";
  attribute INSTRUCTION_LENGTH of TIDY : entity is 3;
  attribute INSTRUCTION_OPCODE of TIDY : entity is "BYPASS (111, 110), EXTEST (000), SAMPLE (001), IDCODE (010), PRIV (011)";
  attribute INSTRUCTION_CAPTURE of TIDY : entity is "X01";
  attribute IDCODE_REGISTER of TIDY : entity is "XXXX0000000000000001000010010111";
  attribute USERCODE_REGISTER of TIDY : entity is "00000000000000000000000000000001";
  attribute REGISTER_ACCESS of TIDY : entity is "PRIVATE[12] (PRIV), BOUNDARY (EXTEST, SAMPLE)";
  attribute BOUNDARY_LENGTH of TIDY : entity is 5;
  attribute BOUNDARY_REGISTER of TIDY : entity is
    "0 (BC_1, A(1), input, X), 1 (BC_1, A(2), input, 1), 2 (BC_1, Y, output3, 0, 3, 0, Z), " &
    "3 (BC_1, *, control, 0), 4 (BC_1, Y, input, X)";
end TIDY;
)BSDL";

// The same chip as a hurried one: any case, attributes in another order, strings broken across
// lines with & at either end, comments everywhere, the TAP clock given as a record.
const char UNTIDY[] = R"BSDL(library IEEE; use IEEE.std_logic_1164.all;
ENTITY tidy IS
  GENERIC (physical_pin_map : STRING := "QFN8");
  PORT (tck: IN BIT; tms: IN BIT; tdi: IN BIT; tdo: OUT BIT;
        a: IN BIT_VECTOR (1 TO 2); -- two inputs
        y: INOUT BIT; p: LINKAGE BIT);
  ATTRIBUTE boundary_register OF tidy : ENTITY IS
    "0 (BC_1, a(1), INPUT, X)," &
    "1 (BC_1, a(2), input, 1), 2 (BC_1, y, Output3, 0, 3, 0, Z)"
    & ", 3 (BC_1, *, CONTROL, 0), "  -- the enable
    & "4 (BC_1, y, input, X)";
  attribute BOUNDARY_LENGTH of tidy : entity is 5;
  attribute TAP_SCAN_CLOCK of tck : signal is (1.0e6, BOTH);
  attribute instruction_capture of tidy : entity is "x01";
  attribute INSTRUCTION_OPCODE of tidy : entity is
    "bypass (111, " &
    "110), extest (000), sample (001), idcode (010), priv (011)";
  attribute INSTRUCTION_LENGTH of tidy : entity is 3;
  attribute IDCODE_REGISTER of tidy : entity is "xxxx" & -- version
    "0000000000000001" & "00001001011" & "1";
  attribute REGISTER_ACCESS of tidy : entity is "private[12] (priv), boundary (extest, sample)";
  attribute USERCODE_REGISTER of tidy : entity is "0000000000000000000000000000000" & "1";
  constant qfn8 : PIN_MAP_STRING := "TCK:1, TMS:2, TDI:3, TDO:4, " &
    "A:(5,6), Y:7, P:8";
end tidy;
package IGNORED is end IGNORED;
)BSDL";

BsdlFile Parse(const std::string& text)
{
    BsdlFile file;
    std::string strError;
    EXPECT_TRUE(ParseBsdl(text, "chip.bsd", file, strError)) << strError;
    return file;
}

TEST(BsdlReadTest, EveryAttributeIsRead)
{
    const BsdlFile file = Parse(TIDY);
    EXPECT_EQ("TIDY", file.strEntity);
    EXPECT_EQ("QFN8", file.strPackage);
    ASSERT_EQ(7u, file.ports.size());
    EXPECT_EQ((std::vector<std::string>{"5", "6"}), file.ports[4].pins);
    EXPECT_EQ(BsdlDirection::Linkage, file.ports[6].direction);
    EXPECT_EQ(3u, file.nIrLength);
    EXPECT_EQ("X01", file.strIrCapture);
    EXPECT_EQ((std::vector<std::string>{"111", "110"}), file.Instruction("bypass")->opcodes);
    EXPECT_EQ("XXXX0000000000000001000010010111", file.strIdcode);
    EXPECT_EQ("00000000000000000000000000000001", file.strUsercode);
    EXPECT_EQ(12u, file.RegisterLength(*file.Instruction("PRIV")));
    EXPECT_EQ(5u, file.RegisterLength(*file.Instruction("SAMPLE")));
    EXPECT_EQ(32u, file.RegisterLength(*file.Instruction("IDCODE")));  // DEVICE_ID, not named in the file
    EXPECT_EQ(1u, file.RegisterLength(*file.Instruction("BYPASS")));
    ASSERT_EQ(5u, file.cells.size());
    const BsdlCell& y = file.cells[2];
    EXPECT_EQ(BsdlFunction::Output3, y.function);
    EXPECT_EQ("Y", y.strPort);
    EXPECT_EQ('0', y.cSafe);
    EXPECT_EQ(3, y.nControl);
    EXPECT_EQ('0', y.cDisable);
    EXPECT_EQ("Z", y.strResult);
    EXPECT_EQ('1', file.cells[1].cSafe);
    EXPECT_EQ("A(2)", file.cells[1].strPort);
}

// An instruction by name, as SEND-IR and --ir take it: any case, or the IR list's line with one
// of its opcodes; an opcode that is not its own is refused, a word that names none is left alone.
TEST(BsdlReadTest, AnInstructionIsFoundByNameOrByTheListsLine)
{
    const BsdlFile file = Parse(TIDY);
    CBits bits;
    std::string strError;
    EXPECT_EQ(NamedInstruction::Found, InstructionByName(file, "bypass", bits, strError));
    EXPECT_EQ(BitsOf({1, 1, 1}), bits);
    EXPECT_EQ(NamedInstruction::Found, InstructionByName(file, " BYPASS  110 ", bits, strError));
    EXPECT_EQ(BitsOf({0, 1, 1}), bits) << "the list's second opcode, bit 0 first";
    EXPECT_EQ(NamedInstruction::WrongOpcode, InstructionByName(file, "BYPASS 101", bits, strError));
    EXPECT_EQ("101 is no opcode of BYPASS in chip.bsd.", strError);
    EXPECT_EQ(NamedInstruction::NoSuchName, InstructionByName(file, "3'b111", bits, strError));
}

TEST(BsdlReadTest, TheSyntaxVariationsReadAsTheSameChip)
{
    const BsdlFile tidy = Parse(TIDY);
    const BsdlFile untidy = Parse(UNTIDY);
    EXPECT_EQ(DescribeBsdl(tidy), DescribeBsdl(untidy));
    ASSERT_EQ(tidy.cells.size(), untidy.cells.size());
    for (size_t i = 0; i < tidy.cells.size(); ++i)
    {
        EXPECT_EQ(tidy.cells[i].strPort, untidy.cells[i].strPort) << i;
        EXPECT_EQ(tidy.cells[i].function, untidy.cells[i].function) << i;
        EXPECT_EQ(tidy.cells[i].nControl, untidy.cells[i].nControl) << i;
    }
    EXPECT_EQ(tidy.ports[4].pins, untidy.ports[4].pins);
}

TEST(BsdlReadTest, IdcodesAndCapturesMatchWithTheirXBits)
{
    const BsdlFile file = Parse(TIDY);
    EXPECT_TRUE(file.MatchesIdcode(0x00001097));
    EXPECT_TRUE(file.MatchesIdcode(0xF0001097));  // any version
    EXPECT_FALSE(file.MatchesIdcode(0x00002097));
    EXPECT_TRUE(file.MatchesIrCapture(BitsOf({1, 0, 1})));  // bit 0 first: "101"
    EXPECT_TRUE(file.MatchesIrCapture(BitsOf({1, 0, 0})));
    EXPECT_FALSE(file.MatchesIrCapture(BitsOf({0, 1, 1})));
    EXPECT_EQ("IDCODE", file.InstructionOf(BitsOf({0, 1, 0}))->strName);  // 3'b010
    EXPECT_EQ("BYPASS", file.InstructionOf(BitsOf({0, 1, 1}))->strName);  // 110, its second opcode
    EXPECT_EQ("IDCODE  010", BsdlFile::ListEntry(*file.Instruction("IDCODE")));
}

// Each refusal names the line where the file goes wrong, and what was expected there.
// A cell described twice as an input and a control is one cell serving both, as 1149.1 allows;
// twice as inputs it is refused.
TEST(BsdlReadTest, AMergedCellIsReadAsBothItsDescriptions)
{
    std::string text = TIDY;
    const std::pair<const char*, const char*> merged[] = {
        {"BOUNDARY_LENGTH of TIDY : entity is 5", "BOUNDARY_LENGTH of TIDY : entity is 4"},
        {"4 (BC_1, Y, input, X)", "3 (BC_1, Y, input, X)"},
    };
    for (const auto& change : merged)
        text.replace(text.find(change.first), strlen(change.first), change.second);
    const BsdlFile file = Parse(text);
    ASSERT_EQ(4u, file.cells.size());
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    ASSERT_EQ(3u, pins.size());
    EXPECT_EQ("in 3 out 2 control 3", pins[2].Cells());
    EXPECT_EQ(BsdlFunction::Control, file.cells[3].function);

    const std::string inputs = std::string(text).replace(text.find("3 (BC_1, *, control, 0)"), 23, "3 (BC_1, A(1), input, X)");
    BsdlFile refused;
    std::string strError;
    EXPECT_FALSE(ParseBsdl(inputs, "chip.bsd", refused, strError));
    EXPECT_NE(std::string::npos, strError.find("chip.bsd:17: cell 3 is described twice, as input and input")) << strError;
}

// What a file declares costs nothing until it is given: 200 ports of a million elements each and
// a boundary of a million cells, in a file of some kilobytes.
TEST(BsdlReadTest, DeclaredSizesCostOnlyWhatTheFileGives)
{
    std::string ports, wide = TIDY;
    for (int i = 0; i < 200; ++i)
        ports += "; W" + std::to_string(i) + ": in bit_vector(0 to 999999)";
    wide.replace(wide.find("; P: linkage bit"), 16, "; P: linkage bit" + ports);
    wide.replace(wide.find("1 (BC_1, A(2), input, 1)"), 24, "1 (BC_1, W199(999999), input, 1)");
    const size_t nMap = wide.find("  attribute PIN_MAP");
    wide.erase(nMap, wide.find("attribute INSTRUCTION_LENGTH") - nMap);
    const char* pszGeneric = "generic (PHYSICAL_PIN_MAP : string := \"QFN8\");";
    wide.replace(wide.find(pszGeneric), strlen(pszGeneric), "");
    const BsdlFile file = Parse(wide);
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    ASSERT_EQ(3u, pins.size());
    EXPECT_EQ("A(1)", pins[0].strPort);
    EXPECT_EQ("Y", pins[1].strPort);
    EXPECT_EQ("W199(999999)", pins[2].strPort);

    std::string longest = TIDY;
    longest.replace(longest.find("entity is 5"), 11, "entity is 999999");
    BsdlFile refused;
    std::string strError;
    EXPECT_FALSE(ParseBsdl(longest, "chip.bsd", refused, strError));
    EXPECT_EQ("chip.bsd:17: cell 5 of the 999999 is not described.", strError);
}

TEST(BsdlReadTest, AFaultyFileIsRefusedAtItsLine)
{
    struct Case
    {
        const char* pszFind;
        const char* pszReplace;
        const char* pszError;
    };
    const Case cases[] = {
        {"entity TIDY is", "entity TIDY", "chip.bsd:3: \"IS\" was expected, not \"generic\"."},
        {"Y: inout bit", "Y: sideways bit", "chip.bsd:4: a direction (in, out, inout, buffer or linkage) was expected"},
        {"bit_vector(1 to 2)", "bit_vector(2 to 1)", "chip.bsd:4: the vector's range runs the wrong way for \"TO\""},
        {"A:(5,6)", "A:(5)", "chip.bsd:7: the port A has 2 elements, the pin map gives it 1 pin."},
        {"is 3;", "is three;", "chip.bsd:8: INSTRUCTION_LENGTH was expected as a number"},
        {"IDCODE (010)", "IDCODE (0100)", "chip.bsd:9: IDCODE's opcode of 3 bits was expected, not \"0100\" (4)."},
        {"\"X01\"", "\"X21\"", "chip.bsd:10: INSTRUCTION_CAPTURE of 0, 1 and X was expected, not \"X21\"."},
        {"XXXX0000", "XXXX000", "chip.bsd:11: IDCODE_REGISTER of 32 bits was expected, not 31."},
        {"PRIVATE[12] (PRIV)", "PRIVATE (PRIV)", "chip.bsd:13: the register PRIVATE's length was expected in brackets"},
        {"(EXTEST, SAMPLE)", "(EXTEST, SNAPSHOT)", "chip.bsd:13: REGISTER_ACCESS names the instruction SNAPSHOT, which has no opcode."},
        {"1 (BC_1, A(2)", "1 (BC_1, A(3)", "chip.bsd:16: cell 1 names A(3), which the port list does not have."},
        {"output3, 0, 3, 0, Z", "output3, 0, 1, 0, Z", "chip.bsd:16: cell 2's control cell 1 is no control cell."},
        {"4 (BC_1, Y, input, X)", "4 (BC_1, Y, sideways, X)", "chip.bsd:17: cell 4's function"},
        {"\"3 (BC_1, *, control, 0), 4 (BC_1, Y, input, X)\"", "\"3 (BC_1, *, control, 0)\"",
         "chip.bsd:17: cell 4 of the 5 is not described."},
        {"  attribute BOUNDARY_LENGTH of TIDY : entity is 5;\n", "", "chip.bsd:17: the attribute BOUNDARY_LENGTH was expected"},
        {"end TIDY;", "end OTHER;", "chip.bsd:18: \"end TIDY;\" was expected, not \"OTHER\"."},
        {"\"QFN8\");", "\"QFN8);", "chip.bsd:3: a string ends on the line it starts"},
    };
    for (const Case& c : cases)
    {
        std::string text = TIDY;
        const size_t nAt = text.find(c.pszFind);
        ASSERT_NE(std::string::npos, nAt) << c.pszFind;
        text.replace(nAt, strlen(c.pszFind), c.pszReplace);
        BsdlFile file;
        file.strEntity = "untouched";
        std::string strError;
        EXPECT_FALSE(ParseBsdl(text, "chip.bsd", file, strError)) << c.pszReplace;
        EXPECT_EQ(0u, strError.find(c.pszError)) << strError;
        EXPECT_EQ("untouched", file.strEntity) << "nothing of a refused file is kept";
    }
}

// COMPLIANCE_PATTERNS: the ports the board must hold, each with its level from the first
// pattern; a pattern of the wrong length, or a list not closed, refused at its line.
TEST(BsdlReadTest, TheCompliancePinsAreReadWithTheirFirstPattern)
{
    const std::string strBefore = "  attribute INSTRUCTION_LENGTH";
    const auto with = [&](const std::string& strPatterns) {
        std::string text = TIDY;
        text.insert(text.find(strBefore), "  attribute COMPLIANCE_PATTERNS of TIDY : entity is \"" + strPatterns + "\";\n");
        return text;
    };
    BsdlFile file;
    std::string strError;
    ASSERT_TRUE(ParseBsdl(with("(A(1), y) (10, 01)"), "chip.bsd", file, strError)) << strError;
    EXPECT_EQ((std::vector<std::pair<std::string, char>>{{"A(1)", '1'}, {"Y", '0'}}), file.compliance);
    const std::pair<const char*, const char*> refused[] = {
        {"(A(1), Y) (1)", "chip.bsd:8: a pattern of COMPLIANCE_PATTERNS of 2 bits was expected, not \"1\" (1)."},
        {"(A(1) Y) (10)", "chip.bsd:8: \")\" after COMPLIANCE_PATTERNS's ports was expected, not \"Y)\"."},
        {"(Y) (1) (0)", "chip.bsd:8: the end of COMPLIANCE_PATTERNS was expected, not \"(0)\"."},
    };
    for (const auto& patterns : refused)
    {
        EXPECT_FALSE(ParseBsdl(with(patterns.first), "chip.bsd", file, strError)) << patterns.first;
        EXPECT_EQ(patterns.second, strError);
    }
}

TEST(BoundaryPinsTest, PinsReadAndDriveThroughTheirCells)
{
    const BsdlFile file = Parse(TIDY);
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    ASSERT_EQ(3u, pins.size());  // A(1), A(2), Y: the TAP's pins have no cells
    const BoundaryPin& y = pins[2];
    EXPECT_EQ("7", y.strPin);
    EXPECT_EQ("in 4 out 2 control 3", y.Cells());
    EXPECT_EQ(2, FindPin(pins, "y"));
    EXPECT_EQ(1, FindPin(pins, "6"));
    // Cells 0..4: A(1)=1, A(2)=0, Y driven 1, control on (1), Y read 1.
    EXPECT_EQ("1", PinReading(pins[0], BitsOf({1, 0, 1, 1, 1})));
    EXPECT_EQ("1, drives 1", PinReading(y, BitsOf({1, 0, 1, 1, 1})));
    EXPECT_EQ("0, off", PinReading(y, BitsOf({1, 0, 1, 0, 0})));
    // Safe values (X as 0), then Y alone driven.
    const auto driven = [&](const std::vector<PinDrive>& drives) {
        CBits bits;
        std::string strError;
        EXPECT_TRUE(DrivenBoundary(file, pins, drives, bits, strError)) << strError;
        return bits;
    };
    EXPECT_EQ(BitsOf({0, 1, 0, 0, 0}), SafeBoundary(file));
    EXPECT_EQ(BitsOf({0, 1, 0, 0, 0}), driven({}));
    EXPECT_EQ(BitsOf({0, 1, 1, 1, 0}), driven({PinDrive::Safe, PinDrive::Safe, PinDrive::High}));
    EXPECT_EQ(BitsOf({0, 1, 0, 0, 0}), driven({PinDrive::Safe, PinDrive::Safe, PinDrive::Off}));
    // Under EXTEST the driver is what was loaded, whatever the output cell captured.
    const CBits loaded = driven({PinDrive::Safe, PinDrive::Safe, PinDrive::High});
    EXPECT_EQ("1, drives 1", PinReading(y, BitsOf({1, 0, 0, 0, 1}), &loaded));
}

// Two outputs switched by one control cell whose safe value is X, one of them with no safe level;
// a third output whose control's safe value is X too, with the other disable value.
const char GROUPED[] = R"BSDL(entity GROUPED is
  port (TCK, TMS, TDI: in bit; TDO: out bit; P: out bit_vector(0 to 1); Q: out bit; R: in bit);
  use STD_1149_1_2001.all;
  attribute INSTRUCTION_LENGTH of GROUPED : entity is 2;
  attribute INSTRUCTION_OPCODE of GROUPED : entity is "BYPASS (11), EXTEST (00), SAMPLE (01)";
  attribute INSTRUCTION_CAPTURE of GROUPED : entity is "01";
  attribute BOUNDARY_LENGTH of GROUPED : entity is 6;
  attribute BOUNDARY_REGISTER of GROUPED : entity is
    "0 (BC_1, P(0), output3, 0, 2, 1, Z), 1 (BC_1, P(1), output3, X, 2, 1, Z), 2 (BC_1, *, control, X), " &
    "3 (BC_1, Q, output3, 1, 4, 0, Z), 4 (BC_1, *, control, X), 5 (BC_1, R, input, X)";
end GROUPED;
)BSDL";

TEST(BoundaryPinsTest, OnlyThePinsSetAndTheirDriverGroupDriveAndEveryContradictionIsRefused)
{
    const BsdlFile file = Parse(GROUPED);
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    ASSERT_EQ(4u, pins.size());  // P(0), P(1), Q, R
    EXPECT_EQ((std::vector<size_t>{0, 1}), DriverGroup(pins, 0));
    EXPECT_EQ((std::vector<size_t>{2}), DriverGroup(pins, 2));
    // Nobody set anything: both control cells hold the value that switches their outputs off.
    EXPECT_EQ(BitsOf({0, 0, 1, 1, 0, 0}), SafeBoundary(file));
    const auto drive = [&](std::vector<PinDrive> drives, CBits& bits, std::string& strError) {
        bits.clear();
        return DrivenBoundary(file, pins, drives, bits, strError);
    };
    CBits bits;
    std::string strError;
    ASSERT_TRUE(drive({PinDrive::Safe, PinDrive::Safe, PinDrive::Low}, bits, strError)) << strError;
    EXPECT_EQ(BitsOf({0, 0, 1, 0, 1, 0}), bits) << "Q alone, low";
    // P(0) driven switches P(1) on too, which has no level to drive until it is given one.
    EXPECT_FALSE(drive({PinDrive::High}, bits, strError));
    EXPECT_TRUE(bits.empty());
    EXPECT_NE(std::string::npos, strError.find("switches on the driver of P(1)")) << strError;
    EXPECT_NE(std::string::npos, strError.find("set P(1) high or low first")) << strError;
    ASSERT_TRUE(drive({PinDrive::High, PinDrive::Low}, bits, strError)) << strError;
    EXPECT_EQ(BitsOf({1, 0, 0, 1, 0, 0}), bits);
    // One of a group off while another drives: refused, naming both, whatever the order.
    EXPECT_FALSE(drive({PinDrive::Off, PinDrive::High}, bits, strError));
    EXPECT_NE(std::string::npos, strError.find("P(0) and P(1) share one control cell (2)")) << strError;
    EXPECT_FALSE(drive({PinDrive::Low, PinDrive::Off}, bits, strError));
    EXPECT_NE(std::string::npos, strError.find("P(1) cannot be off while P(0) drives")) << strError;
    ASSERT_TRUE(drive({PinDrive::Off, PinDrive::Off}, bits, strError)) << strError;
    EXPECT_EQ(BitsOf({0, 0, 1, 1, 0, 0}), bits);
    // What the pins drive comes from the bits loaded; BC_1 output cells captured the chip's 0s.
    ASSERT_TRUE(drive({PinDrive::High, PinDrive::High}, bits, strError)) << strError;
    const CBits captured(6, false);
    EXPECT_EQ("drives 1", PinReading(pins[1], captured, &bits));
    EXPECT_EQ("off", PinReading(pins[2], captured, &bits));
    EXPECT_EQ("0", PinReading(pins[3], captured, &bits));
}

// The simulated chip of a file, on the cable: the scan finds its file, SAMPLE reads the pattern
// on its inputs, EXTEST drives one pin and leaves every other at its safe value.
class BsdlChipTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strPath = WriteTemporary("morva-tidy.bsd", TIDY);
        m_pPort = MakeBsdlSimulatedPort(m_strPath);
        ASSERT_TRUE(m_pPort->IsAccessible()) << m_pPort->AccessProblem();
        SetCablePort(m_pPort.get());
        CableOn();
        m_tap.SetPaced(false);
        m_library.AddFolder(m_strPath.substr(0, m_strPath.find_last_of("\\/")));
    }
    void TearDown() override
    {
        CableOff();
        SetCablePort(nullptr);
        RemoveTemporary(m_strPath);
    }

    std::string m_strPath;
    std::shared_ptr<CParallelPort> m_pPort;
    CTapEngine m_tap{&TestCable()};
    CBsdlLibrary m_library;
};

TEST(BoundaryPinsTest, APinDriveIsANameThenOneOfFourLevels)
{
    std::string strPin, strError;
    PinDrive drive = PinDrive::Safe;
    ASSERT_TRUE(ParsePinDrive("LED(0)=1", strPin, drive, strError)) << strError;
    EXPECT_EQ("LED(0)", strPin);
    EXPECT_EQ(PinDrive::High, drive);
    ASSERT_TRUE(ParsePinDrive("12=0", strPin, drive, strError)) << strError;
    EXPECT_EQ(PinDrive::Low, drive);
    ASSERT_TRUE(ParsePinDrive("a=b=OFF", strPin, drive, strError)) << strError;
    EXPECT_EQ("a=b", strPin) << "the level follows the last =";
    EXPECT_EQ(PinDrive::Off, drive);
    ASSERT_TRUE(ParsePinDrive("x=Safe", strPin, drive, strError)) << strError;
    EXPECT_EQ(PinDrive::Safe, drive);
    for (const char* pszBad : {"LED(0)", "=1", "LED(0)=", "LED(0)=2", "LED(0)=high"})
        EXPECT_FALSE(ParsePinDrive(pszBad, strPin, drive, strError)) << pszBad;
}

TEST_F(BsdlChipTest, TheScanFindsTheFileAndThePinsReadAndDrive)
{
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(m_tap, {}, scan, &m_library));
    ASSERT_EQ(1u, scan.devices.size());
    ASSERT_NE(nullptr, scan.devices[0].pBsdl);
    EXPECT_EQ("1  IR 3  IDCODE 0x00001097  Protocol Engines  part 0x0001  version 0  BSDL TIDY QFN8",
              FormatChainDevice(1, scan.devices[0]));
    const BsdlFile& file = *scan.devices[0].pBsdl;
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    CChainAddress address(scan.devices, 1);
    CBits captured;
    std::string strError;
    // The first capture: input 0 (A(1)) high, the others low; the chip's own logic drives 0.
    ASSERT_EQ(Ended::Done, SampleBoundary(m_tap, address, file, captured));
    EXPECT_EQ("1", PinReading(pins[0], captured));
    EXPECT_EQ("0", PinReading(pins[1], captured));
    EXPECT_EQ('Z', SimulatedBsdlChip()->PinDriven(0, 2));

    const std::vector<PinDrive> high = {PinDrive::Safe, PinDrive::Safe, PinDrive::High};
    ASSERT_EQ(Ended::Done, DriveBoundary(m_tap, address, file, pins, high, false, captured));
    EXPECT_EQ('1', SimulatedBsdlChip()->PinDriven(0, 2));
    // Y's output and control cells are BC_1: they captured the chip's own logic, not the level
    // driven; what drives is read from the bits loaded, the level from the input cell.
    EXPECT_EQ(0, captured[2]);
    EXPECT_EQ(0, captured[3]);
    CBits loaded;
    ASSERT_TRUE(DrivenBoundary(file, pins, high, loaded, strError)) << strError;
    EXPECT_EQ("1, drives 1", PinReading(pins[2], captured, &loaded));  // Y reads what it drives
    ASSERT_EQ(Ended::Done, DriveBoundary(m_tap, address, file, pins, {PinDrive::Safe, PinDrive::Safe, PinDrive::Off},
                                           true, captured));
    EXPECT_EQ('Z', SimulatedBsdlChip()->PinDriven(0, 2));
    EXPECT_EQ(0u, SimulatedBsdlChip()->Instruction(0)) << "still in EXTEST (000)";
}

// The same chip with BC_2 output and control cells: they capture what their latches drive.
TEST_F(BsdlChipTest, BC2CellsCaptureWhatTheyDrive)
{
    std::string text = TIDY;
    for (const char* pszCell : {"2 (BC_1, Y", "3 (BC_1, *"})
        text.replace(text.find(pszCell), strlen(pszCell), std::string(pszCell).replace(6, 1, "2"));
    ::DeleteFileA(m_strPath.c_str());
    m_strPath = WriteTemporary("morva-tidy.bsd", text);
    CableOff();
    m_pPort = MakeBsdlSimulatedPort(m_strPath);
    ASSERT_TRUE(m_pPort->IsAccessible()) << m_pPort->AccessProblem();
    SetCablePort(m_pPort.get());
    CableOn();
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(m_tap, {}, scan, &m_library));
    ASSERT_NE(nullptr, scan.devices[0].pBsdl);
    const std::vector<BoundaryPin> pins = BoundaryPins(*scan.devices[0].pBsdl);
    CChainAddress address(scan.devices, 1);
    CBits captured;
    ASSERT_EQ(Ended::Done, DriveBoundary(m_tap, address, *scan.devices[0].pBsdl, pins,
                                           {PinDrive::Safe, PinDrive::Safe, PinDrive::High}, false, captured));
    EXPECT_EQ(1, captured[2]);
    EXPECT_EQ(1, captured[3]);
}

TEST_F(BsdlChipTest, AFileThatDisagreesWithTheChainIsNotTaken)
{
    // The same IDCODE, but an IR of 4 bits: the chain's 3 cannot hold it.
    std::string text = TIDY;
    const std::pair<const char*, const char*> wider[] = {
        {"is 3;", "is 4;"},
        {"\"X01\"", "\"0X01\""},
        {"\"BYPASS (111, 110), EXTEST (000), SAMPLE (001), IDCODE (010), PRIV (011)\"",
         "\"BYPASS (1111), EXTEST (0000), SAMPLE (0001), IDCODE (0010), PRIV (0011)\""},
    };
    for (const auto& change : wider)
        text.replace(text.find(change.first), strlen(change.first), change.second);
    ::DeleteFileA(m_strPath.c_str());
    m_strPath = WriteTemporary("morva-tidy.bsd", text);
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(m_tap, {}, scan, &m_library));
    EXPECT_EQ(nullptr, scan.devices[0].pBsdl);
    EXPECT_EQ(3, scan.devices[0].nIrLength);
    ASSERT_EQ(1u, scan.bsdlProblems.size());
    EXPECT_NE(std::string::npos, scan.bsdlProblems[0].find("is not taken")) << scan.bsdlProblems[0];
}

// A chip with nothing but a TAP and one internal cell: its IR and IDCODE as given.
std::string SmallChip(const std::string& strEntity, const std::string& strCapture, const std::string& strIdcode)
{
    const std::string strOnes(strCapture.size(), '1');
    std::string text = "entity " + strEntity + " is\n port (TDI, TMS, TCK : in bit; TDO : out bit);\n"
                       " attribute INSTRUCTION_LENGTH of " + strEntity + " : entity is " +
                       std::to_string(strCapture.size()) + ";\n"
                       " attribute INSTRUCTION_OPCODE of " + strEntity + " : entity is \"BYPASS (" + strOnes + ")\";\n"
                       " attribute INSTRUCTION_CAPTURE of " + strEntity + " : entity is \"" + strCapture + "\";\n";
    if (!strIdcode.empty())
        text += " attribute IDCODE_REGISTER of " + strEntity + " : entity is \"" + strIdcode + "\";\n";
    return text + " attribute BOUNDARY_LENGTH of " + strEntity + " : entity is 1;\n"
                  " attribute BOUNDARY_REGISTER of " + strEntity + " : entity is \"0 (BC_1, *, internal, 0)\";\n"
                  "end " + strEntity + ";\n";
}

// The simulated chain of three (IR 4 and 6 with IDCODEs, then IR 8 without): files make its
// lengths known where the scan alone cannot tell them.
class ChainFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { m_tap.SetPaced(false); }
    void TearDown() override
    {
        for (const std::string& strPath : m_written)
            RemoveTemporary(strPath);
    }
    std::string Write(const std::string& strName, const std::string& text)
    {
        m_written.push_back(WriteTemporary(strName, text));
        return m_written.back();
    }

    CCableOn m_cable{&SimulatedChainPort()};
    CTapEngine m_tap{&TestCable()};
    std::vector<std::string> m_written;
};

TEST_F(ChainFilesTest, TheFilesFoundByIdcodeTellTheLengthsAndABadFileIsSaidAtItsLine)
{
    // 0x1ABCD093 with its version as X; 0x35678043 exactly; and a file that cannot be read.
    const std::string strOne = Write("one.bsd", SmallChip("ONE", "0001", "XXXX1010101111001101000010010011"));
    Write("two.bsdl", SmallChip("TWO", "000001", "00110101011001111000000001000011"));
    Write("broken.bsd", "entity BROKEN is\n  port (TDI : in bit)\nend BROKEN;\n");
    CBsdlLibrary library;
    library.AddFolder(strOne.substr(0, strOne.find_last_of("\\/")));
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(m_tap, {}, scan, &library));
    ASSERT_EQ(3u, scan.devices.size());
    EXPECT_EQ("ONE", scan.devices[0].pBsdl->strEntity);
    EXPECT_EQ("TWO", scan.devices[1].pBsdl->strEntity);
    // Two lengths from the files: the third is what the chain's 18 bits leave.
    EXPECT_EQ(4, scan.devices[0].nIrLength);
    EXPECT_EQ(6, scan.devices[1].nIrLength);
    EXPECT_EQ(8, scan.devices[2].nIrLength);
    EXPECT_EQ("", scan.strProblem);
    ASSERT_EQ(1u, scan.bsdlProblems.size());
    EXPECT_NE(std::string::npos, scan.bsdlProblems[0].find("broken.bsd:3: \";\" after the port list was expected, not \"end\"."))
        << scan.bsdlProblems[0];
}

// A file given again (a board tested twice) is read again in the place of the first reading, not
// kept twice; a file found in a folder is not one given.
TEST_F(ChainFilesTest, AFileGivenAgainTakesThePlaceOfTheFirstReading)
{
    const std::string strOne = Write("one.bsd", SmallChip("ONE", "0001", "XXXX1010101111001101000010010011"));
    CBsdlLibrary library;
    std::string strError;
    ASSERT_TRUE(library.AddFile(strOne, strError)) << strError;
    Write("one.bsd", SmallChip("ONEAGAIN", "0001", "XXXX1010101111001101000010010011"));
    ASSERT_TRUE(library.AddFile(strOne, strError)) << strError;
    ASSERT_NE(nullptr, library.Given(strOne));
    EXPECT_EQ("ONEAGAIN", library.Given(strOne)->strEntity);
    EXPECT_EQ(library.Given(strOne), library.Match(0x1ABCD093));
    const std::string strTwo = Write("two.bsdl", SmallChip("TWO", "000001", "00110101011001111000000001000011"));
    library.AddFolder(strTwo.substr(0, strTwo.find_last_of("\\/")));
    EXPECT_NE(nullptr, library.Match(0x35678043));
    EXPECT_EQ(nullptr, library.Given(strTwo));
}

TEST_F(ChainFilesTest, AFileGivenByHandToADeviceWithoutIdcodeTellsItsLength)
{
    ChainScan scan;
    ASSERT_EQ(Ended::Done, ScanChain(m_tap, {}, scan));
    EXPECT_EQ(0, scan.devices[2].nIrLength);
    auto pWrong = std::make_shared<BsdlFile>();
    std::string strError;
    ASSERT_TRUE(ParseBsdl(SmallChip("WRONG", "0000101", ""), "wrong.bsd", *pWrong, strError)) << strError;
    EXPECT_FALSE(GiveBsdlFile(scan, 3, pWrong, strError));
    EXPECT_EQ(nullptr, scan.devices[2].pBsdl);
    auto pThree = std::make_shared<BsdlFile>();
    ASSERT_TRUE(ParseBsdl(SmallChip("THREE", "00000101", ""), "three.bsd", *pThree, strError)) << strError;
    ASSERT_TRUE(GiveBsdlFile(scan, 3, pThree, strError)) << strError;
    EXPECT_EQ((std::vector<int>{4, 6, 8}),
              (std::vector<int>{scan.devices[0].nIrLength, scan.devices[1].nIrLength, scan.devices[2].nIrLength}));
    EXPECT_EQ("", WhyNotAlone(3, scan));
}

} // namespace
