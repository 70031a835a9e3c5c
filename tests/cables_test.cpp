// Choosing a cable (names, command line, settings file) and the FTDI cable over the stand-in
// D2XX library with the simulated board on its pins.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/CableChoice.h"
#include "app/CableOptions.h"
#include "cable/cable.h"
#include "chain/ChainScan.h"
#include "dialog_runner.h"
#include "engine/TapEngine.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "ports/d2xx_port.h"
#include "ports/port_factory.h"
#include "recording_port.h"
#include "scan/ValueLists.h"
#include "settings_examples.h"
#include "standin/ftd2xx_standin.h"
#include "svf/SvfPlayer.h"
#include "panel/TapTable.h"


namespace {

// --- Cable names ----------------------------------------------------------------------------

struct GoodName
{
    const char* pszText;
    CableKind kind;
    unsigned short address;
    const char* pszSerial;
    char channel;
};

const GoodName GOOD_NAMES[] = {
    {"lpt", CableKind::Lpt, 0x378, "", 0},
    {"LPT:0xD010", CableKind::Lpt, 0xD010, "", 0},
    {"lpt:0Xe800", CableKind::Lpt, 0xE800, "", 0},
    {"lpt:0x3BC", CableKind::Lpt, 0x3BC, "", 0},
    {"lpt:0x278", CableKind::Lpt, 0x278, "", 0},
    {"lpt:0xFFF8", CableKind::Lpt, 0xFFF8, "", 0},
    {"ftdi", CableKind::Ftdi, 0x378, "", 0},
    {"ftdi:FT4ABC12", CableKind::Ftdi, 0x378, "FT4ABC12", 0},
    {"ftdi:FT4ABC12/b", CableKind::Ftdi, 0x378, "FT4ABC12", 'B'},
    {"sim", CableKind::Sim, 0x378, "", 0},
};

TEST(CableNameTest, AcceptsEveryDocumentedForm)
{
    for (const GoodName& good : GOOD_NAMES)
    {
        CableName cable;
        std::string strError;
        ASSERT_TRUE(ParseCableName(good.pszText, cable, strError)) << good.pszText << ": " << strError;
        EXPECT_EQ(good.kind, cable.kind) << good.pszText;
        EXPECT_EQ(good.address, cable.address) << good.pszText;
        EXPECT_EQ(good.pszSerial, cable.serial) << good.pszText;
        EXPECT_EQ(good.channel, cable.channel) << good.pszText;
    }
}

// A typing slip must never reach another device's registers, nor be read as something else.
TEST(CableNameTest, RefusesMalformedNamesAndAddressesNoParallelPortHas)
{
    const char* const apszBad[] = {
        "",          "lpt:",       "lpt:0x3F8",  "lpt:0x2F8", "lpt:0x3C0",    "lpt:0x0",       "lpt:0xD011",
        "lpt:0xD014", "lpt:0x10000", "lpt:0xG00", "lpt:378h",  "lpt:0x",       "ftdi:",         "ftdi:/B",
        "ftdi:AB/E", "ftdi:AB/",   "ftdi:A B",   "ftdi:0123456789ABCDEF", "sim:1", "usb", "parport",
        // Digits without 0x: lpt:888 is LPT1's address in decimal, and must not reach 0x888.
        "lpt:888",   "lpt:e800",   "lpt:378",    "lpt:D010",
    };
    for (const char* pszBad : apszBad)
    {
        CableName cable;
        std::string strError;
        EXPECT_FALSE(ParseCableName(pszBad, cable, strError)) << pszBad;
        EXPECT_FALSE(strError.empty()) << pszBad;
    }
}

// --- Command line and settings file ---------------------------------------------------------

TEST(CommandLineTest, FindsEachSpellingOfTheOptions)
{
    const char* const apszLines[] = {"/cable:ftdi:A1/B", "--cable=ftdi:A1/B", "--cable ftdi:A1/B",
                                     "  \"/cable:ftdi:A1/B\"  ", "/CABLE:ftdi:A1/B"};
    for (const char* pszLine : apszLines)
    {
        CommandLine options;
        std::string strError;
        ASSERT_TRUE(ParseCommandLine(pszLine, options, strError)) << pszLine << ": " << strError;
        EXPECT_TRUE(options.bCable) << pszLine;
        EXPECT_EQ("ftdi:A1/B", options.strCable) << pszLine;
    }
    CommandLine options;
    std::string strError;
    EXPECT_TRUE(ParseCommandLine("", options, strError));
    EXPECT_FALSE(options.bCable);
    EXPECT_TRUE(options.strTrace.empty());
    ASSERT_TRUE(ParseCommandLine("--trace \"C:\\my files\\s.vcd\" /cable:sim", options, strError)) << strError;
    EXPECT_EQ("C:\\my files\\s.vcd", options.strTrace);
    EXPECT_EQ("sim", options.strCable);
}

TEST(CommandLineTest, RefusesUnknownWordsMissingValuesAndOptionsGivenTwice)
{
    const char* const apszLines[] = {"/cabel:ftdi", "--cable", "/cable:", "--cable=", "ftdi",
                                     "/cable:sim /cable:lpt", "--trace", "/trace:a.vcd --trace=b.vcd",
                                     // An option word is no value: the trace would be named "--cable=sim".
                                     "--trace --cable=sim", "--cable /trace:a.vcd", "--trace --cable sim",
                                     // A device with nothing to send it, or none the chain can have; lengths for no scan.
                                     "--device 2", "--device 0 --dr 1", "--device 33 --dr 1", "--irlen 4,6 --dr 1",
                                     "--scan --irlen 4 --irlen 4", "--scan --irlen 1", "--scan --device 1 --device 2 --dr 1"};
    for (const char* pszLine : apszLines)
    {
        CommandLine options;
        std::string strError;
        EXPECT_FALSE(ParseCommandLine(pszLine, options, strError)) << pszLine;
        EXPECT_FALSE(strError.empty()) << pszLine;
    }
}

CommandLine Parsed(const char* pszLine)
{
    CommandLine options;
    std::string strError;
    ParseCommandLine(pszLine, options, strError);
    return options;
}

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override { m_path = TempPath("ini"); }
    void TearDown() override { ::DeleteFileA(m_path.c_str()); }

    void Write(const std::string& text) { std::ofstream(m_path) << text; }
    // The cable and pin map start-up takes from this command line and the settings file.
    bool Resolve(const char* pszLine = "")
    {
        m_map = FtdiPinMap();
        return ResolveCable(Parsed(pszLine), m_path, m_cable, m_map, m_strError);
    }

    std::string m_path;
    CableName m_cable;
    FtdiPinMap m_map;
    std::string m_strError;
};

TEST_F(SettingsFileTest, CommandLineWinsOverTheFileAndTheFileOverTheDefault)
{
    ASSERT_TRUE(Resolve()) << m_strError;
    EXPECT_EQ(CableKind::Lpt, m_cable.kind);
    EXPECT_EQ(0x378, m_cable.address);

    Write("[cable]\ncable=lpt:0xD010\n");
    ASSERT_TRUE(Resolve()) << m_strError;
    EXPECT_EQ(0xD010, m_cable.address);
    ASSERT_TRUE(Resolve("/cable:lpt:0xE800")) << m_strError;
    EXPECT_EQ(0xE800, m_cable.address);
}

TEST_F(SettingsFileTest, ReadsThePinMapAndRefusesOneThatCannotWork)
{
    Write("[cable]\ncable=ftdi\n[ftdi]\ntck=4\ntdi=5\ntdo=6\ntms=7\nvalue=0x02\ndirection=0x03\n");
    ASSERT_TRUE(Resolve()) << m_strError;
    EXPECT_EQ(CableKind::Ftdi, m_cable.kind);
    EXPECT_EQ(4, m_map.nTck);
    EXPECT_EQ(7, m_map.nTms);
    EXPECT_EQ(0xB3, m_map.Outputs());
    EXPECT_EQ(0x02 | 0x10 | 0x20 | 0x80, m_map.Levels(true, true, true));

    // Against the default map: TCK 0, TDI 1, TDO 2, TMS 3.
    // value= and direction= carry the high pins in a second byte: past 16 bits is too much.
    const char* const apszBad[] = {"tck=8", "tdi=0", "tdo=-1", "value=0x10000", "direction=0x04", "tms=x"};
    for (const char* pszBad : apszBad)
    {
        Write(std::string("[cable]\ncable=ftdi\n[ftdi]\n") + pszBad + "\n");
        EXPECT_FALSE(Resolve()) << pszBad;
        EXPECT_NE(std::string::npos, m_strError.find(m_path)) << pszBad << ": " << m_strError;
        EXPECT_FALSE(Resolve("--cable ftdi:A1")) << pszBad;
        // The section is the FTDI cable's alone: the other cables do not read it.
        for (const char* pszOther : {"--cable sim", "--cable lpt", "--cable=lpt:0xD010"})
        {
            EXPECT_TRUE(Resolve(pszOther)) << pszBad << " with \"" << pszOther << "\": " << m_strError;
        }
        Write(std::string("[ftdi]\n") + pszBad + "\n");
        EXPECT_TRUE(Resolve()) << pszBad << ": " << m_strError;
    }
}

TEST_F(SettingsFileTest, AMalformedNameSaysWhereItCameFromAndListsTheForms)
{
    Write("[cable]\ncable=lpt:0x3F8\n");
    EXPECT_FALSE(Resolve());
    EXPECT_NE(std::string::npos, m_strError.find(m_path)) << m_strError;
    EXPECT_NE(std::string::npos, m_strError.find("ftdi:SERIAL/B")) << m_strError;
    EXPECT_FALSE(Resolve("/cable:bogus"));
    EXPECT_NE(std::string::npos, m_strError.find("command line")) << m_strError;

    // The Linux program's device form is read, and refused here with the form that works.
    EXPECT_FALSE(Resolve("/cable:lpt:/dev/parport0"));
    EXPECT_NE(std::string::npos, m_strError.find("Linux device file")) << m_strError;
    EXPECT_NE(std::string::npos, m_strError.find("lpt:ADDRESS")) << m_strError;
}

// A value longer than the profile call reads would be cut without a word: a device path would
// then name another file.
TEST_F(SettingsFileTest, AValueTooLongToReadWholeIsRefused)
{
    Write("[cable]\ncable=ftdi:" + std::string(1100, 'A') + "\n");
    EXPECT_FALSE(Resolve());
    EXPECT_NE(std::string::npos, m_strError.find("longer than 1023 characters")) << m_strError;
}

// The choice made in the window: the cable in use is released first; one that cannot be opened
// leaves the old in use; a good one is kept in the settings file for the next start.
TEST_F(SettingsFileTest, AChosenCableIsKeptAndOneThatCannotBeOpenedLeavesTheOldInUse)
{
    Write("[cable]\ncable=lpt:0x278\n");
    std::string strError;
    CTapEngine tap;
    {
        CCableChoice cables(m_path);
        cables.HandTo(&tap);
        ASSERT_TRUE(cables.Start(Parsed(""), strError)) << strError;
        EXPECT_EQ("lpt:0x278", cables.InUse().strName);
        ASSERT_TRUE(cables.Use("sim", strError)) << strError;
        EXPECT_EQ("simulated board", tap.Cable().Description());
        char kept[64] = {};
        ::GetPrivateProfileStringA("cable", "cable", "", kept, sizeof(kept), m_path.c_str());
        EXPECT_STREQ("sim", kept);

        // No InpOut or GIVEIO here, nor this FTDI device: neither opens.
        for (const char* pszCable : {"lpt:0xD010", "ftdi:NOSUCH"})
        {
            EXPECT_FALSE(cables.Use(pszCable, strError)) << pszCable;
            EXPECT_NE(std::string::npos, strError.find("simulated board stays in use")) << strError;
            EXPECT_EQ("sim", cables.InUse().strName);
            EXPECT_EQ("simulated board", tap.Cable().Description());
            ::GetPrivateProfileStringA("cable", "cable", "", kept, sizeof(kept), m_path.c_str());
            EXPECT_STREQ("sim", kept);
        }
        EXPECT_FALSE(cables.Use("lpt:/dev/parport0", strError));
        EXPECT_NE(std::string::npos, strError.find("Linux device file")) << strError;

        const std::vector<CCableList::Entry> offered = cables.Cables();
        ASSERT_FALSE(offered.empty());
        EXPECT_EQ("lpt", offered.front().strName);
        bool bSim = false;
        for (const CCableList::Entry& entry : offered)
            bSim = bSim || entry.strName == "sim";
        EXPECT_TRUE(bSim);
    }
    EXPECT_EQ("none", tap.Cable().Description()) << "the cable goes with its choice";
}

// Every settings example of the README, the guide and the manual page, copied as it stands into
// MORVA.INI, is read as start-up reads it: comments and all.
TEST_F(SettingsFileTest, EveryExampleOfTheGuidesIsReadAsItStands)
{
    const std::vector<SettingsExample> examples = SettingsExamples(MORVA_SOURCE_DIR);
    ASSERT_GE(examples.size(), 4u);
    int nTried = 0;
    for (const SettingsExample& example : examples)
    {
        // The Linux program's device files are the Linux test's.
        if (example.strText.find("/dev/") != std::string::npos)
            continue;
        Write(example.strText);
        CableName cable;
        FtdiPinMap map;
        std::string strError;
        EXPECT_TRUE(ResolveCable(Parsed(""), m_path, cable, map, strError)) << example.strWhere << ": " << strError;
        EXPECT_TRUE(ReadFtdiSettings(m_path, map, strError)) << example.strWhere << ": " << strError;
        for (const char* pszSection : {"ir values", "dr values"})
        {
            if (example.strText.find(std::string("[") + pszSection + "]") == std::string::npos)
                continue;
            CValueList list(pszSection);
            list.Load(m_path, {});
            EXPECT_EQ(1u, list.Values().size()) << example.strWhere << ": " << pszSection;
        }
        ++nTried;
    }
    EXPECT_GE(nTried, 4);
}

TEST(SettingsValueTest, ACommentAfterAValueIsNotPartOfIt)
{
    EXPECT_EQ("0x10", WithoutComment("0x10      ; levels of the pins that carry no signal"));
    EXPECT_EQ("0x10", WithoutComment("0x10\t;comment"));
    EXPECT_EQ("a;b", WithoutComment("a;b")) << "a semicolon inside a value stays";
    EXPECT_EQ("", WithoutComment("; only a comment"));
    EXPECT_EQ("lpt:0xD010", WithoutComment("lpt:0xD010 ; PCIe card"));
}

TEST_F(SettingsFileTest, AWrongValueShowsTheLineToWrite)
{
    Write("[cable]\ncable=ftdi\n[ftdi]\ntck=9\n");
    EXPECT_FALSE(Resolve());
    EXPECT_NE(std::string::npos, m_strError.find("[ftdi]\n    tck=3")) << m_strError;
    Write("[cable]\ncable=usb\n");
    EXPECT_FALSE(Resolve());
    EXPECT_NE(std::string::npos, m_strError.find("[cable]\n    cable=ftdi")) << m_strError;
}

// --- The FTDI cable -------------------------------------------------------------------------

class FtdiCableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_log = TempPath("log");
        m_plug = TempPath("plg");
        ::SetEnvironmentVariableA("MORVA_FTDI_LOG", m_log.c_str());
        ::SetEnvironmentVariableA("MORVA_FTDI_PLUG", m_plug.c_str());
        ::SetEnvironmentVariableA("MORVA_FTDI_SERIAL", "MV2232A");
    }
    void TearDown() override
    {
        ::DeleteFileA(m_log.c_str());
        ::DeleteFileA(m_plug.c_str());
    }

    void Unplug() { ::DeleteFileA(m_plug.c_str()); }
    // The cable opened and switched on, then a clock for each TMS level.
    static void OpenAndClock(ICable& port, std::initializer_list<BYTE> tmsLevels)
    {
        ASSERT_TRUE(port.Open());
        CableOn();
        for (BYTE tms : tmsLevels)
        {
            SetTms(tms);
            Clock();
        }
    }
    void Plug() { std::ofstream(m_plug) << "plugged"; }

    // The log since the last call, one call a line.
    std::vector<std::string> TakeLog()
    {
        std::vector<std::string> lines;
        std::ifstream file(m_log);
        std::string line;
        while (std::getline(file, line))
            lines.push_back(line);
        file.close();
        std::ofstream(m_log, std::ios::trunc);
        return lines;
    }

    std::string m_log;
    std::string m_plug;
};

CableName ParsedCable(const char* pszText)
{
    CableName cable;
    std::string strError;
    ParseCableName(pszText, cable, strError);
    return cable;
}

// The D2XX cable "ftdi" over the stand-in library, the cable the tests' engine clocks.
struct CStandinFtdi
{
    CD2xxPort port{ParsedCable("ftdi"), FtdiPinMap(), &StandinD2xx()};
    CPortScope scope{&port};
};

TEST_F(FtdiCableTest, OneClockIsOneTransferAndThePinsAreInputsWhenTheCableIsOff)
{
    CD2xxPort port(ParsedCable("ftdi:MV2232/A"), FtdiPinMap(), &StandinD2xx());
    CPortScope scope(&port);
    ASSERT_TRUE(port.Open()) << port.OpenProblem();
    EXPECT_EQ((std::vector<std::string>{"openex MV2232A", "reset", "timeouts 400 400", "latency 2", "baud 9600",
                                        "bitmode 00 04", "purge 3"}),
              TakeLog());

    CableOn();
    SetTms(1);
    SetTdi(1);
    PulseTck();
    // The idle levels go out while every pin is still an input; then the outputs start at them.
    EXPECT_TRUE(TakeLog() == (std::vector<std::string>{"write 00", "read 1", "bitmode 0B 04"}))
        << "a clock is sent only with its TDO read";
    EXPECT_EQ(1, GetTdo());
    // TMS on pin 3, TDI on pin 1, TCK on pin 0: low, low, high, high.
    EXPECT_EQ((std::vector<std::string>{"write 0A 0A 0B 0B", "read 4"}), TakeLog());
    SetTms(0);
    Clock();
    EXPECT_EQ((std::vector<std::string>{"write 02 02 03 03", "read 4"}), TakeLog());
    EXPECT_EQ(TapState::RunTestIdle, StandinChip().Board().State());
    CableOff();
    EXPECT_EQ((std::vector<std::string>{"bitmode 00 04"}), TakeLog());
    EXPECT_EQ(0, StandinChip().Outputs());
    EXPECT_TRUE(port.Failure().empty());
}

TEST_F(FtdiCableTest, TheIdcodeComesOffTheTdoRowOfTheWindow)
{
    CStandinFtdi ftdi;
    ASSERT_TRUE(ftdi.port.Open()) << ftdi.port.OpenProblem();
    EXPECT_EQ(CJtagDevice::IDCODE, ClickOutIdcode());
    EXPECT_EQ(0, StandinChip().Outputs()) << "the pins drive nothing once the window is closed";
}

TEST_F(FtdiCableTest, SendsDriveThePinsAsTheSameClocksClickedOneByOne)
{
    const std::string strIni = TempPath("ini");
    // What the chip was sent and the clocks recorded, after a reset and RUN-TEST/IDLE.
    struct Taken
    {
        std::vector<std::string> log;
        std::string bytes;  // every byte written, in order
        size_t nSamples = 0;
        std::vector<int> record;  // TMS, TDI, TDO and state of each clock
    };
    auto take = [&](const std::function<void(CStepperDlg&)>& clicks) {
        Taken taken;
        CD2xxPort port(ParsedCable("ftdi"), FtdiPinMap(), &StandinD2xx());
        CPortScope scope(&port);
        EXPECT_TRUE(port.Open()) << port.OpenProblem();
        CCountedWaits waits;
        CStepperDlg dlg;
        dlg.SetSettingsPath(strIni);
        RunDialog(dlg, [&] {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            Click(dlg, IDC_RUN_TEST_IDLE);
            TakeLog();
            const size_t nBefore = dlg.Tap().Session().Count();
            clicks(dlg);
            taken.log = TakeLog();
            for (size_t i = nBefore; i < dlg.Tap().Session().Count(); ++i)
            {
                const ClockRecord& clock = dlg.Tap().Session().At(i);
                taken.record.push_back(clock.bits * 100 + clock.nState);
            }
        });
        for (const std::string& line : taken.log)
        {
            if (line.compare(0, 6, "write ") == 0)
                taken.bytes += line.substr(5);
            else if (line.compare(0, 5, "read ") == 0)
                taken.nSamples += std::stoul(line.substr(5));
        }
        return taken;
    };
    const Taken sent = take([](CStepperDlg& dlg) {
        SendValue(dlg, IDC_IR_VALUE, "4'b0010");
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
    });
    const Taken clicked = take([](CStepperDlg& dlg) {
        for (UINT nID : {IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR, IDC_SHIFT_IR, IDC_SHIFT_IR_1,
                         IDC_SHIFT_IR, IDC_EXIT1_IR, IDC_UPDATE_IR, IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR})
            Click(dlg, nID);
        for (int i = 0; i < 32; ++i)
            Click(dlg, IDC_SHIFT_DR);
        for (UINT nID : {IDC_EXIT1_DR, IDC_UPDATE_DR, IDC_RUN_TEST_IDLE})
            Click(dlg, nID);
    });
    ::DeleteFileA(strIni.c_str());
    // Clicked, a transfer and a read a clock: 10 clocks of the IR value, 37 of the DR value.
    EXPECT_EQ(2u * (10 + 37), clicked.log.size());
    // Sent, the same bytes and samples in runs of at most 32 clocks, each SEND's clocks up to
    // Exit1 gone out before Update is chosen (a STOP may still come): the IR value's 8 and 2,
    // the DR value's 35 as 32 and 3, and 2; a write and a read each.
    EXPECT_EQ(clicked.bytes, sent.bytes);
    EXPECT_EQ(clicked.nSamples, sent.nSamples);
    EXPECT_EQ(10u, sent.log.size());
    EXPECT_EQ(clicked.record, sent.record);
}

namespace {

// Pulls the cable out just before a given transfer.
class CUnpluggedAtTransfer : public CD2xxPort
{
public:
    CUnpluggedAtTransfer(const std::string& strPlug) : CD2xxPort(ParsedCable("ftdi"), FtdiPinMap(), &StandinD2xx()), m_strPlug(strPlug) {}
    long m_nUnplugAt = 0;

protected:
    // A transfer is a write and its read.
    bool Write(const unsigned char* pOut, size_t nCount, std::string& strError) override
    {
        if (--m_nUnplugAt == 0)
            ::DeleteFileA(m_strPlug.c_str());
        return CD2xxPort::Write(pOut, nCount, strError);
    }

private:
    std::string m_strPlug;
};

} // namespace

TEST_F(FtdiCableTest, ACableLostDuringASendEndsItWithNothingFalseRecorded)
{
    const std::string strIni = TempPath("ini");
    CUnpluggedAtTransfer port(m_plug);
    CPortScope scope(&port);
    ASSERT_TRUE(port.Open()) << port.OpenProblem();
    CStepperDlg dlg;
    dlg.SetSettingsPath(strIni);
    RunDialog(dlg, [&] {
        CBoxAnswerer answerer(dlg);
        CCountedWaits waits;
        Click(dlg, IDC_TEST_LOGIC_RESET);
        const size_t nRecorded = dlg.Tap().Session().Count();
        // The SEND's 38 clocks go as a run of 32 and one of 6; the cable is gone for the second.
        port.m_nUnplugAt = 2;
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ(32u, dlg.Tap().Session().Count() - nRecorded);
        EXPECT_EQ(6u + 32u, HistoryLines(dlg).size());
        EXPECT_EQ(-1, dlg.Tap().State());
        for (UINT nID : STATE_BUTTONS)
            EXPECT_EQ(nID == IDC_TEST_LOGIC_RESET, Item<CColorButton>(dlg, nID).IsWindowEnabled() != FALSE) << nID;
        EXPECT_FALSE(Item<CButton>(dlg, IDC_SEND_DR).IsWindowEnabled());
        EXPECT_EQ("SEND-DR", WindowText(Item<CButton>(dlg, IDC_SEND_DR).m_hWnd));
        EXPECT_EQ("", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd)) << "no value was read";
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_NE(std::string::npos, AnsweredBoxes()[0].strText.find("stopped answering"));

        // Back in: a reset and the same SEND give the IDCODE.
        Plug();
        Click(dlg, IDC_TEST_LOGIC_RESET);
        SendValue(dlg, IDC_DR_VALUE, "32'h0");
        EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd));
        EXPECT_EQ(1, dlg.Tap().State());
    });
    ::DeleteFileA(strIni.c_str());
}

TEST_F(FtdiCableTest, AnUnpluggedCableFailsItsClockAndAReconnectedOneWorksAgain)
{
    CStandinFtdi ftdi;
    ASSERT_TRUE(ftdi.port.Open());
    CableOn();
    SetTms(1);
    Clock();
    ASSERT_TRUE(CableFailure().empty());

    Unplug();
    TakeLog();
    Clock();
    EXPECT_NE(std::string::npos, CableFailure().find("FT_Write")) << CableFailure();
    EXPECT_EQ((std::vector<std::string>{"write 08 08 09 09", "close"}), TakeLog());

    // Still unplugged: every clock fails at once, with what was looked for.
    Clock();
    EXPECT_NE(std::string::npos, CableFailure().find("No FTDI cable was found")) << CableFailure();

    Plug();
    TakeLog();
    PulseTck();
    EXPECT_EQ(1, GetTdo());
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    // "ftdi" now means the device first opened: by its serial number. The pins start with TCK
    // low, whatever the last clock left.
    EXPECT_EQ((std::vector<std::string>{"openex MV2232A", "reset", "timeouts 400 400", "latency 2", "baud 9600",
                                        "bitmode 00 04", "purge 3", "write 08", "read 1", "bitmode 0B 04",
                                        "write 08 08 09 09", "read 4"}),
              TakeLog());
    CableOff();
}

// The TAP stays powered while the cable is out: plugged back, the cable's outputs come on with
// TCK low, so that the TAP takes no clock (an UPDATE-IR of a half-shifted register) before the
// clocks the person asks for.
TEST_F(FtdiCableTest, AReplugMakesNoClockOfItsOwn)
{
    CStandinFtdi ftdi;
    ASSERT_NO_FATAL_FAILURE(OpenAndClock(ftdi.port, {1, 1, 1, 1, 1, 0, 1, 1, 0, 0, 1}));
    ASSERT_EQ(TapState::Exit1Ir, StandinChip().Board().State());
    Unplug();
    Clock();
    ASSERT_FALSE(CableFailure().empty());
    // The failed clock reached nothing: the board is where it was.
    ASSERT_EQ(TapState::Exit1Ir, StandinChip().Board().State());
    Plug();
    SetTms(1);
    DriveLevels();
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    EXPECT_EQ(TapState::Exit1Ir, StandinChip().Board().State());
    CableOff();
}

// A level held by hand moves TCK low, where the board drives its next TDO bit: TDO read then is
// the pin's level after the held level, not the sample the chip took before putting it out.
TEST_F(FtdiCableTest, TdoAfterAHeldLevelIsThePinsLevelThen)
{
    CStandinFtdi ftdi;
    // Reset, to SHIFT-DR with the IDCODE captured, and two bits shifted: bit 2 (0) comes next.
    ASSERT_NO_FATAL_FAILURE(OpenAndClock(ftdi.port, {1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0}));
    ASSERT_EQ(TapState::ShiftDr, StandinChip().Board().State());
    SetTdi(1);
    DriveLevels();
    const BYTE pin = (StandinChip().Board().ReadStatus() & STATUS_TDO) != 0 ? 1 : 0;
    EXPECT_EQ(0, pin) << "bit 2 of the IDCODE";
    EXPECT_EQ(pin, GetTdo());
    CableOff();
}

std::shared_ptr<ICable> StandinPort(const CableName& cable, const FtdiPinMap& map)
{
    if (cable.kind == CableKind::Ftdi)
        return std::make_shared<CD2xxPort>(cable, map, &StandinD2xx());
    return MakeCable(cable, map);
}

// A failed switch of cables gives back the very device that was in use, even where its name
// ("ftdi", the first device listed) would now find a USB-serial adapter first.
TEST_F(FtdiCableTest, AFailedSwitchTakesBackTheVeryDeviceInUse)
{
    CCableChoice cables("", &StandinPort);
    std::string strError;
    ASSERT_TRUE(cables.Start(Parsed("--cable ftdi"), strError)) << strError;
    ASSERT_TRUE(cables.CheckAccess(strError)) << strError;
    CPortScope scope(&cables.Cable());
    CableOn();
    Clock();
    CableOff();
    ::SetEnvironmentVariableA("MORVA_FTDI_UART", "first");
    TakeLog();
    EXPECT_FALSE(cables.Use("ftdi:NOSUCH", strError));
    CableOn();
    Clock();
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    bool bOpened = false;
    for (const std::string& line : TakeLog())
    {
        bOpened = bOpened || line == "openex MV2232A";
        EXPECT_NE(0u, line.rfind("uart ", 0)) << "the adapter was touched: " << line;
    }
    EXPECT_TRUE(bOpened);
    CableOff();
    ::SetEnvironmentVariableA("MORVA_FTDI_UART", nullptr);
}

// With a USB-serial adapter beside the cable, a reconnect after the cable is gone must not put
// the adapter into bit-bang mode: it opens the device first opened or nothing.
TEST_F(FtdiCableTest, AReconnectOpensOnlyTheDeviceFirstOpened)
{
    ::SetEnvironmentVariableA("MORVA_FTDI_UART", "1");
    {
        CD2xxPort port(ParsedCable("ftdi"), FtdiPinMap(), &StandinD2xx());
        CPortScope scope(&port);
        Plug();
        ASSERT_TRUE(port.Open()) << port.OpenProblem();
        const std::vector<std::string> opened = TakeLog();
        ASSERT_GE(opened.size(), 2u);
        EXPECT_EQ("list 2", opened[0]);
        EXPECT_EQ("openex MV2232A", opened[1]);
        CableOn();
        Clock();

        Unplug();
        Clock();
        Clock();
        const std::string failure = CableFailure();
        EXPECT_NE(std::string::npos, failure.find("first opened, MV2232A (MV232H JTAG)")) << failure;
        EXPECT_NE(std::string::npos, failure.find("opens no other device")) << failure;
        EXPECT_NE(std::string::npos, failure.find("MVUART01 (FT232R USB UART)")) << failure;
        for (const std::string& line : TakeLog())
        {
            EXPECT_NE("openex MVUART01", line);
            EXPECT_NE(0u, line.rfind("uart ", 0)) << "the adapter was driven: " << line;
        }
        CableOff();
    }
    ::SetEnvironmentVariableA("MORVA_FTDI_UART", nullptr);
}

// D2XX adds the channel letter to the serial number, and keeps 16 bytes with the NUL.
TEST(CableNameTest, ASerialNumberLeavesRoomForItsChannelLetter)
{
    CableName cable;
    std::string strError;
    EXPECT_TRUE(ParseCableName("ftdi:ABCDEFGHIJKLMNO", cable, strError)) << strError;
    EXPECT_TRUE(ParseCableName("ftdi:ABCDEFGHIJKLMN/B", cable, strError)) << strError;
    EXPECT_FALSE(ParseCableName("ftdi:ABCDEFGHIJKLMNO/B", cable, strError));
    EXPECT_NE(std::string::npos, strError.find("14 with a channel letter")) << strError;
}

// The pin controls over an FTDI cable: a level held by hand is one transfer with TCK low, a TCK
// clock the click's one transfer, and TDO read without a clock one sample of the pins as held.
TEST_F(FtdiCableTest, PinsHeldByHandAreATransferEachAndTdoIsReadWithoutAClock)
{
    CD2xxPort port(ParsedCable("ftdi:MV2232/A"), FtdiPinMap(), &StandinD2xx());
    CPortScope scope(&port);
    ASSERT_TRUE(port.Open());
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        Click(dlg, IDC_TEST_LOGIC_RESET);
        TakeLog();
        Click(dlg, IDC_TMS);  // TMS 0 with TDI 1 held: TDI's pin alone
        EXPECT_EQ((std::vector<std::string>{"write 02", "read 1"}), TakeLog());
        Click(dlg, IDC_TCK);
        EXPECT_EQ((std::vector<std::string>{"write 02 02 03 03", "read 4"}), TakeLog());
        EXPECT_EQ(1, dlg.Tap().State());
        Click(dlg, IDC_TDO);
        EXPECT_EQ((std::vector<std::string>{"write 03", "read 1"}), TakeLog());
        EXPECT_EQ(1, Item<CButton>(dlg, IDC_TDO).GetCheck());
        EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    });
}

TEST_F(FtdiCableTest, ACableThatIsNotThereSaysWhatWasLookedFor)
{
    Unplug();
    CD2xxPort port(ParsedCable("ftdi:MV2232/A"), FtdiPinMap(), &StandinD2xx());
    EXPECT_FALSE(port.Open());
    EXPECT_NE(std::string::npos, port.OpenProblem().find("serial number MV2232, channel A")) << port.OpenProblem();

    Plug();
    CD2xxPort other(ParsedCable("ftdi:OTHER"), FtdiPinMap(), &StandinD2xx());
    EXPECT_FALSE(other.Open());
    EXPECT_NE(std::string::npos, other.OpenProblem().find("OTHER")) << other.OpenProblem();
}

TEST_F(FtdiCableTest, ThePinMapDecidesWhichPinsMove)
{
    FtdiPinMap map;
    map.nTck = 4;
    map.nTdi = 5;
    map.nTdo = 6;
    map.nTms = 7;
    map.value = 0x01;      // a buffer enable held high
    map.direction = 0x01;
    CD2xxPort port(ParsedCable("ftdi"), map, &StandinD2xx());
    CPortScope scope(&port);
    ASSERT_TRUE(port.Open());
    TakeLog();
    CableOn();
    SetTdi(1);
    Clock();
    EXPECT_EQ((std::vector<std::string>{"write 01", "read 1", "bitmode B1 04", "write 21 21 31 31", "read 4"}),
              TakeLog());
    CableOff();
}

// --- MPSSE through D2XX --------------------------------------------------------------------------

// The stand-in's chip is one with MPSSE: an FT2232H (FT_DEVICE 6) unless another is given.
class D2xxMpsseTest : public FtdiCableTest
{
protected:
    void SetUp() override
    {
        FtdiCableTest::SetUp();
        SetChip(6);
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableA("MORVA_FTDI_TYPE", nullptr);
        FtdiCableTest::TearDown();
    }
    static void SetChip(int nType) { ::SetEnvironmentVariableA("MORVA_FTDI_TYPE", std::to_string(nType).c_str()); }
    static CableName OnChip(int nType)
    {
        SetChip(nType);
        return ParsedCable("ftdi");
    }

    // A chip of that type as the cable, opened and switched on, an engine over it, reset and
    // unpaced; switched off at the end.
    struct CStarted
    {
        explicit CStarted(int nType) : port(OnChip(nType), FtdiPinMap(), &StandinD2xx()), scope(&port)
        {
            bOpen = port.Open();
            if (!bOpen)
                return;
            CableOn();
            engine.SetPaced(false);
            engine.Reset();
        }
        ~CStarted()
        {
            if (bOpen)
                CableOff();
        }
        CD2xxPort port;
        CPortScope scope;
        CTapEngine engine{&TestCable()};
        bool bOpen = false;
    };
};

// D2XX's calls for the same sequence libftdi's take: the engine reset and started, the echo of a
// bad command, the clock (here an FT2232D's 12 MHz, FT_DEVICE 4: no H series commands), then a
// click as one TMS command read at once.
TEST_F(D2xxMpsseTest, TheEngineIsStartedThroughD2xxAndAClickIsOneTmsCommand)
{
    SetChip(4);
    FtdiPinMap map;
    map.nKhz = 1000;
    CD2xxPort port(ParsedCable("ftdi:MV2232/A"), map, &StandinD2xx());
    CPortScope scope(&port);
    ASSERT_TRUE(port.Open()) << port.OpenProblem();
    EXPECT_EQ((std::vector<std::string>{"openex MV2232A", "reset", "timeouts 400 400", "latency 2", "baud 9600",
                                        "bitmode 00 00", "bitmode 00 02", "purge 3", "write AA", "read 2",
                                        "write 86 05 00 85 80 00 00"}),
              TakeLog());
    EXPECT_EQ("FTDI cable MV2232 channel A (D2XX, MPSSE at 1 MHz)", port.Description());
    CableOn();
    SetTms(1);
    SetTdi(1);
    PulseTck();
    EXPECT_EQ(1, GetTdo());
    EXPECT_EQ((std::vector<std::string>{"write 80 00 0B", "write 6B 00 81 87", "read 1"}), TakeLog());
    CableOff();
    EXPECT_EQ(0, StandinChip().Outputs());
}

// A SEND of 1,024 bits through the engine: one write and one read through D2XX, the board and
// the record as bit-bang (an FT232R, FT_DEVICE 5) leaves them.
TEST_F(D2xxMpsseTest, ASendIsOneWriteAndOneReadAndRecordsWhatBitBangRecords)
{
    std::vector<int> records[2];
    CBits read[2];
    for (int nMode = 0; nMode < 2; ++nMode)
    {
        CStarted started(nMode == 0 ? 5 : 6);
        ASSERT_TRUE(started.bOpen) << started.port.OpenProblem();
        CTapEngine& engine = started.engine;
        ASSERT_EQ(Ended::Done, engine.Shift(TAP_IR, CBits(4, true), [](size_t) { return false; }));
        TakeLog();
        const size_t nBefore = engine.Session().Count();
        CBits value(1024, false);
        for (size_t i = 0; i < 1024; i += 3)
            value.Set(i, true);
        ASSERT_EQ(Ended::Done, engine.Shift(TAP_DR, value, [](size_t) { return false; }));
        read[nMode] = engine.BitsOut();
        for (size_t i = nBefore; i < engine.Session().Count(); ++i)
            records[nMode].push_back(engine.Session().At(i).bits * 100 + engine.Session().At(i).nState);
        const std::vector<std::string> log = TakeLog();
        if (nMode == 1)
        {
            ASSERT_EQ(2u, log.size());
            EXPECT_EQ("write 6B 01 81 39 7F 00", log[0].substr(0, 23));
            EXPECT_EQ("read 130", log[1]) << "a byte for each eight of the 1,029 clocks, and the bits left";
        }
    }
    ASSERT_EQ(1029u, records[0].size());
    EXPECT_EQ(records[0], records[1]);
    EXPECT_EQ(read[0], read[1]);
}

// A SEND of one bit, an SVF RUNTEST and the chain scan through the engine on D2XX: each command
// one write and one read, the board and the record as bit-bang (an FT232R) leaves them.
TEST_F(D2xxMpsseTest, AOneBitSendAnSvfRuntestAndTheScanAreAWriteAndAReadEachAndRecordWhatBitBangRecords)
{
    std::vector<int> records[2];
    std::string found[2];
    for (int nMode = 0; nMode < 2; ++nMode)
    {
        CStarted started(nMode == 0 ? 5 : 6);
        ASSERT_TRUE(started.bOpen) << started.port.OpenProblem();
        CTapEngine& engine = started.engine;
        TakeLog();
        std::vector<size_t> transfers;
        ASSERT_EQ(Ended::Done, engine.Shift(TAP_DR, CBits(1, true), [](size_t) { return false; }));
        transfers.push_back(TakeLog().size());
        CSvfReader reader;
        reader.OpenText("RUNTEST 100 TCK;\n");
        SvfCommand command;
        std::string strError;
        ASSERT_TRUE(reader.Next(command, strError)) << strError;
        CSvfPlayer player(engine, [](const std::string&) {});
        SvfMismatch mismatch;
        ASSERT_EQ(Ended::Done, player.Play(command, mismatch, strError)) << strError;
        const std::vector<std::string> runtest = TakeLog();
        transfers.push_back(runtest.size());
        ChainScan scan;
        ASSERT_EQ(Ended::Done, ScanChain(engine, {}, scan));
        for (size_t i = 0; i < scan.devices.size(); ++i)
            found[nMode] += FormatChainDevice(i + 1, scan.devices[i]) + "\n";
        for (size_t i = 0; i < engine.Session().Count(); ++i)
            records[nMode].push_back(engine.Session().At(i).bits * 100 + engine.Session().At(i).nState);
        EXPECT_EQ(TapState::RunTestIdle, StandinChip().Board().State());
        if (nMode == 1)
        {
            EXPECT_EQ((std::vector<size_t>{2, 2}), transfers) << "a write and a read for the SEND, and for RUNTEST";
            // 100 clocks in RUN-TEST/IDLE, TDI held high: 96 as 12 bytes of data (0x39, length 11)
            // and 4 as bits (0x3B, length 3), all read; send immediate; 13 bytes back.
            EXPECT_EQ("write 39 0B 00 FF FF FF FF FF FF FF FF FF FF FF FF 3B 03 0F 87", runtest[0]);
            EXPECT_EQ("read 13", runtest[1]);
        }
    }
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", found[1].substr(0, 26));
    EXPECT_EQ(found[0], found[1]);
    EXPECT_EQ(records[0], records[1]);
}

// --- Loading the library ----------------------------------------------------------------------

std::string StandinPath(const char* pszVariant)
{
    std::string path = std::string("Z:") + MORVA_STANDIN_DIR + "/" + pszVariant + "/ftd2xx.dll";
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

TEST(D2xxLibraryTest, AMissingOrOldLibraryIsNamedWithWhatToDo)
{
    D2xxApi api = {};
    std::string strError;
    EXPECT_TRUE(LoadD2xx(StandinPath("whole"), api, strError)) << strError;
    EXPECT_NE(nullptr, api.pfnSetBitMode);

    EXPECT_FALSE(LoadD2xx(StandinPath("old"), api, strError));
    EXPECT_NE(std::string::npos, strError.find("has no FT_SetBitMode")) << strError;

    EXPECT_FALSE(LoadD2xx("C:\\nowhere\\ftd2xx.dll", api, strError));
    EXPECT_NE(std::string::npos, strError.find("C:\\nowhere\\ftd2xx.dll")) << strError;
    EXPECT_NE(std::string::npos, strError.find("D2XX driver")) << strError;

    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(std::string(system) + "\\ftd2xx.dll", SystemD2xxPath());
}

} // namespace
