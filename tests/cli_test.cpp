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

// The command line as the program takes it, on the cable it names: the exit code.
int RunCommandLine(const std::string& strCommandLine, Said& said)
{
    CommandLine options;
    std::string strError;
    EXPECT_TRUE(ParseCommandLine(strCommandLine.c_str(), options, strError)) << strError;
    EXPECT_TRUE(options.bNoWindow);
    CCableChoice cables("");
    EXPECT_TRUE(cables.Start(options, strError)) << strError;
    return RunShifts(cables.Cable(), options.shifts, options.strTrace, said.Sayer());
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

} // namespace
