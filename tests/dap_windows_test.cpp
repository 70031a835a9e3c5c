// CMSIS-DAP probes on Windows: found through setupapi's lists, hid.dll's strings and WinUSB's
// descriptors, opened by serial number or as the first found, their packets as each transport
// carries them, one held by another program, one silent and one unplugged mid-run.
#include <gtest/gtest.h>

#include "standin/dap_scan.h"

#include "standin/dap_windows_standin.h"

namespace {

using Lines = std::vector<std::string>;

Lines Listed(const WinDapApi& api)
{
    std::vector<DapProbeFound> probes;
    std::string strError;
    size_t nDenied = 0;
    EXPECT_TRUE(FindWinDapProbes(api, probes, strError, nDenied)) << strError;
    return ProbeLines(probes);
}

// One clock with TMS high, its TDO read.
bool Click(CDapCable& cable)
{
    CBits tdo;
    return cable.Clocks(CBits(1, true), CBits(1, true), CBits(1, true), tdo) && tdo.size() == 1;
}

} // namespace

// The v2 probe behind WinUSB first, then the v1 probe among the HID devices, not the keyboard.
TEST(DapWindowsTest, ProbesAreFoundByTheirStringsThroughBothTransports)
{
    const WinDapApi& api = StandinWinDap();
    EXPECT_EQ((Lines{"E6614103E7475D2F MORVA Debug Probe (CMSIS-DAP v2)", "HID00001 MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)"}),
              Listed(api));
    WinDap().bUsbPresent = false;
    EXPECT_EQ((Lines{"HID00001 MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)"}), Listed(api));
}

// The first probe is the v2 one: a second's time limit on both pipes, each packet a bulk
// transfer as long as its command. By serial number the v1 probe: each packet a report of 65
// bytes, the report number and the padded packet. Both scan the board.
TEST(DapWindowsTest, EachTransportCarriesThePacketsAsItsDocumentationSays)
{
    const WinDapApi& api = StandinWinDap();
    CDapCable first(MakeWinDapLink(api, ""), 0);
    const std::string firstScan = ScannedThrough(first);
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", firstScan.substr(0, 26)) << firstScan;
    const Lines bulk = WinDap().Take();
    // Opened to be looked at, then to be used; the pipes given their time limit; DAP_Info.
    ASSERT_GE(bulk.size(), 5u);
    const std::string opened = "open \\\\?\\usb#vid_2e8a&pid_000c#dap2";
    EXPECT_EQ((Lines{opened, opened, "timeout 02 1000", "timeout 81 1000", "bulk 2: 00 FF"}),
              Lines(bulk.begin(), bulk.begin() + 5));
    EXPECT_EQ(512u, first.PacketSize());
    ASSERT_TRUE(Click(first));
    EXPECT_EQ((Lines{"bulk 4: 14 01 C1 01"}), WinDap().Take());

    CDapCable bySerial(MakeWinDapLink(api, "HID00001"), 0);
    const std::string hidScan = ScannedThrough(bySerial);
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", hidScan.substr(0, 26)) << hidScan;
    EXPECT_EQ("MORVA HID probe CMSIS-DAP (CMSIS-DAP v1) at 1 MHz", bySerial.Description());
    WinDap().Take();
    ASSERT_TRUE(Click(bySerial));
    std::string click = "hid 65: 00 14 01 C1 01";
    for (int i = 0; i < 60; ++i)
        click += " 00";
    EXPECT_EQ((Lines{click}), WinDap().Take());
}

// A probe another program holds is not looked at and said so; a serial number no probe has is
// said with the probes there are; a v1 probe that takes reports and answers none is lost after
// its second.
TEST(DapWindowsTest, AProbeHeldElsewhereMissingOrSilentIsSaidWithWhatToDo)
{
    const WinDapApi& api = StandinWinDap();
    WinDap().bUsbBusy = true;
    CDapCable busy(MakeWinDapLink(api, "E6614103E7475D2F"), 0);
    EXPECT_FALSE(busy.Open());
    EXPECT_EQ("No CMSIS-DAP probe with serial number E6614103E7475D2F was found. MORVA found:\n"
              "    dap:HID00001  MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)\n"
              "1 USB device(s) that may be probes could not be opened to be looked at. Close the other program "
              "that uses the probe.",
              busy.OpenProblem());
    WinDap().bHidSilent = true;
    CDapCable silent(MakeWinDapLink(api, "HID00001"), 0);
    EXPECT_FALSE(silent.Open());
    EXPECT_NE(std::string::npos, silent.OpenProblem().find("did not answer within a second")) << silent.OpenProblem();
}

// Unplugged in the middle of a long SEND through WinUSB: lost with the system's words, and found
// again at the next reset once it is back.
TEST(DapWindowsTest, AProbeUnpluggedMidRunIsLostAndFoundAgainOnceBack)
{
    const WinDapApi& api = StandinWinDap();
    CheckUnpluggedMidRun(MakeWinDapLink(api, ""), WinDap(), "WinUsb_WritePipe failed");
}
