// CMSIS-DAP probes on Linux: found through hidapi (v1) and libusb (v2), opened by serial number or
// as the first found, their packets as each transport carries them, and one unplugged mid-run.
#include <gtest/gtest.h>

#include "standin/dap_scan.h"

#include "dap_standin.h"
#include "ports/dap_linux.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> Listed(const DapLibraries& libraries)
{
    std::vector<DapProbeFound> probes;
    std::string strError;
    EXPECT_TRUE(FindDapProbes(libraries, probes, strError)) << strError;
    return ProbeLines(probes);
}

} // namespace

// Each library's probes by what their strings say, not a keyboard or another vendor-specific
// device; a probe offering both versions is listed once, as v2.
TEST(DapLinuxTest, ProbesAreFoundByTheirStringsAndOnceWhereTheyOfferBoth)
{
    DapLibraries libraries = StandinDapLibraries();
    EXPECT_EQ((Lines{"E6614103E7475D2F MORVA Debug Probe (CMSIS-DAP v2)", "HID00001 MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)"}),
              Listed(libraries));
    Dap().bBothOnOne = true;
    EXPECT_EQ(2u, Listed(libraries).size());
    libraries.pLibusb = nullptr;
    EXPECT_EQ((Lines{"HID00001 MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)",
                     "E6614103E7475D2F MORVA Debug Probe CMSIS-DAP (CMSIS-DAP v1)"}),
              Listed(libraries));
    libraries.pHidapi = nullptr;
    libraries.strMissing = "neither library";
    std::vector<DapProbeFound> probes;
    std::string strError;
    EXPECT_FALSE(FindDapProbes(libraries, probes, strError));
    EXPECT_EQ("neither library", strError);
}

// The first probe found is the v2 one: its packets are bulk transfers as long as each command,
// its interface claimed; by serial number the v1 probe is taken, each packet a report of 64
// bytes after the report number. Both scan the board behind them.
TEST(DapLinuxTest, EachTransportCarriesThePacketsAsItsDocumentationSays)
{
    const DapLibraries libraries = StandinDapLibraries();
    CDapCable first(MakeDapLink(libraries, ""), 0);
    const std::string firstScan = ScannedThrough(first);
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", firstScan.substr(0, 26)) << firstScan;
    const Lines bulk = Dap().Take();
    ASSERT_GE(bulk.size(), 4u);
    EXPECT_EQ((Lines{"claim 1", "bulk 2: 00 FF", "bulk 2: 00 FE", "bulk 2: 00 F0"}), Lines(bulk.begin(), bulk.begin() + 4));
    EXPECT_EQ(512u, first.PacketSize());
    EXPECT_EQ("MORVA Debug Probe (CMSIS-DAP v2) at 1 MHz", first.Description());
    // A click: one bulk transfer as long as its command, one back.
    ASSERT_TRUE(first.Switch(true));
    Dap().Take();
    CBits tdo;
    ASSERT_TRUE(first.Clocks(CBits(1, true), CBits(1, true), CBits(1, true), tdo));
    EXPECT_EQ((Lines{"bulk 4: 14 01 C1 01"}), Dap().Take());
    ASSERT_TRUE(first.Switch(false));
    EXPECT_EQ((Lines{"bulk 1: 03"}), Dap().Take()) << "DAP_Disconnect";

    CDapCable bySerial(MakeDapLink(libraries, "HID00001"), 0);
    EXPECT_EQ("1  IR 4  IDCODE 0x14D5654B", ScannedThrough(bySerial).substr(0, 26));
    const Lines reports = Dap().Take();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ("open /dev/hidraw-dap", reports[0]);
    // The report number 0, DAP_Info's packet size question, and the report's 62 bytes of padding.
    std::string asked = "hid 65: 00 00 FF";
    for (int i = 0; i < 62; ++i)
        asked += " 00";
    EXPECT_EQ(asked, reports[1]);
    for (const std::string& line : reports)
        EXPECT_TRUE(line.rfind("hid 65:", 0) == 0 || line.rfind("open", 0) == 0 || line == "close hid") << line;
    // A click: the same command in a report of its own, padded to the probe's 64 bytes.
    ASSERT_TRUE(bySerial.Switch(true));
    Dap().Take();
    CBits tdo2;
    ASSERT_TRUE(bySerial.Clocks(CBits(1, true), CBits(1, true), CBits(1, true), tdo2));
    std::string click = "hid 65: 00 14 01 C1 01";
    for (int i = 0; i < 60; ++i)
        click += " 00";
    EXPECT_EQ((Lines{click}), Dap().Take());
}

// A serial number no probe has is said with the probes there are; a probe the user may not open
// says how to get access.
TEST(DapLinuxTest, AProbeNotThereOrNotOursToOpenIsSaidWithWhatToDo)
{
    const DapLibraries libraries = StandinDapLibraries();
    CDapCable missing(MakeDapLink(libraries, "NOPE"), 0);
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ("No CMSIS-DAP probe with serial number NOPE was found. MORVA found:\n"
              "    dap:E6614103E7475D2F  MORVA Debug Probe (CMSIS-DAP v2)\n"
              "    dap:HID00001  MORVA HID probe CMSIS-DAP (CMSIS-DAP v1)",
              missing.OpenProblem());
    Dap().nOpenResult = -3;  // LIBUSB_ERROR_ACCESS
    CDapCable refused(MakeDapLink(libraries, "E6614103E7475D2F"), 0);
    EXPECT_FALSE(refused.Open());
    EXPECT_NE(std::string::npos, refused.OpenProblem().find("udev rule")) << refused.OpenProblem();
}

// Unplugged in the middle of a long SEND: lost with the transport's words, and found again at
// the next reset once it is back.
TEST(DapLinuxTest, AProbeUnpluggedMidRunIsLostAndFoundAgainOnceBack)
{
    const DapLibraries libraries = StandinDapLibraries();
    CheckUnpluggedMidRun(MakeDapLink(libraries, ""), Dap(), "LIBUSB_ERROR_NO_DEVICE");
}
