// The Linux cables: a parallel port through ppdev and an FTDI cable through libftdi, each with
// the simulated board behind the same calls the real driver or library takes.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cable/cable.h"
#include "engine/TapEngine.h"
#include "tap/TapStates.h"
#include "svf/Svf.h"
#include "svf/SvfPlayer.h"
#include "chain/ChainScan.h"
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

// --- MPSSE ------------------------------------------------------------------------------------

// An engine over the cable in use, the cable switched on, unpaced, after a reset.
struct CResetEngine
{
    CResetEngine()
    {
        CableOn();
        engine.SetPaced(false);
        engine.Reset();
    }
    CTapEngine engine{&TestCable()};
};

// The stand-in library afresh, its chip of that type (FTDI_TYPE_*, or 3, an FT232R, for bit-bang).
const LibftdiApi& StandinOfType(int nType)
{
    const LibftdiApi& api = StandinLibftdi();
    Libftdi().nType = nType;
    return api;
}

// The open sequence of FTDI's AN_108 and AN_135: the engine reset and started with every pin an
// input, the bad command 0xAA echoed as FA AA, then the clock (60 MHz undivided, two-phase, no
// adaptive clocking, divisor 4: 6 MHz), no loopback, and the low pins inputs with TCK low.
TEST(MpsseCableTest, TheEngineIsStartedInStepAndAClickIsOneTmsCommand)
{
    {
        CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinOfType(FTDI_TYPE_232H));
        CPortScope scope(&port);
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        const Lines opened = Libftdi().Take();
        EXPECT_EQ((Lines{"reset", "latency 2", "baud 9600", "bitmode 00 00", "bitmode 00 02", "flush", "write AA",
                         "read 2 -> 2", "write 8A 8D 97 86 04 00 85 80 00 00"}),
                  Lines(opened.end() - 9, opened.end()));
        EXPECT_TRUE(port.InMpsse());
        EXPECT_EQ(6000000u, port.ClockHz());
        EXPECT_EQ("FTDI cable (first found) (libftdi, MPSSE at 6 MHz)", port.Description());
        EXPECT_EQ(CFtdiChip::MODE_MPSSE, Libftdi().chip.Mode());
        EXPECT_EQ(0, Libftdi().chip.Outputs()) << "no pin is driven before the cable is switched on";

        // Switched on: levels and directions in one command, TCK low; a clock with TMS and TDI
        // high and TDO read on its rising edge: 0x6B, one clock, TMS in bit 0 and TDI in bit 7,
        // then "send immediate".
        CableOn();
        SetTms(1);
        SetTdi(1);
        PulseTck();
        EXPECT_EQ(1, GetTdo());
        EXPECT_EQ((Lines{"write 80 00 0B", "write 6B 00 81 87", "read 1 -> 1"}), Libftdi().Take());
        EXPECT_EQ(TapState::TestLogicReset, Libftdi().chip.Board().State());
        SetTms(0);
        Clock();
        EXPECT_EQ(TapState::RunTestIdle, Libftdi().chip.Board().State());
        CableOff();
        EXPECT_EQ(0, Libftdi().chip.Outputs());
        Libftdi().Take();
        // Closed: the pins inputs, the engine left for the chip's reset mode.
        CableOn();
        Libftdi().Take();
        port.Close();
        EXPECT_EQ((Lines{"write 80 00 00", "bitmode 00 00", "close", "free"}), Libftdi().Take());
    }
    EXPECT_TRUE(Libftdi().Take().empty());
}

// The clock asked for in kHz, on H series chips and on an FT2232D, whose 12 MHz master clock
// takes none of the H series' commands: the divisor sent and the clock it makes.
TEST(MpsseCableTest, TheClockIsTheFastestTheChipMakesThatIsNotFasterThanAsked)
{
    struct ClockCase
    {
        int nType;
        unsigned nKhz;
        const char* pszCommands;
        unsigned nDivisor;
        unsigned nHz;
    };
    const ClockCase cases[] = {
        {FTDI_TYPE_232H, 30000, "write 8A 8D 97 86 00 00 85 80 00 00", 0, 30000000},
        {FTDI_TYPE_2232H, 6000, "write 8A 8D 97 86 04 00 85 80 00 00", 4, 6000000},
        {FTDI_TYPE_4232H, 1000, "write 8A 8D 97 86 1D 00 85 80 00 00", 29, 1000000},
        {FTDI_TYPE_232H, 1, "write 8A 8D 97 86 2F 75 85 80 00 00", 29999, 1000},
        {FTDI_TYPE_2232C, 30000, "write 86 00 00 85 80 00 00", 0, 6000000},
        {FTDI_TYPE_2232C, 6000, "write 86 00 00 85 80 00 00", 0, 6000000},
        {FTDI_TYPE_2232C, 1000, "write 86 05 00 85 80 00 00", 5, 1000000},
        {FTDI_TYPE_2232C, 1, "write 86 6F 17 85 80 00 00", 5999, 1000},
    };
    for (const ClockCase& c : cases)
    {
        FtdiPinMap map;
        map.nKhz = c.nKhz;
        CLibftdiPort port(ParsedCable("ftdi"), map, StandinOfType(c.nType));
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        EXPECT_EQ(c.pszCommands, Libftdi().Take().back()) << c.nType << " at " << c.nKhz << " kHz";
        EXPECT_EQ(c.nHz, port.ClockHz()) << c.nType << " at " << c.nKhz << " kHz";
        EXPECT_EQ(c.nDivisor, Libftdi().chip.Divisor()) << c.nType << " at " << c.nKhz << " kHz";
        EXPECT_FALSE(Libftdi().chip.ThreePhase());
        EXPECT_TRUE(c.nType == FTDI_TYPE_2232C || !Libftdi().chip.DividesBy5()) << "the H series' 60 MHz, undivided";
    }
}

// Without MPSSE (an FT232R), with the signals on other pins, or with bit-bang asked for:
// today's bit-bang.
TEST(MpsseCableTest, AChipWithoutTheEngineOtherPinsOrBitBangAskedKeepBitBang)
{
    FtdiPinMap moved;
    moved.nTms = 4;
    FtdiPinMap asked;
    asked.bBitBang = true;
    const std::pair<int, FtdiPinMap> cases[] = {{3, FtdiPinMap()}, {FTDI_TYPE_232H, moved}, {FTDI_TYPE_2232H, asked}};
    for (const auto& c : cases)
    {
        CLibftdiPort port(ParsedCable("ftdi"), c.second, StandinOfType(c.first));
        ASSERT_TRUE(Opened(port)) << OpenProblemOf(port);
        EXPECT_FALSE(port.InMpsse()) << c.first;
        EXPECT_EQ((Lines{"bitmode 00 04", "flush"}), Lines(Libftdi().log.end() - 2, Libftdi().log.end()));
        EXPECT_EQ("FTDI cable (first found) (libftdi)", port.Description());
    }
}

// A SEND's run, through MPSSE on both kinds of chip: the board and the record end as the same
// clocks through bit-bang leave them.
TEST(MpsseCableTest, ARunThroughTheEngineRecordsWhatBitBangRecords)
{
    CLibftdiPort bitBang(ParsedCable("ftdi"), FtdiPinMap(), StandinOfType(3));
    const RunTaken expected = TakenFrom(bitBang, [] { return Libftdi().Take(); }, true);
    ASSERT_EQ(37u, expected.record.size());
    for (int nType : {FTDI_TYPE_232H, FTDI_TYPE_2232C})
    {
        CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinOfType(nType));
        const RunTaken run = TakenFrom(port, [] { return Libftdi().Take(); }, true);
        EXPECT_EQ(expected.record, run.record) << nType;
        // Every clock's TDO is recorded: Select-DR and Capture-DR as a TMS command (two clocks,
        // TMS 1 then 0, TDI high in bit 7), 32 clocks of TMS low as four bytes, TMS high into
        // Exit1, a data bit with TMS held high into Update, TMS low into Run-Test/Idle; "send
        // immediate" and one read of the eight bytes they answer.
        EXPECT_EQ((Lines{"write 6B 01 81 39 03 00 00 00 00 00 6B 00 01 3B 00 01 6B 00 80 87", "read 8 -> 8"}),
                  run.log)
            << nType;
    }
}

// A shift goes in pieces of no more clocks than a fifth of a second takes at the clock set, each
// one write and one read: at 10 kHz, 2,000 clocks. What comes back is what bit-bang reads.
TEST(MpsseCableTest, LongShiftsReadWhatBitBangReadsInPiecesTheChipHolds)
{
    for (size_t nBits : {1024u, 20000u})
    {
        CBits value(nBits, false);
        for (size_t i = 0; i < nBits; i += 3)
            value.Set(i, true);
        CBits read[2];
        Lines logs[2];
        for (int nMode = 0; nMode < 2; ++nMode)
        {
            FtdiPinMap slow;
            slow.nKhz = 10;
            CLibftdiPort port(ParsedCable("ftdi"), slow, StandinOfType(nMode == 0 ? 3 : FTDI_TYPE_2232H));
            CPortScope scope(&port);
            ASSERT_TRUE(Opened(port));
            CResetEngine reset;
            CTapEngine& engine = reset.engine;
            // BYPASS: the board's reset instruction is IDCODE; the IR's ones select BYPASS.
            ASSERT_EQ(Ended::Done, engine.Shift(TAP_IR, CBits(4, true), [](size_t) { return false; }));
            Libftdi().Take();
            ASSERT_EQ(Ended::Done, engine.Shift(TAP_DR, value, [](size_t) { return false; }));
            read[nMode] = engine.BitsOut();
            logs[nMode] = Libftdi().Take();
            CableOff();
        }
        EXPECT_EQ(read[0], read[1]) << nBits;
        size_t nWrites = 0, nReads = 0, nMostAnswer = 0;
        for (const std::string& line : logs[1])
        {
            if (line.compare(0, 6, "write ") == 0)
                ++nWrites;
            else if (line.compare(0, 5, "read ") == 0)
            {
                ++nReads;
                nMostAnswer = std::max<size_t>(nMostAnswer, std::stoul(line.substr(5)));
            }
        }
        // The shift with Update and Run-Test/Idle: 1,029 clocks, one piece; 20,005, eleven.
        EXPECT_EQ(nBits == 1024 ? 1u : 11u, nWrites) << nBits;
        EXPECT_EQ(nWrites, nReads) << nBits;
        EXPECT_LE(nMostAnswer, 2000u / 8 + 2) << nBits;
    }
}

// An SVF file's RUNTEST through the engine: its clocks as data with TMS held low, every clock's
// TDO read, "send immediate", one read; and the chain scan through MPSSE finds what bit-bang finds
// and records the same clocks.
TEST(MpsseCableTest, AnSvfRuntestIsDataClocksAndAScanFindsWhatBitBangFinds)
{
    {
        CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinOfType(FTDI_TYPE_2232H));
        CPortScope scope(&port);
        ASSERT_TRUE(Opened(port));
        CResetEngine reset;
        reset.engine.Step(StepInto(STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE));
        CSvfReader reader;
        reader.OpenText("RUNTEST 100 TCK;\n");
        SvfCommand command;
        std::string strError;
        ASSERT_TRUE(reader.Next(command, strError)) << strError;
        CSvfPlayer player(reset.engine, [](const std::string&) {});
        SvfMismatch mismatch;
        Libftdi().Take();
        EXPECT_EQ(Ended::Done, player.Play(command, mismatch, strError)) << strError;
        // 96 clocks as 12 bytes (0x39, length 11), the 4 left as bits (0x3B, length 3); TDI kept
        // at the level the engine holds, high; 13 bytes back.
        EXPECT_EQ((Lines{"write 39 0B 00 FF FF FF FF FF FF FF FF FF FF FF FF 3B 03 0F 87", "read 13 -> 13"}),
                  Libftdi().Take());
        EXPECT_EQ(TapState::RunTestIdle, Libftdi().chip.Board().State());
        CableOff();
    }
    std::vector<int> records[2];
    std::string found[2];
    for (int nMode = 0; nMode < 2; ++nMode)
    {
        CLibftdiPort port(ParsedCable("ftdi"), FtdiPinMap(), StandinOfType(nMode == 0 ? 3 : FTDI_TYPE_232H));
        CPortScope scope(&port);
        ASSERT_TRUE(Opened(port));
        CResetEngine reset;
        const size_t nBefore = reset.engine.Session().Count();
        ChainScan scan;
        EXPECT_EQ(Ended::Done, ScanChain(reset.engine, {}, scan));
        for (size_t i = 0; i < scan.devices.size(); ++i)
            found[nMode] += FormatChainDevice(i + 1, scan.devices[i]) + "\n";
        for (size_t i = nBefore; i < reset.engine.Session().Count(); ++i)
            records[nMode].push_back(reset.engine.Session().At(i).bits * 100 + reset.engine.Session().At(i).nState);
        CableOff();
    }
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", found[1].substr(0, 26));
    EXPECT_EQ(found[0], found[1]);
    EXPECT_EQ(records[0], records[1]);
}

// The other pins in MPSSE: the high byte's levels and directions from the map, and the reset
// lines, outputs released high while the cable is on; SVF's TRST drives TRST, SRST is pulsed;
// a cable in bit-bang has neither line.
TEST(MpsseCableTest, TheHighPinsAndTheResetLinesAreDrivenWhileTheCableIsOn)
{
    FtdiPinMap map;
    map.nTrst = 4;         // ADBUS4
    map.nSrst = 9;         // ACBUS1
    map.valueHigh = 0x01;  // ACBUS0: a buffer enable held high
    map.directionHigh = 0x01;
    {
        CLibftdiPort port(ParsedCable("ftdi"), map, StandinOfType(FTDI_TYPE_2232H));
        CPortScope scope(&port);
        ASSERT_TRUE(Opened(port));
        EXPECT_TRUE(port.Traits().bTrst);
        EXPECT_TRUE(port.Traits().bSrst);
        Libftdi().Take();
        CableOn();
        EXPECT_EQ((Lines{"write 80 10 1B", "write 82 03 03"}), Libftdi().Take());
        EXPECT_EQ(0x03, Libftdi().chip.HighLevels());
        EXPECT_EQ(0x03, Libftdi().chip.HighOutputs());

        CResetEngine reset;
        CSvfReader reader;
        reader.OpenText("TRST ON;\nTRST OFF;\n");
        CSvfPlayer player(reset.engine, [](const std::string& note) { ADD_FAILURE() << note; });
        SvfCommand command;
        std::string strError;
        SvfMismatch mismatch;
        Libftdi().Take();
        ASSERT_TRUE(reader.Next(command, strError)) << strError;
        EXPECT_EQ(Ended::Done, player.Play(command, mismatch, strError)) << strError;
        const Lines on = Libftdi().Take();
        ASSERT_FALSE(on.empty());
        // TMS and TDI high where the engine's reset left them, TRST (bit 4) low; then the TAP's
        // reset by TMS as well.
        EXPECT_EQ("write 80 0A 1B", on[0]);
        ASSERT_TRUE(reader.Next(command, strError)) << strError;
        EXPECT_EQ(Ended::Done, player.Play(command, mismatch, strError)) << strError;
        EXPECT_EQ((Lines{"write 80 1A 1B"}), Libftdi().Take()) << "released";

        EXPECT_TRUE(port.SetResetLine(ResetLine::Srst, true));
        EXPECT_EQ((Lines{"write 82 01 03"}), Libftdi().Take());
        EXPECT_TRUE(port.SetResetLine(ResetLine::Srst, false));
        EXPECT_EQ((Lines{"write 82 03 03"}), Libftdi().Take());
        CableOff();
        EXPECT_EQ((Lines{"write 80 1A 00", "write 82 03 00"}), Libftdi().Take());
        EXPECT_EQ(0, Libftdi().chip.HighOutputs());
    }
    CLibftdiPort bitBang(ParsedCable("ftdi"), map, StandinOfType(3));
    ASSERT_TRUE(Opened(bitBang));
    EXPECT_FALSE(bitBang.Traits().bTrst);
    EXPECT_FALSE(bitBang.Traits().bSrst);
    EXPECT_FALSE(bitBang.SetResetLine(ResetLine::Srst, true));
}

// Unplugged at a later piece of a long shift: the pieces before it are recorded, none after;
// plugged back, the engine is started again and the pins are driven with TCK low.
TEST(MpsseCableTest, ALostCableKeepsThePiecesThatWentOutAndAReplugStartsTheEngineAgain)
{
    // At 10 kHz: pieces of 2,000 clocks.
    FtdiPinMap slow;
    slow.nKhz = 10;
    CLibftdiPort port(ParsedCable("ftdi"), slow, StandinOfType(FTDI_TYPE_232H));
    CPortScope scope(&port);
    ASSERT_TRUE(Opened(port));
    CResetEngine reset;
    CTapEngine& engine = reset.engine;
    const size_t nBefore = engine.Session().Count();
    Libftdi().Take();
    Libftdi().nUnplugAtWrite = 3;
    EXPECT_NE(Ended::Done, engine.Shift(TAP_DR, CBits(20000, false), [](size_t) { return false; }));
    EXPECT_EQ(2u * 2000, engine.Session().Count() - nBefore) << "the first two pieces";
    EXPECT_NE(std::string::npos, CableFailure().find("ftdi_write_data_submit failed")) << CableFailure();
    EXPECT_EQ("close", Libftdi().log[Libftdi().log.size() - 2]);

    Libftdi().bPresent = true;
    Libftdi().Take();
    engine.Reset();
    EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    const Lines reopened = Libftdi().Take();
    const auto at = std::find(reopened.begin(), reopened.end(), "write AA");
    ASSERT_NE(reopened.end(), at) << "the engine started again";
    ASSERT_GE(reopened.end() - at, 4);
    EXPECT_EQ("write 80 00 0B", *(at + 3)) << "driven with TCK low, after the engine's set-up";
    EXPECT_EQ(TapState::TestLogicReset, Libftdi().chip.Board().State());
    CableOff();
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
