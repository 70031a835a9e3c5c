// The Linux cables: a parallel port through ppdev and an FTDI cable through libftdi, each with
// the simulated board behind the same calls the real driver or library takes.
#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cable/cable.h"
#include "engine/TapEngine.h"
#include "dialog_runner.h"
#include "libftdi_standin.h"
#include "net/jtag_server.h"
#include "net/server_socket.h"
#include "ports/port_factory.h"
#include "ports/libftdi_port.h"
#include "ports/ppdev_port.h"
#include "ppdev_standin.h"
#include "recording_port.h"
#include "simboard/jtag_device.h"

namespace {

typedef std::vector<std::string> Lines;

CableName ParsedCable(const char* pszText)
{
    CableName cable;
    std::string strError;
    EXPECT_TRUE(ParseCableName(pszText, cable, strError)) << strError;
    return cable;
}

// The Windows program's port: every data-register write and status read, with a board behind.
class CBoardRecorder : public CParallelPort
{
public:
    void Write(unsigned short address, unsigned char value) override
    {
        char line[20];
        snprintf(line, sizeof(line), "%04X <- %02X", address, value);
        log.push_back(line);
        if (address == DATA_PORT)
            m_board.WriteData(value);
    }
    unsigned char Read(unsigned short address) override
    {
        const unsigned char value = address == STATUS_PORT ? m_board.ReadStatus() : 0xFF;
        char line[20];
        snprintf(line, sizeof(line), "%04X -> %02X", address, value);
        log.push_back(line);
        return value;
    }
    Lines log;

private:
    CJtagDevice m_board;
};

// The ppdev log in the same words: PPWDATA is the data register, PPRSTATUS the status register.
Lines AsPortAccesses(const Lines& ppdev)
{
    Lines accesses;
    for (const std::string& line : ppdev)
    {
        if (line.compare(0, 8, "PPWDATA ") == 0)
            accesses.push_back("0378 <- " + line.substr(8));
        else if (line.compare(0, 10, "PPRSTATUS ") == 0)
            accesses.push_back("0379 -> " + line.substr(10));
    }
    return accesses;
}

// The port opened and clocked once, then its device gone from the stand-in and clocked again: the
// clock that finds it gone, with the stand-in's log cleared before it.
template <class PORT, class STANDIN>
void ClockedThenUnplugged(PORT& port, STANDIN& standin)
{
    ASSERT_TRUE(Opened(port));
    CableOn();
    SetTms(1);
    Clock();
    ASSERT_TRUE(CableFailure().empty());

    standin.bPresent = false;
    standin.Take();
    Clock();
}

// A SEND-DR of 32'h0 from RUN-TEST/IDLE as one run of the engine, or its 37 clocks one at a time
// as clicks make them: what the stand-in was asked (its log since) and each clock recorded.
struct RunTaken
{
    Lines log;
    std::vector<int> record;  // TMS, TDI and TDO, and the state
};

template <class PORT>
RunTaken TakenFrom(PORT& port, const std::function<Lines()>& take, bool bRun)
{
    RunTaken taken;
    CPortScope scope(&port);
    EXPECT_TRUE(Opened(port)) << OpenProblemOf(port);
    CableOn();
    CTapEngine engine{&TestCable()};
    engine.SetPaced(false);
    engine.Reset();
    engine.Step(StepInto(STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE));
    take();
    const size_t nBefore = engine.Session().Count();
    if (bRun)
        EXPECT_EQ(Ended::Done,
                  engine.Shift(TAP_DR, CBits(32, false), [](size_t) { return false; }));
    else
    {
        for (const TapStep& step : ShortestPath(STATE_RUN_TEST_IDLE, STATE_SHIFT_DR))
            engine.Step(step);
        for (int i = 0; i < 32; ++i)
            engine.Step({static_cast<unsigned char>(i == 31 ? 1 : 0), 0, i == 31 ? STATE_EXIT1_DR : STATE_SHIFT_DR});
        engine.Step(StepInto(STATE_EXIT1_DR, STATE_UPDATE_DR));
        engine.Step(StepInto(STATE_UPDATE_DR, STATE_RUN_TEST_IDLE));
    }
    taken.log = take();
    for (size_t i = nBefore; i < engine.Session().Count(); ++i)
        taken.record.push_back(engine.Session().At(i).bits * 100 + engine.Session().At(i).nState);
    CableOff();
    return taken;
}

// --- ppdev ------------------------------------------------------------------------------------

TEST(PpdevCableTest, ClaimsThePortAloneAndLeavesItZeroedAndReleased)
{
    const PpdevCalls& calls = StandinPpdevCalls();
    {
        CPpdevPort port("/dev/parport0", DATA_PORT, calls);
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        EXPECT_EQ((Lines{"open /dev/parport0", "PPEXCL", "PPCLAIM"}), Ppdev().Take());
        EXPECT_EQ("parallel port /dev/parport0 (ppdev)", port.Description());
    }
    EXPECT_EQ((Lines{"PPWDATA 00", "PPRELEASE", "close"}), Ppdev().Take());
    EXPECT_EQ(0, Ppdev().nOpenFiles);
}

// With the printer driver lp loaded the kernel refuses the exclusive claim: the port is claimed
// shared, as other programs claim it, and the About box says so.
TEST(PpdevCableTest, WhereTheExclusiveClaimIsRefusedThePortIsClaimedShared)
{
    const PpdevCalls& calls = StandinPpdevCalls();
    Ppdev().bLpLoaded = true;
    {
        CPpdevPort port("/dev/parport0", DATA_PORT, calls);
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        EXPECT_EQ((Lines{"open /dev/parport0", "PPEXCL", "PPCLAIM", "close", "open /dev/parport0", "PPCLAIM"}),
                  Ppdev().Take());
        EXPECT_EQ(1, Ppdev().nOpenFiles);
        EXPECT_EQ("parallel port /dev/parport0 (ppdev, claim shared with other drivers)", port.Description());
    }
    EXPECT_EQ((Lines{"PPWDATA 00", "PPRELEASE", "close"}), Ppdev().Take());
    EXPECT_EQ(0, Ppdev().nOpenFiles);
}

// The same clicks give the same register accesses, in the same order, as the Windows program's
// port I/O: one ioctl for each.
TEST(PpdevCableTest, AResetAndAWalkAreTheWindowsProgramsBytesOneIoctlEach)
{
    CBoardRecorder windows;
    {
        CPortScope scope(&windows);
        EXPECT_EQ(CJtagDevice::IDCODE, ClickOutIdcode());
    }
    CPpdevPort port("/dev/parport0", DATA_PORT, StandinPpdevCalls());
    CPortScope scope(&port);
    ASSERT_TRUE(Opened(port));
    Ppdev().Take();
    EXPECT_EQ(CJtagDevice::IDCODE, ClickOutIdcode());
    const Lines ppdev = Ppdev().Take();
    EXPECT_EQ(AsPortAccesses(ppdev).size(), ppdev.size()) << "nothing but data writes and status reads";
    EXPECT_EQ(windows.log, AsPortAccesses(ppdev));
    EXPECT_GT(windows.log.size(), 200u);
}

struct OpenFault
{
    int nOpenErrno;
    int nClaimErrno;
    const char* pszSays;
};

// A port by its address, as a Windows user knows it (lpt:0xD010 for a PCIe card): the kernel's
// list of ports gives its device file, and the port opened is that one.
TEST(PpdevCableTest, APortAddressIsTheDeviceFileOfThePortThatHasIt)
{
    char folder[] = "/tmp/morva-parport-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    const std::string proc = folder;
    for (const auto& port : {std::make_pair("parport0", "888\t1912\n"), std::make_pair("parport1", "53264\t53272\n")})
    {
        mkdir((proc + "/" + port.first).c_str(), 0700);
        std::ofstream(proc + "/" + port.first + "/base-addr") << port.second;
    }
    std::string strDevice, strError;
    ASSERT_TRUE(FindParportAt(0xD010, proc, strDevice, strError)) << strError;
    EXPECT_EQ("/dev/parport1", strDevice);
    EXPECT_FALSE(FindParportAt(0xE800, proc, strDevice, strError));
    EXPECT_NE(std::string::npos, strError.find("address 0xE800")) << strError;
    EXPECT_NE(std::string::npos, strError.find("lpt:/dev/parport0  at 0x378")) << strError;
    EXPECT_NE(std::string::npos, strError.find("lpt:/dev/parport1  at 0xD010")) << strError;
    EXPECT_FALSE(FindParportAt(0xD010, proc + "/none", strDevice, strError));
    EXPECT_NE(std::string::npos, strError.find("lists none")) << strError;
    for (const char* pszPort : {"parport0", "parport1"})
    {
        unlink((proc + "/" + pszPort + "/base-addr").c_str());
        rmdir((proc + "/" + pszPort).c_str());
    }
    rmdir(proc.c_str());

    const PpdevCalls& calls = StandinPpdevCalls();
    Ppdev().device = "/dev/parport1";
    CPpdevPort port(strDevice, DATA_PORT, calls);
    ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
    EXPECT_EQ("open /dev/parport1", Ppdev().Take().front());
}

TEST(PpdevCableTest, EachWayOfNotGettingThePortSaysWhatToDo)
{
    const OpenFault faults[] = {
        {EACCES, 0, "join it with\n    sudo usermod -aG lp $USER"},
        {ENOENT, 0, "There is no parallel port /dev/parport0"},
        {0, EBUSY, "/dev/parport0 is held by another program or driver"},
        {0, ENXIO, "sudo rmmod lp"},
        {EIO, 0, "could not open /dev/parport0"},
    };
    for (const OpenFault& fault : faults)
    {
        const PpdevCalls& calls = StandinPpdevCalls();
        Ppdev().nOpenErrno = fault.nOpenErrno;
        Ppdev().nClaimErrno = fault.nClaimErrno;
        {
            CPpdevPort port("/dev/parport0", DATA_PORT, calls);
            EXPECT_FALSE(Opened(port));
            EXPECT_NE(std::string::npos, OpenProblemOf(port).find(fault.pszSays)) << OpenProblemOf(port);
        }
        EXPECT_EQ(0, Ppdev().nOpenFiles) << fault.pszSays << ": nothing left open";
        for (const std::string& line : Ppdev().log)
            EXPECT_TRUE(line.find("PPRELEASE") == std::string::npos && line.find("PPWDATA") == std::string::npos)
                << fault.pszSays << ": " << line << " on a port never claimed";
    }
}

TEST(PpdevCableTest, APortThatGoesAwayFailsItsClockAndTheNextClockOpensItAgain)
{
    CPpdevPort port("/dev/parport0", DATA_PORT, StandinPpdevCalls());
    CPortScope scope(&port);
    ASSERT_NO_FATAL_FAILURE(ClockedThenUnplugged(port, Ppdev()));
    EXPECT_NE(std::string::npos, CableFailure().find("PPWDATA failed")) << CableFailure();
    EXPECT_EQ((Lines{"PPWDATA 14", "close"}), Ppdev().Take()) << "the rest of a failed clock is not sent";

    // Still gone: the next clock tries once and fails with why.
    Clock();
    EXPECT_NE(std::string::npos, CableFailure().find("There is no parallel port")) << CableFailure();
    EXPECT_EQ((Lines{"open /dev/parport0"}), Ppdev().Take());

    Ppdev().bPresent = true;
    SetTms(1);
    Clock();
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    const Lines reopened = Ppdev().Take();
    ASSERT_GT(reopened.size(), 4u);
    EXPECT_EQ((Lines{"open /dev/parport0", "PPEXCL", "PPCLAIM"}), Lines(reopened.begin(), reopened.begin() + 3));
    EXPECT_EQ(0u, reopened.back().find("PPRSTATUS"));
    CableOff();
}

// --- libftdi ----------------------------------------------------------------------------------

TEST(LibftdiCableTest, OpensLikeTheD2xxCableAndSendsAClockInOneTransfer)
{
    const LibftdiApi& api = StandinLibftdi();
    {
        CLibftdiPort port(ParsedCable("ftdi:MV2232/B"), FtdiPinMap(), api);
        CPortScope scope(&port);
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        // Channel B is interface 2; the serial number goes without the channel letter D2XX adds.
        EXPECT_EQ((Lines{"new", "timeouts 400 400", "interface 2", "open 6001 MV2232", "open 6010 MV2232", "reset",
                         "latency 2", "baud 9600", "bitmode 00 04", "flush"}),
                  Libftdi().Take());
        EXPECT_EQ("FTDI cable MV2232 channel B (libftdi)", port.Description());

        CableOn();
        SetTms(1);
        SetTdi(1);
        PulseTck();
        EXPECT_EQ((Lines{"write 00", "read 1 -> 1", "bitmode 0B 04"}), Libftdi().Take())
            << "a clock is sent only with its TDO read";
        EXPECT_EQ(1, GetTdo());
        EXPECT_EQ((Lines{"write 0A 0A 0B 0B", "read 4 -> 4"}), Libftdi().Take());
        EXPECT_EQ(TapState::TestLogicReset, Libftdi().chip.Board().State());
        CableOff();
        EXPECT_EQ((Lines{"bitmode 00 04"}), Libftdi().Take());
        EXPECT_EQ(0, Libftdi().chip.Outputs());
    }
    EXPECT_EQ((Lines{"close", "free"}), Libftdi().Take());
    EXPECT_EQ(0, Libftdi().nContexts);
}

TEST(LibftdiCableTest, TheIdcodeComesOffTheTdoRowWhenSamplesArriveInPieces)
{
    CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinLibftdi());
    Libftdi().nPiece = 3;
    CPortScope scope(&port);
    ASSERT_TRUE(Opened(port));
    EXPECT_EQ(CJtagDevice::IDCODE, ClickOutIdcode());
    EXPECT_EQ(0, Libftdi().chip.Outputs()) << "the pins drive nothing once the window is closed";
}

struct LibftdiFault
{
    bool bPresent;
    int nOpenResult;
    const char* pszSays;
};

TEST(LibftdiCableTest, EachWayOfNotGettingTheCableSaysWhatToDo)
{
    const LibftdiFault faults[] = {
        {false, 0, "No FTDI cable was found (MORVA looked for the FTDI device with serial number MV2232"},
        {true, FTDI_UNABLE_TO_OPEN, "/etc/udev/rules.d/60-morva-ftdi.rules"},
        {true, FTDI_NO_PERMISSION, "ATTR{idVendor}==\"0403\""},
        {true, FTDI_UNABLE_TO_CLAIM, "held by another program or driver"},
    };
    for (const LibftdiFault& fault : faults)
    {
        const LibftdiApi& api = StandinLibftdi();
        Libftdi().bPresent = fault.bPresent;
        Libftdi().nOpenResult = fault.nOpenResult;
        {
            CLibftdiPort port(ParsedCable("ftdi:MV2232"), FtdiPinMap(), api);
            EXPECT_FALSE(Opened(port));
            EXPECT_NE(std::string::npos, OpenProblemOf(port).find(fault.pszSays)) << OpenProblemOf(port);
        }
        EXPECT_EQ(0, Libftdi().nContexts) << fault.pszSays;
        EXPECT_FALSE(Libftdi().bOpen);
    }
}

TEST(LibftdiCableTest, AnUnpluggedCableFailsItsClockAndAReconnectedOneWorksAgain)
{
    CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinLibftdi());
    CPortScope scope(&port);
    ASSERT_NO_FATAL_FAILURE(ClockedThenUnplugged(port, Libftdi()));
    EXPECT_NE(std::string::npos, CableFailure().find("ftdi_write_data failed with -1")) << CableFailure();
    EXPECT_EQ((Lines{"write 08 08 09 09", "close", "free"}), Libftdi().Take());

    Clock();
    EXPECT_NE(std::string::npos, CableFailure().find("No FTDI cable was found")) << CableFailure();

    Libftdi().bPresent = true;
    Libftdi().Take();
    PulseTck();
    EXPECT_EQ(1, GetTdo());
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    const Lines reopened = Libftdi().Take();
    EXPECT_EQ((Lines{"write 08", "read 1 -> 1", "bitmode 0B 04", "write 08 08 09 09", "read 4 -> 4"}),
              Lines(reopened.end() - 5, reopened.end()));
    CableOff();
}

// "ftdi" is whatever device is found first, once: a reconnect opens only that device, never the
// USB-serial adapter beside it.
TEST(LibftdiCableTest, AReconnectOpensOnlyTheDeviceFirstOpened)
{
    CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinLibftdi());
    Libftdi().bUart = true;
    CPortScope scope(&port);
    ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
    EXPECT_FALSE(Libftdi().bUartOpened);
    CableOn();
    Clock();
    ASSERT_TRUE(CableFailure().empty()) << CableFailure();

    Libftdi().bPresent = false;
    Clock();
    Clock();
    const std::string failure = CableFailure();
    EXPECT_NE(std::string::npos, failure.find("first opened, MV2232 channel A (MV2232 JTAG)")) << failure;
    EXPECT_NE(std::string::npos, failure.find("MVUART01 (FT232R USB UART)")) << failure;
    EXPECT_FALSE(Libftdi().bUartOpened) << "the adapter was opened";

    Libftdi().bPresent = true;
    Clock();
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    EXPECT_FALSE(Libftdi().bUartOpened);
    CableOff();
}

// A chip that takes the clock but sends no samples back fails the clock after the time-out, as
// D2XX's read does, instead of holding the window.
TEST(LibftdiCableTest, AChipThatSendsNothingBackFailsTheClockAfterItsTimeout)
{
    CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinLibftdi());
    CPortScope scope(&port);
    ASSERT_TRUE(Opened(port));
    CableOn();
    Libftdi().bSilent = true;
    Clock();
    EXPECT_NE(std::string::npos, CableFailure().find("ftdi_read_data gave 0 of 4 samples within 400 ms"))
        << CableFailure();
}

} // namespace

// remote_bitbang on a UNIX socket, as simulations on the same machine often serve it.
TEST(RemoteBitbangCableTest, AUnixSocketServesAsTcpDoes)
{
    const std::string path = "/tmp/morva-rbb-" + std::to_string(::GetCurrentProcessId()) + ".sock";
    std::shared_ptr<ICable> port;
    {
        CJtagServer server(ServerProtocol::RemoteBitbang, ServerListenLocal(path.c_str()));
        CableName cable;
        std::string strError;
        ASSERT_TRUE(ParseCableName("rbb:" + path, cable, strError)) << strError;
        port = MakeCable(cable, FtdiPinMap());
        ASSERT_TRUE(Opened(*port)) << OpenProblemOf(*port);
        CPortScope scope(port.get());
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            CCountedWaits waits;
            Click(dlg, IDC_TEST_LOGIC_RESET);
            Click(dlg, IDC_RUN_TEST_IDLE);
            EXPECT_EQ("037R37R37R37R37R37R15R", server.TakeReceived());
            EXPECT_EQ(1, dlg.Tap().State());
        });
    }
    // The server has gone: the name in the message is the socket's.
    port = nullptr;
    CableName cable;
    std::string strError;
    ParseCableName("rbb:" + path, cable, strError);
    std::shared_ptr<ICable> gone = MakeCable(cable, FtdiPinMap());
    ::unlink(path.c_str());
    EXPECT_FALSE(Opened(*gone));
    EXPECT_NE(std::string::npos, OpenProblemOf(*gone).find("listens on " + path)) << OpenProblemOf(*gone);
}

// --- runs of clocks ---------------------------------------------------------------------------

TEST(RunTest, OverPpdevARunIsTheClocksIoctlsOneByOne)
{
    CPpdevPort port("/dev/parport0", DATA_PORT, StandinPpdevCalls());
    const RunTaken clocked = TakenFrom(port, [] { return Ppdev().Take(); }, false);
    const RunTaken run = TakenFrom(port, [] { return Ppdev().Take(); }, true);
    ASSERT_EQ(37u, clocked.record.size());
    EXPECT_EQ(clocked.log, run.log);
    EXPECT_EQ(clocked.record, run.record);
}

TEST(RunTest, OverLibftdiARunIsTheClocksBytesInTransfersOf32Clocks)
{
    CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinLibftdi());
    const RunTaken clocked = TakenFrom(port, [] { return Libftdi().Take(); }, false);
    const RunTaken run = TakenFrom(port, [] { return Libftdi().Take(); }, true);
    ASSERT_EQ(37u, clocked.record.size());
    // The writes' bytes in order, and how many samples the reads gave ("read 128 -> 64").
    auto bytesAndReads = [](const Lines& log, size_t& nWrites) {
        std::string bytes;
        size_t nSamples = 0;
        nWrites = 0;
        for (const std::string& line : log)
        {
            if (line.compare(0, 6, "write ") == 0)
            {
                bytes += line.substr(5);
                ++nWrites;
            }
            else if (line.compare(0, 5, "read ") == 0)
                nSamples += std::stoul(line.substr(line.find("-> ") + 3));
        }
        return bytes + " / " + std::to_string(nSamples);
    };
    size_t nClockedWrites = 0, nRunWrites = 0;
    EXPECT_EQ(bytesAndReads(clocked.log, nClockedWrites), bytesAndReads(run.log, nRunWrites));
    EXPECT_EQ(37u, nClockedWrites);
    EXPECT_EQ(2u, nRunWrites) << "32 clocks, then 5";
    EXPECT_EQ(clocked.record, run.record);
}
