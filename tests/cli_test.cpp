// Values sent from the command line, without a window, through the network cables to the test
// servers: what is said on which stream, and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "recording_port.h"
#include "app/CableChoice.h"
#include "app/CableOptions.h"
#include "cli/ShiftRun.h"
#include "net/jtag_server.h"

namespace {

struct Said
{
    std::vector<std::string> out;
    std::vector<std::string> errors;

    SAY_LINE Sayer()
    {
        return [this](const std::string& strLine, bool bError) { (bError ? errors : out).push_back(strLine); };
    }
};

// The command line as the program takes it, its cable started.
CommandLine Started(const std::string& strCommandLine, CCableChoice& cables)
{
    CommandLine options;
    std::string strError;
    EXPECT_TRUE(ParseCommandLine(strCommandLine.c_str(), options, strError)) << strError;
    EXPECT_TRUE(options.bNoWindow);
    EXPECT_TRUE(cables.Start(options, strError)) << strError;
    return options;
}

// Its values sent on the cable it names: the exit code.
int RunCommandLine(const std::string& strCommandLine, Said& said)
{
    CCableChoice cables("");
    const CommandLine options = Started(strCommandLine, cables);
    return RunShifts(cables.Cable(), options.shifts, options.strTrace, said.Sayer());
}

// Its --scan and --srst: the exit code.
int RunScanOrPulse(const std::string& strCommandLine, Said& said)
{
    CCableChoice cables("");
    const CommandLine options = Started(strCommandLine, cables);
    CommandLineWork work;
    work.pCable = &cables.Cable();
    work.bScan = options.bScan;
    work.bSrst = options.bSrst;
    return RunCommandLineWork(work, "", said.Sayer());
}

TEST(CommandLineTest, EachValueThatCameOutIsALineThroughEachNetworkCable)
{
    for (ServerProtocol protocol : {ServerProtocol::RemoteBitbang, ServerProtocol::Xvc})
    {
        CJtagServer server(protocol);
        Said said;
        EXPECT_EQ(0, RunCommandLine("--cable " + server.Cable() + " /ir:4'b0010 --dr 32'h0 --ir=4'hF --dr 2'b11", said));
        // The IR's capture, the IDCODE, the capture again, and BYPASS's one bit (0) ahead of the
        // first 1 shifted in.
        EXPECT_EQ((std::vector<std::string>{"4'h1", "32'h14D5654B", "4'h1", "2'h2"}), said.out) << server.Cable();
        EXPECT_TRUE(said.errors.empty()) << said.errors.front();
        EXPECT_EQ(CJtagDevice::IR_BYPASS, server.Board().Instruction());
        EXPECT_EQ(TapState::RunTestIdle, server.Board().State());
    }
}

TEST(CommandLineTest, ACableLostMidValueSaysWhereWithTheValuesBeforeItSaid)
{
    CJtagServer server(ServerProtocol::RemoteBitbang);
    ServerFaults faults;
    faults.nCloseAfterClocks = 6 + 11 + 10;  // the reset, the IR, and ten clocks of the DR
    server.SetFaults(faults);
    Said said;
    EXPECT_EQ(EXIT_NOT_DONE, RunCommandLine("--cable " + server.Cable() + " --ir 4'b0010 --dr 32'h0 --dr 32'h0", said));
    EXPECT_EQ(std::vector<std::string>{"4'h1"}, said.out);
    ASSERT_EQ(1u, said.errors.size());
    EXPECT_NE(std::string::npos, said.errors[0].find("stopped answering while sending --dr 32'h0")) << said.errors[0];
}

TEST(CommandLineTest, AValueThatCannotBeSentIsRefusedByNameBeforeAnyCable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"--cable sim --ir 4'bxx", "MORVA cannot send \"4'bxx\" given with --ir"},
        {"--dr 3'h9 --cable sim", "MORVA cannot send \"3'h9\" given with --dr"},
        {"--cable sim --dr", "names no value"},
    };
    for (const auto& c : cases)
    {
        CommandLine options;
        std::string strError;
        EXPECT_FALSE(ParseCommandLine(c.first, options, strError)) << c.first;
        EXPECT_TRUE(options.bNoWindow) << c.first << ": the refusal goes to the terminal, not a box";
        EXPECT_NE(std::string::npos, strError.find(c.second)) << strError;
    }
}

// --board-test goes without a window, with its chips named by --ref (which needs it) and its
// yes given by --extest without --device; the values of another command do not go with it.
TEST(CommandLineTest, TheBoardTestsOptionsGoTogether)
{
    CommandLine options;
    std::string strError;
    ASSERT_TRUE(ParseCommandLine("--cable sim --board-test b.net --ref U1=1 --ref U7=2 --extest", options, strError))
        << strError;
    EXPECT_TRUE(options.bNoWindow);
    EXPECT_EQ("b.net", options.strBoardTest);
    EXPECT_EQ(std::vector<std::string>({"U1=1", "U7=2"}), options.refs);
    const std::pair<const char*, const char*> refused[] = {
        {"--ref U1=1", "--ref names the board's chips for --board-test: give the board with --board-test FILE."},
        {"--board-test b.net --device 1 --ir 1",
         "--board-test tests the board on its own: leave out --scan, --svf, --svf-out, --device, --ir, --dr, --sample "
         "and --drive, or give them apart."},
        {"--board-test a.net --board-test b.net", "The board is given twice on the command line; give it once."},
    };
    for (const auto& line : refused)
    {
        EXPECT_FALSE(ParseCommandLine(line.first, options, strError)) << line.first;
        EXPECT_EQ(line.second, strError);
    }
}

} // namespace

namespace {

// A settings file of this text, deleted with the object.
struct CTempSettings
{
    explicit CTempSettings(const std::string& text)
    {
        char folder[MAX_PATH] = {};
        char path[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, folder);
        ::GetTempFileNameA(folder, "ini", 0, path);
        strPath = path;
        // Written through the system, as the program reads it: a Windows path in both builds.
        HANDLE hFile = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD dwWritten = 0;
        ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
        ::CloseHandle(hFile);
    }
    ~CTempSettings() { ::DeleteFileA(strPath.c_str()); }
    std::string strPath;
};

} // namespace

// khz= under [cable] and --khz on the command line, which wins; mode= under [ftdi]; each refused
// with the line to write where it is no clock or no mode.
TEST(CommandLineTest, TheClockComesFromTheCommandLineOverTheSettingsAndTheModeFromTheSettings)
{
    CTempSettings settings("[cable]\ncable=ftdi\nkhz=2000 ; two megahertz\n[ftdi]\nmode=bitbang\n");
    const auto resolved = [&](const char* pszLine, FtdiPinMap& map, std::string& strError) {
        CommandLine options;
        EXPECT_TRUE(ParseCommandLine(pszLine, options, strError)) << strError;
        CableName cable;
        map = FtdiPinMap();
        return ResolveCable(options, settings.strPath, cable, map, strError);
    };
    FtdiPinMap map;
    std::string strError;
    ASSERT_TRUE(resolved("", map, strError)) << strError;
    EXPECT_EQ(2000u, map.nKhz);
    EXPECT_TRUE(map.bBitBang);
    ASSERT_TRUE(resolved("--khz 30000", map, strError)) << strError;
    EXPECT_EQ(30000u, map.nKhz);
    ASSERT_TRUE(resolved("--cable=xvc:127.0.0.1:2542", map, strError)) << strError;
    EXPECT_EQ(2000u, map.nKhz) << "the clock is every cable's whose clock can be set";

    for (const char* pszText : {"[cable]\ncable=ftdi\nkhz=0\n", "[cable]\ncable=xvc:127.0.0.1:2542\nkhz=fast\n",
                                "[cable]\ncable=ftdi\nkhz=100001\n"})
    {
        CTempSettings wrong(pszText);
        CommandLine options;
        CableName cable;
        EXPECT_FALSE(ResolveCable(options, wrong.strPath, cable, map, strError)) << pszText;
        EXPECT_NE(std::string::npos, strError.find("[cable]\n    khz=6000")) << strError;
    }
    CTempSettings turbo("[cable]\ncable=ftdi\n[ftdi]\nmode=turbo\n");
    CommandLine options;
    CableName cable;
    EXPECT_FALSE(ResolveCable(options, turbo.strPath, cable, map, strError));
    EXPECT_NE(std::string::npos, strError.find("mode=turbo")) << strError;
    EXPECT_NE(std::string::npos, strError.find("[ftdi]\n    mode=bitbang")) << strError;

    for (const char* pszLine : {"--khz 0", "--khz 100001", "--khz fast", "--khz 6000 --khz 1", "--khz"})
    {
        CommandLine refused;
        EXPECT_FALSE(ParseCommandLine(pszLine, refused, strError)) << pszLine;
        EXPECT_FALSE(strError.empty()) << pszLine;
    }
}

// An XVC server is asked for the period of the clock given, and --scan says the clock it keeps.
TEST(CommandLineTest, AnXvcServerIsAskedForTheClockGivenAndTheScanSaysIt)
{
    CJtagServer server(ServerProtocol::Xvc);
    Said said;
    EXPECT_EQ(0, RunScanOrPulse("--cable " + server.Cable() + " --khz 2000 --scan", said));
    ASSERT_EQ(1u, said.out.size());
    EXPECT_EQ(0u, said.out[0].find("1  IR ")) << said.out[0];
    // 500 ns, little-endian.
    EXPECT_NE(std::string::npos, server.TakeReceived().find(std::string("settck:\xF4\x01\x00\x00", 11)));
    ASSERT_EQ(1u, said.errors.size());
    EXPECT_EQ(0u, said.errors[0].find("Scanned at TCK 2 MHz, through ")) << said.errors[0];
    EXPECT_NE(std::string::npos, said.errors[0].find("TCK period 500 ns")) << said.errors[0];
}

// The pins beyond the engine's four: value= and direction= with the high pins in their high
// byte, trst= and srst= on pins 4 to 15, each refused with why where it cannot be.
TEST(CommandLineTest, TheResetLinesAndTheHighPinsAreReadFromTheSettings)
{
    CTempSettings settings("[cable]\ncable=ftdi\n[ftdi]\ntrst=4\nsrst=9\nvalue=0x0110\ndirection=0x0310\n");
    CommandLine options;
    CableName cable;
    FtdiPinMap map;
    std::string strError;
    ASSERT_TRUE(ResolveCable(options, settings.strPath, cable, map, strError)) << strError;
    EXPECT_EQ(4, map.nTrst);
    EXPECT_EQ(9, map.nSrst);
    EXPECT_EQ(0x10, map.value);
    EXPECT_EQ(0x01, map.valueHigh);
    EXPECT_EQ(0x10, map.direction);
    EXPECT_EQ(0x03, map.directionHigh);
    for (const char* pszText : {"trst=3", "trst=16", "srst=x", "trst=5\nsrst=5", "value=0x10000"})
    {
        CTempSettings wrong(std::string("[cable]\ncable=ftdi\n[ftdi]\n") + pszText + "\n");
        map = FtdiPinMap();
        EXPECT_FALSE(ResolveCable(options, wrong.strPath, cable, map, strError)) << pszText;
        EXPECT_NE(std::string::npos, strError.find("[ftdi]")) << pszText << ": " << strError;
    }
}

// --srst on a cable without the line is refused with what to set, status 2, and nothing clocked.
TEST(CommandLineTest, AnSrstPulseOnACableWithoutTheLineIsRefused)
{
    Said said;
    EXPECT_EQ(2, RunScanOrPulse("--cable sim --srst", said));
    ASSERT_EQ(1u, said.errors.size());
    EXPECT_NE(std::string::npos, said.errors[0].find("no SRST line")) << said.errors[0];
    EXPECT_TRUE(said.out.empty());
}
