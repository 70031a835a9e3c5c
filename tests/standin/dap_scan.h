// What the CMSIS-DAP tests of both systems ask of a probe found and a cable over it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain/ChainScan.h"
#include "engine/TapEngine.h"
#include "ports/dap_port.h"
#include "dap_link.h"

// Each probe found as "SERIAL Product (CMSIS-DAP vN)".
inline std::vector<std::string> ProbeLines(const std::vector<DapProbeFound>& probes)
{
    std::vector<std::string> lines;
    for (const DapProbeFound& probe : probes)
        lines.push_back(probe.serial + " " + DescribeDapProbe(probe));
    return lines;
}

// The cable opened and switched on, reset and the chain scanned: the one device's line, or what
// went wrong.
inline std::string ScannedThrough(CDapCable& cable)
{
    CTapEngine engine(&cable);
    if (!cable.Open() || !engine.Switch(true) || !engine.Reset())
        return "not open: " + cable.OpenProblem() + cable.Failure();
    ChainScan scan;
    const Outcome end = ScanChain(engine, {}, scan);
    if (end != Ended::Done || scan.devices.size() != 1)
        return end.Message();
    return FormatChainDevice(1, scan.devices[0]);
}

// A cable over the link, opened, switched on and reset, with its engine.
struct CProbeOn
{
    explicit CProbeOn(std::unique_ptr<IDapLink> pLink) : cable(std::move(pLink), 0), engine(&cable)
    {
        bOn = cable.Open() && engine.Switch(true) && engine.Reset();
    }
    CDapCable cable;
    CTapEngine engine;
    bool bOn = false;
};

// Unplugged as the third packet of a SEND of 20,000 bits goes out: the SEND lost with the
// transport's words (pszSaid), a reset failing while the probe is out, and the probe found again
// at the next reset once it is back.
inline void CheckUnpluggedMidRun(std::unique_ptr<IDapLink> pLink, DapProbePair& probes, const char* pszSaid)
{
    CProbeOn on(std::move(pLink));
    ASSERT_TRUE(on.bOn) << on.cable.OpenProblem() << on.cable.Failure();
    probes.nUnplugAtWrite = static_cast<int>(probes.nWrites) + 3;
    const Outcome end = on.engine.Shift(TAP_DR, CBits(20000, true), [](size_t) { return false; });
    EXPECT_EQ(Ended::Lost, end);
    EXPECT_NE(std::string::npos, end.Message().find(pszSaid)) << end.Message();
    EXPECT_FALSE(on.engine.Reset()) << "a reset while the probe is out";
    probes.bHidPresent = true;
    probes.bUsbPresent = true;
    probes.nUnplugAtWrite = 0;
    EXPECT_TRUE(on.engine.Reset()) << on.cable.Failure();
    EXPECT_EQ(TapState::TestLogicReset, probes.usbProbe.Board().State());
}
