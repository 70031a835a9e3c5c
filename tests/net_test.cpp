// The network cables against a remote_bitbang and an XVC server on the loopback, each with a
// simulated board behind it: the bytes on the wire, the IDCODE read through the window, and
// every fault with its message and the reset that reconnects.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cable/cable.h"
#include "chain/ChainScan.h"
#include "dialog_runner.h"
#include "engine/TapEngine.h"
#include "net/jtag_server.h"
#include "ports/net_link.h"
#include "ports/port_factory.h"
#include "recording_port.h"

namespace {

std::shared_ptr<ICable> NetworkCable(const std::string& strName)
{
    CableName cable;
    std::string strError;
    EXPECT_TRUE(ParseCableName(strName, cable, strError)) << strError;
    return MakeCable(cable, FtdiPinMap());
}

std::string Repeated(const std::string& text, int nTimes)
{
    std::string all;
    for (int i = 0; i < nTimes; ++i)
        all += text;
    return all;
}

// "shift:", one bit, TMS and TDI.
std::string XvcClock(int nTms, int nTdi)
{
    return std::string("shift:\x01\x00\x00\x00", 10) + static_cast<char>(nTms) + static_cast<char>(nTdi);
}

// The window over the server's cable, opened and made the window's: the body runs with each wait
// counted, and the cable is closed when it returns.
void InWindowOver(CJtagServer& server, const std::function<void(CStepperDlg&)>& body)
{
    std::shared_ptr<ICable> port = NetworkCable(server.Cable());
    ASSERT_TRUE(port->Open()) << port->OpenProblem();
    CPortScope scope(port.get());
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        body(dlg);
    });
}

TEST(NetCableTest, RemoteBitbangSendsEachClocksLevelsAndRInOneMessage)
{
    CJtagServer server(ServerProtocol::RemoteBitbang);
    InWindowOver(server, [&](CStepperDlg& dlg) {
        // Switching the cable on drives the levels shown (TMS 0, TDI 0) with TCK low; a reset is
        // six clocks of TMS 1 and TDI 1.
        Click(dlg, IDC_TEST_LOGIC_RESET);
        EXPECT_EQ("0" + Repeated("37R", 6), server.TakeReceived());
        Click(dlg, IDC_RUN_TEST_IDLE);     // TMS 0, TDI 1
        Click(dlg, IDC_SELECT_DR);         // TMS 1
        Click(dlg, IDC_CAPTURE_DR);        // TMS 0
        Click(dlg, IDC_SHIFT_DR);          // TMS 0, TDI 0
        EXPECT_EQ("15R37R15R04R", server.TakeReceived());
        // The pins by hand: a level held is one character with TCK low; TDO now is R alone.
        // (The R's answer also says that the level before it has arrived.)
        Click(dlg, IDC_TDI);
        Click(dlg, IDC_TDO);
        EXPECT_EQ("1R", server.TakeReceived());
        EXPECT_TRUE(CableFailure().empty()) << CableFailure();
    });
    EXPECT_EQ("Q", server.WaitForReceived(1)) << "the session ends with Q";
}

TEST(NetCableTest, XvcAsksForTheServersLimitSetsTheClockAndShiftsOneBitAClock)
{
    CJtagServer server(ServerProtocol::Xvc);
    std::shared_ptr<ICable> port = NetworkCable(server.Cable());
    ASSERT_TRUE(port->Open()) << port->OpenProblem();
    // 10000 ns, little-endian.
    EXPECT_EQ(std::string("getinfo:settck:\x10\x27\x00\x00", 19), server.TakeReceived());
    EXPECT_NE(std::string::npos, port->Description().find("xvcServer_v1.0, TCK period 10000 ns")) << port->Description();
    EXPECT_FALSE(port->Traits().bHoldsLevels);
    CPortScope scope(port.get());
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        EXPECT_FALSE(Item<CButton>(dlg, IDC_TMS).IsWindowEnabled()) << "no level is held without a clock";
        EXPECT_FALSE(Item<CButton>(dlg, IDC_TDO).IsWindowEnabled());
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        EXPECT_EQ(Repeated(XvcClock(1, 1), 6) + XvcClock(0, 1), server.TakeReceived());
    });
}

// Each protocol and fault: the connection's end, or an answer the protocol does not allow.
struct FaultCase
{
    ServerProtocol protocol;
    ServerFaults faults;
    const char* pszSaid;  // in the message
    const char* pszName;
};

class NetFaultTest : public ::testing::TestWithParam<FaultCase>
{
};

TEST_P(NetFaultTest, AFaultFailsTheClockRecordsNothingAndAResetReconnects)
{
    CJtagServer server(GetParam().protocol);
    InWindowOver(server, [&](CStepperDlg& dlg) {
        CBoxAnswerer answerer(dlg);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        ServerFaults faults = GetParam().faults;
        if (faults.nCloseAfterClocks >= 0)
            faults.nCloseAfterClocks += 7;  // counted from the connection's start
        server.SetFaults(faults);
        Click(dlg, IDC_SELECT_DR);
        ASSERT_EQ(1u, AnsweredBoxes().size());
        const std::string text = AnsweredBoxes()[0].strText;
        EXPECT_NE(std::string::npos, text.find("server at 127.0.0.1:" + std::to_string(server.Port()))) << text;
        EXPECT_NE(std::string::npos, text.find(GetParam().pszSaid)) << text;
        EXPECT_EQ(-1, dlg.Tap().State());
        EXPECT_EQ(7u, HistoryLines(dlg).size()) << "the failed clock is not recorded";
        EXPECT_EQ(7u, dlg.Tap().Session().Count());

        server.SetFaults(ServerFaults());
        Click(dlg, IDC_TEST_LOGIC_RESET);
        EXPECT_EQ(0, dlg.Tap().State());
        EXPECT_EQ(1u, AnsweredBoxes().size()) << (AnsweredBoxes().size() > 1 ? AnsweredBoxes()[1].strText : "");
        EXPECT_EQ(13u, HistoryLines(dlg).size());
        EXPECT_EQ(2, server.Connections()) << "the reset connects again";
    });
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, NetFaultTest,
    ::testing::Values(
        FaultCase{ServerProtocol::RemoteBitbang, Faulty(&ServerFaults::nCloseAfterClocks, 0), "closed the connection",
                  "RbbClosed"},
        FaultCase{ServerProtocol::RemoteBitbang, Faulty(&ServerFaults::bSilent, true), "no answer within a second",
                  "RbbSilent"},
        FaultCase{ServerProtocol::RemoteBitbang, Faulty(&ServerFaults::badAnswer, 'x'), "answered R with 'x' (0x78)",
                  "RbbBadAnswer"},
        FaultCase{ServerProtocol::Xvc, Faulty(&ServerFaults::nCloseAfterClocks, 0), "closed the connection", "XvcClosed"},
        FaultCase{ServerProtocol::Xvc, Faulty(&ServerFaults::bSilent, true), "no answer within a second", "XvcSilent"},
        FaultCase{ServerProtocol::Xvc, Faulty(&ServerFaults::bShortAnswer, true),
                  "answered 0 of the 1 byte that shift: takes", "XvcShort"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.pszName); });

// A SEND-DR of 32'h0 from RUN-TEST/IDLE, or the same 37 clocks clicked: what the server got, each
// clock recorded (TMS, TDI and TDO, and the state), and the boxes said.
struct RunSeen
{
    std::string received;
    std::vector<int> record;
    size_t nBoxes = 0;
};

RunSeen SeenThrough(ServerProtocol protocol, const ServerFaults& faults, bool bClicked)
{
    RunSeen seen;
    CJtagServer server(protocol);
    server.SetFaults(faults);
    InWindowOver(server, [&](CStepperDlg& dlg) {
        CBoxAnswerer answerer(dlg);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        server.TakeReceived();
        const size_t nBefore = dlg.Tap().Session().Count();
        if (bClicked)
        {
            Click(dlg, IDC_SELECT_DR);
            Click(dlg, IDC_CAPTURE_DR);
            for (int i = 0; i < 32; ++i)
                Click(dlg, IDC_SHIFT_DR);
            for (UINT nID : {IDC_EXIT1_DR, IDC_UPDATE_DR, IDC_RUN_TEST_IDLE})
                Click(dlg, nID);
        }
        else
            SendValue(dlg, IDC_DR_VALUE, "32'h0");
        seen.received = server.TakeReceived();
        for (size_t i = nBefore; i < dlg.Tap().Session().Count(); ++i)
            seen.record.push_back(dlg.Tap().Session().At(i).bits * 100 + dlg.Tap().Session().At(i).nState);
        seen.nBoxes = AnsweredBoxes().size();
    });
    return seen;
}

// One-bit shifts, as clicks send them, packed into shifts of at most nMostBits.
std::string PackedShifts(const std::string& oneBitShifts, size_t nMostBits)
{
    std::string packed;
    const size_t nClocks = oneBitShifts.size() / 12;
    for (size_t nFirst = 0; nFirst < nClocks; nFirst += nMostBits)
    {
        const size_t nBits = std::min(nMostBits, nClocks - nFirst);
        std::string tms((nBits + 7) / 8, '\0'), tdi((nBits + 7) / 8, '\0');
        for (size_t i = 0; i < nBits; ++i)
        {
            tms[i / 8] = static_cast<char>(tms[i / 8] | oneBitShifts[(nFirst + i) * 12 + 10] << (i % 8));
            tdi[i / 8] = static_cast<char>(tdi[i / 8] | oneBitShifts[(nFirst + i) * 12 + 11] << (i % 8));
        }
        packed += std::string("shift:") + static_cast<char>(nBits) + std::string(3, '\0') + tms + tdi;
    }
    return packed;
}

TEST(NetRunTest, ASendIsTheClickedClocksInAsFewMessagesAsTheProtocolAllows)
{
    const RunSeen clicked = SeenThrough(ServerProtocol::RemoteBitbang, ServerFaults(), true);
    const RunSeen sent = SeenThrough(ServerProtocol::RemoteBitbang, ServerFaults(), false);
    ASSERT_EQ(37u, clicked.record.size());
    EXPECT_EQ(clicked.received, sent.received) << "remote_bitbang: the same characters";
    EXPECT_EQ(clicked.record, sent.record);

    // XVC vectors of two bytes: 16 clocks a shift.
    ServerFaults faults;
    faults.nVectorLimit = 2;
    const RunSeen xvcClicked = SeenThrough(ServerProtocol::Xvc, faults, true);
    const RunSeen xvcSent = SeenThrough(ServerProtocol::Xvc, faults, false);
    ASSERT_EQ(37u * 12, xvcClicked.received.size());
    // The clocks up to Exit1 go out before Update is chosen (a STOP may still come): shifts of 16,
    // 16 and 3 clocks, then one of 2.
    EXPECT_EQ(PackedShifts(xvcClicked.received.substr(0, 35 * 12), 16) +
                  PackedShifts(xvcClicked.received.substr(35 * 12), 16),
              xvcSent.received)
        << "XVC: shifts of 16, 16 and 3 clocks, then 2";
    EXPECT_EQ(clicked.record, xvcClicked.record);
    EXPECT_EQ(clicked.record, xvcSent.record);
}

TEST(NetRunTest, AServerLostInTheMiddleOfARunKeepsTheClocksBeforeAndNoneAfter)
{
    const RunSeen whole = SeenThrough(ServerProtocol::RemoteBitbang, ServerFaults(), false);
    // remote_bitbang: the server answers 20 of the run's R and closes.
    ServerFaults faults;
    faults.nCloseAfterClocks = 7 + 20;
    const RunSeen rbb = SeenThrough(ServerProtocol::RemoteBitbang, faults, false);
    EXPECT_EQ(std::vector<int>(whole.record.begin(), whole.record.begin() + 20), rbb.record);
    EXPECT_EQ(1u, rbb.nBoxes);
    // XVC: the run's first shift of 16 is answered, its second is not.
    faults.nCloseAfterClocks = 7 + 1;
    faults.nVectorLimit = 2;
    const RunSeen xvc = SeenThrough(ServerProtocol::Xvc, faults, false);
    EXPECT_EQ(std::vector<int>(whole.record.begin(), whole.record.begin() + 16), xvc.record);
    EXPECT_EQ(1u, xvc.nBoxes);
}

TEST(NetCableTest, AServerNobodyRunsIsNamedWithWhatToCheck)
{
    const unsigned short nPort = CJtagServer::UnusedPort();
    for (const char* pszKind : {"rbb", "xvc"})
    {
        std::shared_ptr<ICable> port = NetworkCable(std::string(pszKind) + ":127.0.0.1:" + std::to_string(nPort));
        EXPECT_FALSE(port->Open());
        const std::string problem = port->OpenProblem();
        EXPECT_NE(std::string::npos, problem.find("at 127.0.0.1:" + std::to_string(nPort) + " could not be reached"))
            << problem;
        EXPECT_NE(std::string::npos, problem.find("listens on port " + std::to_string(nPort) + " of 127.0.0.1"))
            << problem;
    }
}

TEST(NetCableTest, AnXvcServerThatTakesNoWholeClockIsRefused)
{
    CJtagServer server(ServerProtocol::Xvc);
    server.SetFaults(Faulty(&ServerFaults::nVectorLimit, 0));
    std::shared_ptr<ICable> port = NetworkCable(server.Cable());
    EXPECT_FALSE(port->Open());
    EXPECT_NE(std::string::npos, port->OpenProblem().find("at most 0 bytes")) << port->OpenProblem();
}

// A server that answers getinfo: a byte every 100 ms is slow, not lost: waited for. The second a
// wait may take is a second of silence; one that says nothing is refused after it.
TEST(NetWaitTest, AGreetingThatDripsIsWaitedForAndOneNeverSaidIsRefused)
{
    CJtagServer server(ServerProtocol::Xvc);
    server.SetFaults(Faulty(&ServerFaults::nDripMs, 100));
    std::shared_ptr<ICable> port = NetworkCable(server.Cable());
    EXPECT_TRUE(port->Open()) << port->OpenProblem();

    CJtagServer silent(ServerProtocol::Xvc);
    silent.SetFaults(Faulty(&ServerFaults::bSilent, true));
    port = NetworkCable(silent.Cable());
    EXPECT_FALSE(port->Open());
    EXPECT_NE(std::string::npos, port->OpenProblem().find("did not answer getinfo: whole: no answer within a second"))
        << port->OpenProblem();
}

// A server that answers a byte every millisecond, as a design simulated slowly does: the chain
// scan (a flush of 4,097 bits) and a SEND of 4,096 bits take seconds, and are done.
// A server of that protocol answering a byte a millisecond, as the cable in use while it lives.
class CSlowServerCable
{
public:
    explicit CSlowServerCable(ServerProtocol protocol) : m_server(protocol)
    {
        m_server.SetFaults(Faulty(&ServerFaults::nDripMs, 1));
        m_port = NetworkCable(m_server.Cable());
        m_pBefore = SetCablePort(m_port.get());
        CableOn();
    }
    ~CSlowServerCable()
    {
        CableOff();
        SetCablePort(m_pBefore);
    }
    ICable& Port() { return *m_port; }

private:
    CJtagServer m_server;
    std::shared_ptr<ICable> m_port;
    CableTarget m_pBefore;
};

TEST(NetWaitTest, ASlowServerIsWaitedForThroughAScanAndALongSend)
{
    CSlowServerCable cable(ServerProtocol::RemoteBitbang);
    ASSERT_TRUE(cable.Port().Open()) << cable.Port().OpenProblem();
    CTapEngine tap{&TestCable()};
    tap.SetPaced(false);
    ChainScan scan;
    EXPECT_EQ(Ended::Done, ScanChain(tap, {}, scan, nullptr)) << CableFailure();
    ASSERT_EQ(1u, scan.devices.size());
    EXPECT_EQ(0x14D5654Bu, scan.devices[0].nIdcode);
    ASSERT_TRUE(tap.Reset()) << CableFailure();
    CBits bits(4096, true);
    EXPECT_EQ(Ended::Done, tap.Shift(TAP_DR, bits, [](size_t) { return false; })) << CableFailure();
}

// A STOP that comes once the first clocks of a SEND have reached a slow server's device: the
// rest of the shift goes out in pieces, and the choice between Update and Pause waits for the
// last of them, so the register is not updated, on either protocol.
TEST(NetWaitTest, AStopAfterTheFirstClocksReachedASlowServerLeavesTheRegisterNotUpdated)
{
    for (ServerProtocol protocol : {ServerProtocol::RemoteBitbang, ServerProtocol::Xvc})
    {
        CSlowServerCable cable(protocol);
        ASSERT_TRUE(cable.Port().Open()) << cable.Port().OpenProblem();
        CTapEngine tap{&TestCable()};
        tap.SetPaced(false);
        ASSERT_TRUE(tap.Reset()) << CableFailure();
        const size_t nBefore = tap.Session().Count();
        // The person clicks STOP once clocks of the shift are seen to have gone out.
        const Outcome end = tap.ShiftStoppable(TAP_DR, CBits(1000, true), [&](size_t) {
            return tap.Session().Count() > nBefore + 8;
        });
        EXPECT_EQ(Ended::Stopped, end) << CableFailure();
        EXPECT_EQ(STATE_PAUSE_DR, tap.State());
        bool bUpdated = false;
        for (size_t i = nBefore; i < tap.Session().Count(); ++i)
            bUpdated = bUpdated || tap.Session().At(i).nState == STATE_UPDATE_DR;
        EXPECT_FALSE(bUpdated) << "the register was updated";
        EXPECT_EQ(STATE_PAUSE_DR, tap.Session().At(tap.Session().Count() - 1).nState);
    }
}

// Once a SEND has shown the server slow, the next goes out in pieces of some 50 ms: the clocks
// reach the device, and the window sees them, many times while it runs, not once at its end.
TEST(NetWaitTest, AfterASlowSendTheNextGoesOutInPiecesAClickCanFallBetween)
{
    CSlowServerCable cable(ServerProtocol::RemoteBitbang);
    ASSERT_TRUE(cable.Port().Open()) << cable.Port().OpenProblem();
    CTapEngine tap{&TestCable()};
    tap.SetPaced(false);
    ASSERT_TRUE(tap.Reset()) << CableFailure();
    auto pieces = [&](size_t nBits) {
        std::vector<size_t> seen;
        const Outcome end = tap.ShiftStoppable(TAP_DR, CBits(nBits, true), [&](size_t) {
            if (seen.empty() || seen.back() != tap.Session().Count())
                seen.push_back(tap.Session().Count());
            return false;
        });
        EXPECT_EQ(Ended::Done, end) << CableFailure();
        return seen.size();
    };
    pieces(300);
    // 600 clocks at a millisecond each, in pieces of some 50: a dozen, and more than a few.
    EXPECT_GE(pieces(600), 6u);
}

// A SEND that takes seconds shows how far it is now and then, and the trace and the history with
// it: what the window shows on the way is the clocks made so far.
TEST(NetWaitTest, ALongSendShowsTheTraceOnItsWayWithHowFarItIs)
{
    CSlowServerCable cable(ServerProtocol::RemoteBitbang);
    ASSERT_TRUE(cable.Port().Open()) << cable.Port().OpenProblem();
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        Click(dlg, IDC_TEST_LOGIC_RESET);
        const CString rowBefore = Row(dlg, IDC_TRACE_TMS);
        // Heard after the window: at the clock the window first says how far the SEND is.
        struct CFirstProgress : ITapListener
        {
            explicit CFirstProgress(CStepperDlg& dlg) : m_dlg(dlg) {}
            void OnClock(const ClockRecord&, bool) override
            {
                const std::string text = WindowText(Item<CEdit>(m_dlg, IDC_VALUE_EDIT).m_hWnd);
                if (!m_bSeen && text.find('/') != std::string::npos)
                {
                    m_bSeen = true;
                    m_row = Row(m_dlg, IDC_TRACE_TMS);
                }
            }
            CStepperDlg& m_dlg;
            bool m_bSeen = false;
            CString m_row;
        } progress(dlg);
        dlg.Tap().AddListener(&progress);
        SendValue(dlg, IDC_DR_VALUE, "2000'h0");
        dlg.Tap().RemoveListener(&progress);
        ASSERT_TRUE(progress.m_bSeen) << "no progress was shown";
        // Shift-DR's clocks (TMS 0) have reached the trace.
        EXPECT_NE(std::string(rowBefore), std::string(progress.m_row));
        EXPECT_EQ('0', progress.m_row[progress.m_row.GetLength() - 1]) << std::string(progress.m_row);
    });
}

// Clicks tell a slow server too, but only sixteen slow clocks in a row do: one slow clock, or a
// few, is a busy machine, and a quick cable's SEND stays one message.
TEST(NetWaitTest, SixteenSlowClicksInARowMakeTheNextSendGoInPiecesAndFewerDoNot)
{
    CSlowServerCable cable(ServerProtocol::RemoteBitbang);
    ASSERT_TRUE(cable.Port().Open()) << cable.Port().OpenProblem();
    auto piecesAfterClicks = [&](int nClicks) {
        CTapEngine tap{&TestCable()};
        tap.SetPaced(false);
        EXPECT_TRUE(tap.Reset()) << CableFailure();  // six clicked clocks
        for (int i = 6; i < nClicks; ++i)
            EXPECT_TRUE(tap.Step({0, KEEP_TDI, STATE_RUN_TEST_IDLE})) << CableFailure();
        std::vector<size_t> seen;
        tap.ShiftStoppable(TAP_DR, CBits(600, true), [&](size_t) {
            if (seen.empty() || seen.back() != tap.Session().Count())
                seen.push_back(tap.Session().Count());
            return false;
        });
        return seen.size();
    };
    EXPECT_LE(piecesAfterClicks(15), 2u) << "one piece: the count before it and after it";
    EXPECT_GE(piecesAfterClicks(16), 6u);
}

// A name server that never answers: the connect gives up after its second, and the look-up left
// running ends on its own when the name server (here the test) lets it.
HANDLE g_hNameServer = nullptr;
HANDLE g_hNameServerDone = nullptr;
LONG g_nLookups = 0;

bool SilentLookup(const std::string&, unsigned long&, std::string& strError)
{
    ::WaitForSingleObject(g_hNameServer, INFINITE);
    strError = "the name server gave up";
    ::SetEvent(g_hNameServerDone);
    return false;
}

bool LoopbackLookup(const std::string& host, unsigned long& ulAddress, std::string& strError)
{
    ::InterlockedIncrement(&g_nLookups);
    if (host != "board.test")
    {
        strError = "the host name \"" + host + "\" is not known";
        return false;
    }
    ulAddress = 0x0100007FUL;  // 127.0.0.1 in network order
    return true;
}

TEST(NetWaitTest, ANameServerThatNeverAnswersHoldsAConnectASecondAtMost)
{
    g_hNameServer = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_hNameServerDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::unique_ptr<CNetLink> pLink = MakeNetLink(&SilentLookup);
    std::string strError;
    EXPECT_EQ(NetResult::TimedOut, pLink->Connect("jtag.test", 2542, strError));
    EXPECT_NE(std::string::npos, strError.find("was not looked up within a second")) << strError;
    // The lookup given up on ends when its name server answers at last, not while the test's
    // process is being torn down under it.
    ::SetEvent(g_hNameServer);
    ::WaitForSingleObject(g_hNameServerDone, INFINITE);
}

TEST(NetWaitTest, ANameIsLookedUpOnceAndKeptForEveryReconnect)
{
    CJtagServer server(ServerProtocol::RemoteBitbang);
    std::unique_ptr<CNetLink> pLink = MakeNetLink(&LoopbackLookup);
    std::string strError;
    g_nLookups = 0;
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_EQ(NetResult::Done, pLink->Connect("board.test", server.Port(), strError)) << strError;
        pLink->Close();
    }
    EXPECT_EQ(1, g_nLookups);
    EXPECT_EQ(NetResult::Failed, pLink->Connect("other.test", server.Port(), strError));
    EXPECT_NE(std::string::npos, strError.find("\"other.test\" is not known")) << strError;
}

// The value lists over each protocol: the board's IDCODE comes back through the server.
TEST(NetCableTest, TheIdcodeIsReadThroughEitherServer)
{
    for (ServerProtocol protocol : {ServerProtocol::RemoteBitbang, ServerProtocol::Xvc})
    {
        CJtagServer server(protocol);
        InWindowOver(server, [&](CStepperDlg& dlg) {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            SendValue(dlg, IDC_IR_VALUE, "4'b0010");
            SendValue(dlg, IDC_DR_VALUE, "32'h0");
            EXPECT_EQ("32'h14D5654B", WindowText(Item<CEdit>(dlg, IDC_VALUE_EDIT).m_hWnd)) << server.Cable();
        });
    }
}

TEST(NetCableTest, NamesGiveAServerAndItsPort)
{
    CableName cable;
    std::string strError;
    ASSERT_TRUE(ParseCableName("rbb:localhost:44853", cable, strError)) << strError;
    EXPECT_EQ("remote_bitbang server at localhost:44853", DescribeCable(cable));
    ASSERT_TRUE(ParseCableName("rbb:/tmp/jtag.sock", cable, strError)) << strError;
    EXPECT_EQ("/tmp/jtag.sock", cable.device);
    ASSERT_TRUE(ParseCableName("xvc:192.168.1.10:2542", cable, strError)) << strError;
    EXPECT_EQ("XVC server at 192.168.1.10:2542", DescribeCable(cable));
    for (const char* pszBad : {"rbb", "xvc:host", "xvc:host:0", "rbb:host:65536", "rbb::44853", "xvc:ho st:2542"})
    {
        EXPECT_FALSE(ParseCableName(pszBad, cable, strError)) << pszBad;
        EXPECT_NE(std::string::npos, strError.find("TCP port")) << pszBad << ": " << strError;
    }
}

} // namespace

// A run where only some clocks' TDO is wanted (as a probe's scan asks): R only after those, and
// XVC's answer bits only for them.
TEST(NetCableTest, OnlyTheClocksWhoseTdoIsAskedForAreRead)
{
    CBits tms(3, false), tdi(3, false), read(3, false);
    tdi.Set(1, true);
    read.Set(1, true);
    // The three clocks through a server of that protocol, what it received; then, where pszUnread
    // is given, the same clocks with no TDO wanted.
    const auto clockedThrough = [&](ServerProtocol protocol, const std::string& strRead, const char* pszUnread) {
        CJtagServer server(protocol);
        std::shared_ptr<ICable> cable = NetworkCable(server.Cable());
        ASSERT_TRUE(cable->Open()) << cable->OpenProblem();
        server.TakeReceived();
        CBits tdo;
        ASSERT_TRUE(cable->Clocks(tms, tdi, read, tdo)) << cable->Failure();
        EXPECT_EQ(strRead, server.TakeReceived());
        EXPECT_EQ(1u, tdo.size());
        if (pszUnread == nullptr)
            return;
        // No TDO wanted: the clocks go out and nothing is awaited.
        ASSERT_TRUE(cable->Clocks(tms, tdi, CBits(3, false), tdo)) << cable->Failure();
        EXPECT_EQ(pszUnread, server.WaitForReceived(6));
        EXPECT_EQ(1u, tdo.size());
    };
    clockedThrough(ServerProtocol::RemoteBitbang, "0415R04", "041504");
    clockedThrough(ServerProtocol::Xvc, std::string("shift:\x03\x00\x00\x00\x00\x02", 12), nullptr);
}
