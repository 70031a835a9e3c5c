// A board's netlist read from KiCad's export and from CSV: the nets and the pins they join, and
// every kind of file refused with its line. The board test on simulated boards of two and three
// chips: every kind of planted fault found and named, a good board found good, the nets that
// cannot be tested said with why, and a chain that is not the board's refused before EXTEST.
#include <gtest/gtest.h>

#include "board/BoardFile.h"
#include "board/BoardRun.h"
#include "board/Netlist.h"
#include "bsdl/BsdlLibrary.h"
#include "cli/BoardTestRun.h"
#include "ports/sim_port.h"
#include "recording_port.h"
#include "temporary.h"

namespace {

// "SDA: U3.12 U7.5" for each net.
std::vector<std::string> Lines(const Netlist& netlist)
{
    std::vector<std::string> lines;
    for (const Net& net : netlist.nets)
    {
        std::string line = net.name + ":";
        for (const NetNode& node : net.nodes)
            line += " " + node.ref + "." + node.pin;
        lines.push_back(line);
    }
    return lines;
}

// As KiCad 7 exports it, abridged: the design and components before the nets, whose names and
// pins are strings, a name with a quote in it, and a net of one pin.
const char KICAD[] = R"NET((export (version "E")
  (design (source "board.kicad_sch") (tool "Eeschema 7.0.10"))
  (components
    (comp (ref "U3") (value "chipA") (footprint "Package_QFP:LQFP-48"))
    (comp (ref "U7") (value "chipB")))
  (nets
    (net (code "1") (name "/SDA")
      (node (ref "U3") (pin "12") (pinfunction "PA12") (pintype "bidirectional"))
      (node (ref "U7") (pin "5") (pintype "input")))
    (net (code "2") (name "GND")
      (node (ref "U3") (pin "24"))
      (node (ref "U7") (pin "8")))
    (net (code "3") (name "Net-(U3-\"X\")")
      (node (ref "U3") (pin "A7")))))
)NET";

} // namespace

TEST(NetlistTest, KicadsNetsAreReadWithTheirPinsAndCsvGivesTheSame)
{
    Netlist netlist;
    std::string strError;
    ASSERT_TRUE(ParseNetlist(KICAD, netlist, strError)) << strError;
    const std::vector<std::string> expected = {"/SDA: U3.12 U7.5", "GND: U3.24 U7.8", "Net-(U3-\"X\"): U3.A7"};
    EXPECT_EQ(expected, Lines(netlist));
    ASSERT_NE(nullptr, netlist.Find("GND"));
    EXPECT_EQ(nullptr, netlist.Find("VCC"));

    // The same board as CSV: a header, a comment, quoted fields, spaces and Windows line ends.
    const char csv[] = "net,ref,pin\r\n# from another tool\r\n/SDA, U3, 12\r\n\"GND\",U3,24\r\n/SDA,U7,5\r\n"
                       "GND,U7,8\r\n\"Net-(U3-\"\"X\"\")\",U3,A7\r\n";
    Netlist fromCsv;
    ASSERT_TRUE(ParseNetlist(csv, fromCsv, strError)) << strError;
    EXPECT_EQ(expected, Lines(fromCsv));
}

TEST(NetlistTest, WhatIsNoNetlistIsRefusedWithItsLine)
{
    const std::pair<std::string, std::string> refused[] = {
        {"(export (nets\n  (net (name \"A\") (node (ref \"U1\") (pin \"1\")))\n", "line 1: a list opened here is never closed"},
        {"(export (nets))\n)", "line 2: a \")\" closes no list"},
        {"(export (nets\n (net (name \"A\") (node (ref \"U1\")))))", "line 2: a node without its ref or its pin"},
        {"(export (nets\n (net (code 1) (node (ref U1) (pin 1)))))", "line 2: a net without its name"},
        {"(export (nets (net (name A) (node (ref U1) (pin 1)))\n (net (name A) (node (ref U2) (pin 1)))))",
         "line 2: the net A is given twice"},
        {"(export (nets (net (name A) (node (ref U1) (pin 1)))\n (net (name B) (node (ref U1) (pin 1)))))",
         "line 2: U1.1 stands on the nets A and B"},
        {"(export (name \"A\nB))", "line 1: a string is never closed"},
        {"(export (components))", "line 1: no (nets ...) list: this is no KiCad netlist (export it with File, Export, Netlist)"},
        {"(" + std::string(100, '('), "line 1: lists nest deeper than 64: this is no KiCad netlist"},
        {"SDA,U3,12\nSCL,U3\n", "line 2: a line is net,ref,pin (SDA,U3,12): \"SCL,U3\""},
        {"SDA,U3,12\nSDA,U3,12\n", "line 2: U3.12 stands on the net SDA twice"},
        {"# nothing\n\n", "line 1: no net,ref,pin line: the netlist is empty"},
    };
    // What each file is refused with; a file taken, or one refused with nets left, says so.
    std::vector<std::string> expected, said;
    for (const auto& file : refused)
    {
        Netlist netlist;
        std::string strError;
        const bool bTaken = ParseNetlist(file.first, netlist, strError);
        said.push_back(bTaken ? "taken: " + file.first : !netlist.nets.empty() ? "nets left: " + strError : strError);
        expected.push_back(file.second);
    }
    EXPECT_EQ(expected, said);
}

namespace {

// Boards in a folder of the test's own: the example board's netlist and chips, and board files
// written for each case.
class BoardTestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::vector<std::string> example = WriteExampleBoard();
        m_files.insert(m_files.begin(), example.begin(), example.end());
        m_strIo = example[1];
        m_strDemo = example[2];
    }
    void TearDown() override
    {
        SetCablePort(nullptr);
        m_pPort.reset();
        for (const std::string& strPath : m_files)
            RemoveTemporary(strPath);
    }

    std::string Write(const std::string& strName, const std::string& text)
    {
        m_files.insert(m_files.begin(), WriteTemporary(strName, text));
        return m_files.front();
    }

    // The simulated board of the file, on the cable.
    void Simulate(const std::string& strBoard)
    {
        m_pPort = MakeBoardSimulatedPort(Write("simulated.ini", strBoard));
        ASSERT_TRUE(m_pPort->IsAccessible()) << m_pPort->AccessProblem();
        SetCablePort(m_pPort.get());
    }

    // The example board with these faults planted, tested as strTested (a board file) says: what
    // the test said, standard error's lines marked "! ", and the status last.
    std::vector<std::string> Test(const std::string& strFaults, const std::string& strTested = std::string(),
                                  bool bExtest = true)
    {
        const std::string strBoard = "[board]\nchain=U1,U2\nnetlist=board.net\n"
                                     "[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n[faults]\n" +
                                     strFaults;
        Simulate(strBoard);
        BoardTestWork work;
        work.pCable = &TestCable();
        work.strPath = Write("tested.ini", strTested.empty() ? strBoard : strTested);
        work.bExtest = bExtest;
        std::vector<std::string> lines;
        const int nStatus = BoardTestCommand(work, std::string(), [&](const std::string& line, bool bError) {
            lines.push_back((bError ? "! " : "") + line);
        });
        lines.push_back("status " + std::to_string(nStatus));
        return lines;
    }

    // The lines that say a fault, a note or the summary: what follows the nets not tested.
    static std::vector<std::string> Findings(const std::vector<std::string>& lines)
    {
        std::vector<std::string> findings;
        for (const std::string& line : lines)
        {
            if (line.compare(0, 12, "not tested  ") != 0)
                findings.push_back(line);
        }
        return findings;
    }

    std::vector<std::string> m_files;  // the last written first: removed before their folder
    std::string m_strDemo, m_strIo;
    std::shared_ptr<CParallelPort> m_pPort;
};

TEST_F(BoardTestTest, AGoodBoardHasNoFaultAndEveryNetNotTestedSaysWhy)
{
    const std::vector<std::string> lines = Test("");
    EXPECT_EQ(std::vector<std::string>({
                  "not tested  SPARE1  one scan pin only: U1.9",
                  "not tested  SENSE  input pins only: U1.10, U2.14",
                  "not tested  EE_WP  a part with no boundary scan on it that could drive the net: U3.7",
                  "not tested  CLK  one scan pin only: U1.6",
                  "not tested  TEST  holds U2's compliance pin TEST at 0",
                  "not tested  TCK  a pin with no cell: U1.1 (TCK), U2.1 (TCK)",
                  "not tested  +3V3  a linkage or power pin: U1.20 (VCC), U2.17 (VDD)",
                  "not tested  GND  a linkage or power pin: U1.19 (GND), U2.18 (VSS)",
                  "8 nets tested, 0 faults, 8 nets not testable",
                  "status 0",
              }),
              lines);
    // Both chips' pins were read under EXTEST, and the reset at the end gave them back.
    ASSERT_NE(nullptr, SimulatedBoardChips());
    EXPECT_LT(0u, SimulatedBoardChips()->Captures(0));
    EXPECT_LT(0u, SimulatedBoardChips()->Captures(1));
    EXPECT_EQ(TapState::TestLogicReset, SimulatedBoardChips()->State());
}

TEST_F(BoardTestTest, EveryKindOfPlantedFaultIsFoundAndNamed)
{
    const std::pair<const char*, std::vector<std::string>> planted[] = {
        // A receiver lifted off its net, and a driver.
        {"open=U2.5", {"open  LED_R  DRIVER U1.11 -> RECEIVER U2.5"}},
        {"open=U2.11", {"open  BTN_A  DRIVER U2.11 -> RECEIVER U1.7"}},
        // A pin that both drives and reads, on a net of two such: one broken link, said once.
        {"open=U2.7", {"open  SDA  DRIVER U1.14 -> RECEIVER U2.7"}},
        {"short=SDA,SCL", {"short  SDA  SCL  wired-AND"}},
        {"short=BTN_A,RESET_N,or", {"short  BTN_A  RESET_N  wired-OR"}},
        {"stuck0=PWR_OK", {"stuck0  PWR_OK"}},
        {"stuck1=BTN_B", {"stuck1  BTN_B"}},
        {"open=U2.6\nstuck0=BTN_B\nshort=LED_R,PWR_OK",
         {"stuck0  BTN_B", "short  LED_R  PWR_OK  wired-AND", "open  LED_G  DRIVER U1.12 -> RECEIVER U2.6"}},
    };
    for (const auto& fault : planted)
    {
        std::vector<std::string> expected = fault.second;
        expected.push_back("8 nets tested, " + std::to_string(expected.size()) + " fault" +
                           (expected.size() == 1 ? "" : "s") + ", 8 nets not testable");
        expected.push_back("status 1");
        EXPECT_EQ(expected, Findings(Test(fault.first))) << fault.first;
    }
    // A pull on a net nothing drives is said, and is no fault.
    EXPECT_EQ(std::vector<std::string>({"pullup  SPARE1  reads 1 with nothing driving it (information, not a fault)",
                                        "8 nets tested, 0 faults, 8 nets not testable", "status 0"}),
              Findings(Test("pullup=SPARE1")));
    EXPECT_EQ(std::vector<std::string>({"pulldown  SENSE  reads 0 with nothing driving it (information, not a fault)",
                                        "8 nets tested, 0 faults, 8 nets not testable", "status 0"}),
              Findings(Test("pulldown=SENSE")));
}

TEST_F(BoardTestTest, AChainThatIsNotTheBoardsIsRefusedBeforeAnyPinIsDriven)
{
    const std::string strFiles = "netlist=board.net\n[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n";
    struct Refused
    {
        std::string board, start, within;
    };
    const Refused refused[] = {
        {"[board]\nchain=U2,U1\n" + strFiles,
         "The board says U2 is device 1, a MORVA_IO (", "), but device 1's IDCODE is 0x"},
        {"[board]\nchain=U1,U2,U4\n" + strFiles, "The board names 3 devices on its chain, but the chain has 2 devices.",
         ""},
        {"[board]\nU1=1\nU2=3\n" + strFiles, "The board says U2 is device 3, but the chain has 2 devices.", ""},
    };
    for (const auto& board : refused)
    {
        const std::vector<std::string> lines = Test("", board.board);
        ASSERT_EQ(2u, lines.size()) << board.board;
        EXPECT_EQ(0u, lines[0].find("! The chain is not as the board says, so nothing was driven. " + board.start))
            << lines[0];
        EXPECT_NE(std::string::npos, lines[0].find(board.within)) << lines[0];
        EXPECT_EQ("status 2", lines[1]);
        // No boundary register was captured: no EXTEST, not even a SAMPLE.
        EXPECT_EQ(0u, SimulatedBoardChips()->Captures(0));
        EXPECT_EQ(0u, SimulatedBoardChips()->Captures(1));
    }
    // Without the person's yes, the nets it would drive are named and none is.
    const std::vector<std::string> asked = Test("", std::string(), false);
    EXPECT_EQ(std::vector<std::string>(
                  {"! The board test drives these nets under EXTEST: LED_R (U1.11 U2.5), LED_G (U1.12 U2.6), "
                   "PWR_OK (U1.13), SDA (U1.14 U2.7), SCL (U1.15 U2.8), BTN_A (U2.11), BTN_B (U2.12), RESET_N (U2.15). "
                   "Nobody is there to be asked first: give --extest to drive them. Nothing was driven.",
                   "status 2"}),
              asked);
    EXPECT_EQ(0u, SimulatedBoardChips()->Captures(1));
}

// Three chips, two of them alike, from a CSV netlist: a net whose driver switches on with a pin
// of a net not tested is not tested either; a bus of two drivers is driven by each in turn.
TEST_F(BoardTestTest, ThreeChipsFromACsvNetlistWithAShortAndAnOpen)
{
    const std::string strNetlist = Write("three.csv", "net,ref,pin\n"
                                                      "LED_R,U1,11\nLED_R,U2,14\n"
                                                      "LED_G,U1,12\nLED_G,U5,3\n"
                                                      "BUS,U2,6\nBUS,U4,6\n"
                                                      "X,U4,11\nX,U1,7\n"
                                                      "Y,U4,12\nY,U2,13\n"
                                                      "Z,U2,11\nZ,U4,13\n"
                                                      "W,U2,5\nW,U4,5\nW,U1,8\n");
    Simulate("[board]\nchain=U1,U2,U4\nnetlist=three.csv\n[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n"
             "U4=morva_io.bsd\n[faults]\nshort=BUS,Z\nopen=U1.8\n");
    // The netlist alone, the chips named on the command line and found by IDCODE.
    BoardTestWork work;
    work.pCable = &TestCable();
    work.strPath = strNetlist;
    work.refs = {"U1=1", "U2=2", "U4=3"};
    work.bExtest = true;
    CBsdlLibrary library;
    std::string strError;
    ASSERT_TRUE(library.AddFile(m_strDemo, strError)) << strError;
    ASSERT_TRUE(library.AddFile(m_strIo, strError)) << strError;
    work.pLibrary = &library;
    std::vector<std::string> lines;
    const int nStatus = BoardTestCommand(work, std::string(), [&](const std::string& line, bool bError) {
        lines.push_back((bError ? "! " : "") + line);
    });
    EXPECT_EQ(std::vector<std::string>({
                  "not tested  LED_R  its drivers switch on with pins of nets not tested: U1.11",
                  "not tested  LED_G  a part with no boundary scan on it that could drive the net: U5.3",
                  "short  BUS  Z  wired-AND",
                  "open  W  DRIVER U2.5 -> RECEIVER U1.8",
                  "open  W  DRIVER U4.5 -> RECEIVER U1.8",
                  "5 nets tested, 3 faults, 2 nets not testable",
              }),
              lines);
    EXPECT_EQ(EXIT_TDO_DIFFERS, nStatus);
}

// Nets that are not tested for the reasons the example board has none of, three nets shorted in
// one, and a chain whose chips cannot all be matched.
TEST_F(BoardTestTest, TheRarerReasonsAThreeNetShortAndChipsThatCannotBeMatched)
{
    const std::string strFiles = "[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n";
    Write("rare.csv", "net,ref,pin\nBOTH_ON,U1,13\nBOTH_ON,U2,15\nODD,U1,99\nODD,U1,1\nPASSIVE,R1,1\nPASSIVE,J1,2\n"
                      "LED_R,U1,11\nLED_R,U2,5\n");
    EXPECT_EQ(std::vector<std::string>({
                  "not tested  BOTH_ON  drivers that cannot be switched off: U1.13, U2.15",
                  "not tested  ODD  a pin with no cell: U1.99 (no pin of MORVA_DEMO), U1.1 (TCK)",
                  "not tested  PASSIVE  no boundary-scan pin on it",
                  "1 nets tested, 0 faults, 3 nets not testable",
                  "status 0",
              }),
              Test("", "[board]\nchain=U1,U2\nnetlist=rare.csv\n" + strFiles));
    // Two shorts that join three nets: one short of the three, wired-OR.
    EXPECT_EQ(std::vector<std::string>({"short  LED_R  LED_G  BTN_A  wired-OR",
                                        "8 nets tested, 1 fault, 8 nets not testable", "status 1"}),
              Findings(Test("short=LED_R,LED_G,or\nshort=LED_G,BTN_A,or")));
    // No chip named at all; a chip whose BSDL file is nowhere.
    EXPECT_EQ(std::vector<std::string>(
                  {"! The chain is not as the board says, so nothing was driven. No chip of the board is named as a "
                   "device on the chain: give each as U3=1 under [board] in the settings, or with --ref U3=1.",
                   "status 2"}),
              Test("", SourceText("examples/board/board.net")));
    EXPECT_EQ(std::vector<std::string>(
                  {"! The chain is not as the board says, so nothing was driven. U2 is device 2 (IDCODE 0x1100104B), "
                   "and no BSDL file is known for it: put its file in a BSDL folder or name it under [bsdl].",
                   "status 2"}),
              Test("", "[board]\nchain=U1,U2\nnetlist=board.net\n[bsdl]\nU1=morva_demo.bsd\n"));
    EXPECT_EQ(0u, SimulatedBoardChips()->Captures(1));
}

// A simulated board that cannot be made says why, with the line of a fault it cannot plant.
TEST_F(BoardTestTest, ASimulatedBoardThatCannotBeMadeSaysWhy)
{
    const std::string strStart = "[board]\nchain=U1,U2\nnetlist=board.net\n[bsdl]\nU1=morva_demo.bsd\n";
    const std::pair<std::string, std::string> refused[] = {
        {"[board]\nnetlist=board.net\n", "simulated.ini: a simulated board needs chain= under [board]."},
        {strStart, "simulated.ini: U2 has no BSDL file under [bsdl]."},
        {strStart + "U2=morva_io.bsd\n[faults]\nstuck0=SDA\nshort=SDA,NOPE\n", "simulated.ini:9: board.net has no net NOPE."},
        {strStart + "U2=morva_io.bsd\n[faults]\nopen=R1.1\n", "simulated.ini:8: R1.1 is no boundary-scan pin on a net of "},
    };
    for (const auto& board : refused)
    {
        const std::string strPath = Write("simulated.ini", board.first);
        const std::shared_ptr<CParallelPort> pPort = MakeBoardSimulatedPort(strPath);
        EXPECT_FALSE(pPort->IsAccessible()) << board.first;
        const std::string strFolder = strPath.substr(0, strPath.find_last_of("\\/") + 1);
        std::string problem = pPort->AccessProblem();
        for (size_t nAt; (nAt = problem.find(strFolder)) != std::string::npos;)
            problem.erase(nAt, strFolder.size());
        EXPECT_EQ(0u, problem.find(board.second)) << problem;
    }
}

// The netlist alone: the chips named by the settings file's [board], the files found by IDCODE;
// a chip named twice on the command line is refused before any clock.
TEST_F(BoardTestTest, TheSettingsBoardNamesTheChipsOfANetlistAlone)
{
    Simulate("[board]\nchain=U1,U2\nnetlist=board.net\n[bsdl]\nU1=morva_demo.bsd\nU2=morva_io.bsd\n[faults]\n"
             "stuck1=RESET_N\n");
    CBsdlLibrary library;
    std::string strError;
    ASSERT_TRUE(library.AddFile(m_strDemo, strError)) << strError;
    ASSERT_TRUE(library.AddFile(m_strIo, strError)) << strError;
    BoardTestWork work;
    work.pCable = &TestCable();
    work.strPath = Write("alone.net", SourceText("examples/board/board.net"));
    work.strSettingsPath = Write("morva.ini", "[cable]\ncable=sim\n\n[board]\nU1=1\nU2=2\n[chain]\nirlen=5,4\n");
    work.pLibrary = &library;
    work.bExtest = true;
    std::vector<std::string> lines;
    const auto say = [&](const std::string& line, bool bError) { lines.push_back((bError ? "! " : "") + line); };
    EXPECT_EQ(EXIT_TDO_DIFFERS, BoardTestCommand(work, std::string(), say));
    EXPECT_EQ(std::vector<std::string>({"stuck1  RESET_N", "8 nets tested, 1 fault, 8 nets not testable"}),
              Findings(lines));
    lines.clear();
    work.refs = {"U1=1", "u1=2"};
    const uint32_t nCaptures = SimulatedBoardChips()->Captures(0);
    EXPECT_EQ(EXIT_NOT_DONE, BoardTestCommand(work, std::string(), say));
    EXPECT_EQ(std::vector<std::string>(
                  {"! MORVA cannot take --ref u1=2: u1 is named twice: give each reference designator one device."}),
              lines);
    EXPECT_EQ(nCaptures, SimulatedBoardChips()->Captures(0));
}

// A compliance pin on a net a scan pin can drive: held there by it in every pattern (U1's OK,
// an output that cannot be switched off, low for U2's TEST), read by U2's IN(1) but not tested.
TEST_F(BoardTestTest, ACompliancePinsNetIsHeldByTheScanPinThatDrivesItAndNotTested)
{
    const std::string strBoard = "[board]\nchain=U1,U2\nnetlist=held.csv\n[bsdl]\nU1=morva_demo.bsd\n"
                                 "U2=morva_io.bsd\n";
    Write("held.csv", "net,ref,pin\nHOLD,U1,13\nHOLD,U2,16\nHOLD,U2,14\nLED_R,U1,11\nLED_R,U2,5\nLED_G,U1,12\n"
                      "LED_G,U2,6\n");
    EXPECT_EQ(std::vector<std::string>({"not tested  HOLD  holds U2's compliance pin TEST at 0",
                                        "2 nets tested, 0 faults, 1 net not testable", "status 0"}),
              Test("", strBoard));
    Netlist netlist;
    std::string strError;
    ASSERT_TRUE(ParseNetlist("net,ref,pin\nHOLD,U1,13\nHOLD,U2,16\nLED_R,U1,11\nLED_R,U2,5\n", netlist, strError))
        << strError;
    auto pDemo = std::make_shared<BsdlFile>(), pIo = std::make_shared<BsdlFile>();
    ASSERT_TRUE(ReadBsdlFile(m_strDemo, *pDemo, strError) && ReadBsdlFile(m_strIo, *pIo, strError)) << strError;
    BoardPlan plan;
    ASSERT_TRUE(PlanBoardTest(netlist, {{"U1", 1, pDemo}, {"U2", 2, pIo}}, plan, strError)) << strError;
    for (size_t k = 0; k < plan.Patterns(); ++k)
    {
        std::vector<CBits> bits;
        ASSERT_TRUE(PatternBoundaries(plan, k, bits, strError)) << strError;
        EXPECT_FALSE(bits[0][3]) << "OK (cell 3) holds TEST low in pattern " << k;
        EXPECT_LT(plan.passes[k / plan.PatternsPerPass()][0], 0) << "HOLD is in no pass";
    }
}

// The patterns: every tested net a code of its own, no code another's complement, within
// 2 log2(N) + 2 patterns a pass; each pattern drives each tested net once.
TEST_F(BoardTestTest, TheCodesTellEveryNetApartWithinTheBound)
{
    Netlist netlist;
    std::string strError;
    ASSERT_TRUE(ParseNetlist(SourceText("examples/board/board.net"), netlist, strError)) << strError;
    std::vector<BoardChip> chips(2);
    for (size_t c = 0; c < 2; ++c)
    {
        auto pFile = std::make_shared<BsdlFile>();
        ASSERT_TRUE(ReadBsdlFile(c == 0 ? m_strDemo : m_strIo, *pFile, strError)) << strError;
        chips[c] = {c == 0 ? "U1" : "U2", c + 1, pFile};
    }
    BoardPlan plan;
    ASSERT_TRUE(PlanBoardTest(netlist, chips, plan, strError)) << strError;
    EXPECT_EQ(8u, plan.Tested());
    EXPECT_EQ(4u, plan.nCodeBits);
    EXPECT_EQ(8u, plan.PatternsPerPass()) << "2 log2(8) + 2";
    EXPECT_EQ(2u, plan.passes.size()) << "the nets of two drivers, driven by each in turn";
    std::vector<uint32_t> codes;
    for (const BoardNet& net : plan.nets)
    {
        if (net.why.empty())
            codes.push_back(net.nCode);
    }
    for (size_t i = 0; i < codes.size(); ++i)
    {
        for (size_t j = 0; j < codes.size(); ++j)
        {
            EXPECT_TRUE(i == j || codes[i] != codes[j]);
            EXPECT_NE((1u << plan.nCodeBits) - 1, codes[i] ^ codes[j]) << "complements";
        }
    }
    // The first pass drives every tested net; each driver drives in one pass, or in every pass
    // where it cannot be switched off (U1's OK, U2's EN).
    for (size_t n = 0; n < plan.nets.size(); ++n)
    {
        const BoardNet& net = plan.nets[n];
        EXPECT_EQ(net.why.empty(), plan.passes[0][n] >= 0) << net.name;
        for (size_t d = 0; net.why.empty() && d < net.drivers.size(); ++d)
        {
            size_t nPasses = 0;
            for (const std::vector<int>& pass : plan.passes)
                nPasses += pass[n] == static_cast<int>(d) ? 1 : 0;
            const bool bAlwaysOn = plan.pins[net.drivers[d].nChip][net.drivers[d].nPin].nControl < 0;
            EXPECT_EQ(bAlwaysOn ? plan.passes.size() : 1u, nPasses) << plan.PinName(net.drivers[d]);
        }
    }
    for (size_t p = 0; p < plan.passes.size(); ++p)
    {
        std::vector<CBits> bits;
        ASSERT_TRUE(PatternBoundaries(plan, p * plan.PatternsPerPass(), bits, strError)) << strError;
        ASSERT_EQ(2u, bits.size());
        EXPECT_EQ(16u, bits[0].size());
        EXPECT_EQ(18u, bits[1].size());
    }
}

} // namespace

TEST(BoardFileTest, TheBoardFileAndTheSettingsBoardSectionAreReadOrRefusedWithTheirLine)
{
    BoardFile board;
    std::string strError;
    ASSERT_TRUE(ParseBoardFile("; a board\n[board]\nchain = U3, U7 ; from TDI\nnetlist=b.net\n[BSDL]\nU3=a.bsd\n"
                               "u7=/abs/b.bsd\n[faults]\nopen=U7.12\nshort=SDA,SCL,or\nstuck0=RESET_N\npullup=X\n",
                               "board.ini", "boards/", false, board, strError))
        << strError;
    EXPECT_EQ(2u, board.nChainLength);
    EXPECT_EQ(1u, board.DeviceOf("u3"));
    EXPECT_EQ(2u, board.DeviceOf("U7"));
    EXPECT_EQ("boards/b.net", board.netlist);
    EXPECT_EQ("boards/a.bsd", board.BsdlOf("U3"));
    EXPECT_EQ("/abs/b.bsd", board.BsdlOf("U7"));
    ASSERT_EQ(4u, board.faults.size());
    EXPECT_TRUE(board.faults[1].bOr);
    EXPECT_EQ(std::vector<std::string>({"SDA", "SCL"}), board.faults[1].names);
    EXPECT_EQ(11, board.faults[2].nLine);
    // The settings file: only [board]'s REF=N, whatever else it holds.
    ASSERT_TRUE(ParseBoardFile("[cable]\ncable=sim\n[board]\nU3=2\n[chain]\nirlen=4\n", "morva.ini", "", true, board,
                               strError))
        << strError;
    EXPECT_EQ(2u, board.DeviceOf("U3"));
    const std::pair<const char*, const char*> refused[] = {
        {"chain=U1\n", "b.ini:1: \"chain=U1\" stands before any section: start with [board]."},
        {"[board]\nchain=U1,U1\n", "b.ini:2: U1 is named twice: give each reference designator one device."},
        {"[board]\nU1=1\nU2=1\n", "b.ini:3: device 1 is named twice, U1 and U2: give each device one reference designator."},
        {"[board]\nU1=0\n", "b.ini:2: \"U1=0\" is no reference designator and device: write it as U3=1, the device "
                             "counted from 1 nearest TDI, up to 32."},
        {"[parts]\n", "b.ini:1: the sections are [board], [bsdl] and [faults], not [parts]."},
        {"[faults]\nshort=A\n", "b.ini:2: short= names two nets, as short=SDA,SCL or short=SDA,SCL,or."},
        {"[faults]\nopen=U7\n", "b.ini:2: open= names one pin as REF.PIN, as open=U7.12."},
        {"[faults]\nmelt=U7\n", "b.ini:2: the faults are open=, short=, stuck0=, stuck1=, pullup= and pulldown=, not melt=."},
        {"[bsdl]\nU1=a\nu1=b\n", "b.ini:3: u1's BSDL file is given twice."},
        {"[board]\nnetlist=\n", "b.ini:2: netlist= names no file."},
    };
    for (const auto& text : refused)
    {
        EXPECT_FALSE(ParseBoardFile(text.first, "b.ini", "", false, board, strError)) << text.first;
        EXPECT_EQ(text.second, strError);
        EXPECT_TRUE(board.refs.empty() && board.faults.empty());
    }
    EXPECT_TRUE(LooksLikeBoardFile("; c\n\n [board]\n"));
    EXPECT_FALSE(LooksLikeBoardFile("# c\n(export)"));
    EXPECT_FALSE(LooksLikeBoardFile("net,ref,pin\n"));
}
