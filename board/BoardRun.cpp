#include "BoardRun.h"

#include "../bsdl/BsdlLibrary.h"
#include "../chain/BoundaryScan.h"
#include "../chain/Idcode.h"
#include "../engine/TapEngine.h"
#include "../tap/TapStates.h"

namespace {

// Each device's bits, device 1 (nearest TDI) first, as one shift through the chain: the device
// nearest TDO takes the first bits.
CBits ChainBits(const std::vector<CBits>& devices)
{
    CBits bits;
    for (size_t i = devices.size(); i-- > 0;)
        bits.Append(devices[i]);
    return bits;
}

// What came out, split back into each device's bits; lengths as they went in.
std::vector<CBits> DeviceBits(const CBits& out, const std::vector<CBits>& in)
{
    std::vector<CBits> devices(in.size());
    size_t nAt = 0;
    for (size_t i = in.size(); i-- > 0;)
    {
        devices[i] = out.Slice(nAt, in[i].size());
        nAt += in[i].size();
    }
    return devices;
}

// The chips the board names, matched to the devices as PlanBoard says. False, with the difference.
bool BoardChips(const ChainScan& scan, const BoardFile& board, const CBsdlLibrary& library,
                std::vector<BoardChip>& chips, std::string& strDifference)
{
    chips.clear();
    const size_t nDevices = scan.devices.size();
    const std::string has = "the chain has " + std::to_string(nDevices) + " device" + (nDevices == 1 ? "" : "s");
    if (board.nChainLength != 0 && board.nChainLength != nDevices)
    {
        strDifference = "The board names " + std::to_string(board.nChainLength) + " device" +
                        (board.nChainLength == 1 ? "" : "s") + " on its chain, but " + has + ".";
        return false;
    }
    if (board.refs.empty())
    {
        strDifference = "No chip of the board is named as a device on the chain: give each as U3=1 under [board] in "
                        "the settings, or with --ref U3=1.";
        return false;
    }
    for (const std::pair<std::string, size_t>& ref : board.refs)
    {
        const std::string is = ref.first + " is device " + std::to_string(ref.second);
        if (ref.second > nDevices)
        {
            strDifference = "The board says " + is + ", but " + has + ".";
            return false;
        }
        const ChainDevice& device = scan.devices[ref.second - 1];
        const std::string strGiven = board.BsdlOf(ref.first);
        const std::shared_ptr<const BsdlFile> pFile = strGiven.empty() ? device.pBsdl : library.Given(strGiven);
        if (pFile == nullptr)
        {
            strDifference = is + (device.bIdcode ? " (IDCODE " + IdcodeText(device.nIdcode) + ")" : std::string()) +
                            ", and no BSDL file is known for it: put its file in a BSDL folder or name it under [bsdl].";
            return false;
        }
        // A chip whose file gives no IDCODE is taken where the device shows none.
        const bool bSame = device.bIdcode ? pFile->MatchesIdcode(device.nIdcode) : pFile->strIdcode.empty();
        if (!bSame)
        {
            strDifference = "The board says " + is + ", a " + pFile->strEntity + " (" + pFile->strPath + "), but device " +
                            std::to_string(ref.second) + (device.bIdcode ? "'s IDCODE is " + IdcodeText(device.nIdcode)
                                                                         : " shows no IDCODE") +
                            (pFile->strIdcode.empty() ? "." : ", not " + pFile->strIdcode + ".");
            return false;
        }
        chips.push_back({ref.first, ref.second, pFile});
    }
    for (size_t i = 0; i < nDevices; ++i)
    {
        if (scan.devices[i].nIrLength == 0)
        {
            strDifference = "Device " + std::to_string(i + 1) +
                            "'s IR length is not known, so the chain cannot be spoken to: give the lengths with --irlen "
                            "or in the chain window.";
            return false;
        }
    }
    return true;
}

} // namespace

bool AddBoardFiles(const BoardFile& board, CBsdlLibrary& library, std::string& strError)
{
    for (const std::pair<std::string, std::string>& file : board.bsdl)
    {
        if (!library.AddFile(file.second, strError))
            return false;
    }
    return true;
}

Outcome PlanBoard(const ChainScan& scan, const BoardFile& board, const Netlist& netlist, const CBsdlLibrary& library,
                  BoardPlan& plan)
{
    std::vector<BoardChip> chips;
    std::string strError;
    if (!BoardChips(scan, board, library, chips, strError))
        return Outcome(Ended::Broken, "The chain is not as the board says, so nothing was driven. " + strError);
    if (!PlanBoardTest(netlist, chips, plan, strError))
        return Outcome(Ended::Refused, "MORVA cannot test this board: " + strError);
    if (plan.Tested() == 0)
        return Outcome(Ended::Refused, "No net of the board can be tested: none has a boundary-scan pin that drives "
                                       "it and another that reads it.");
    return Outcome();
}

std::string DrivenNetsText(const BoardPlan& plan)
{
    std::string text;
    for (const BoardNet& net : plan.nets)
    {
        if (net.drivers.empty() || (!net.why.empty() && net.cHold == 0))
            continue;
        text += (text.empty() ? "" : ", ") + net.name + " (";
        for (size_t d = 0; d < net.drivers.size(); ++d)
            text += (d == 0 ? "" : " ") + plan.PinName(net.drivers[d]);
        text += ")";
    }
    return text;
}

Outcome RunBoardTest(CTapEngine& tap, const ChainScan& scan, const BoardPlan& plan, BoardReport& report)
{
    // Each device's instructions and register bits; those with no chip in BYPASS.
    std::vector<CBits> preload, extest, bypass;
    for (const ChainDevice& device : scan.devices)
    {
        preload.emplace_back(static_cast<size_t>(device.nIrLength), true);
        bypass.emplace_back(1, false);
    }
    extest = preload;
    for (const BoardChip& chip : plan.chips)
    {
        const BsdlInstruction* pPreload = FindInstruction(*chip.pFile, {"PRELOAD", "SAMPLE"});
        const BsdlInstruction* pExtest = FindInstruction(*chip.pFile, {"EXTEST"});
        if (pPreload == nullptr || pExtest == nullptr)
            return Outcome(Ended::Broken, chip.pFile->strPath + " gives " + chip.pFile->strEntity + " (" + chip.ref +
                                              ") no " + (pExtest == nullptr ? "EXTEST" : "PRELOAD or SAMPLE") +
                                              " instruction: the board cannot be tested through it.");
        preload[chip.nDevice - 1] = PatternBits(pPreload->opcodes.front());
        extest[chip.nDevice - 1] = PatternBits(pExtest->opcodes.front());
    }
    if (!IsShiftStart(tap.State()))
        return Outcome(Ended::Broken, "The board is tested from TEST-LOGIC-RESET, RUN-TEST/IDLE, PAUSE-DR, PAUSE-IR, "
                                      "UPDATE-DR or UPDATE-IR. Click one of these first.");
    // Every pattern's bits are made before the first clock: none can fail half-way.
    const size_t nPatterns = plan.Patterns();
    std::vector<CBits> shifts;
    for (size_t k = 0; k <= nPatterns; ++k)
    {
        std::vector<CBits> chips = k < nPatterns ? std::vector<CBits>() : SafeBoundaries(plan);
        std::string strError;
        if (k < nPatterns && !PatternBoundaries(plan, k, chips, strError))
            return Outcome(Ended::Broken, strError);
        std::vector<CBits> devices = bypass;
        for (size_t c = 0; c < plan.chips.size(); ++c)
            devices[plan.chips[c].nDevice - 1] = chips[c];
        shifts.push_back(ChainBits(devices));
    }
    const auto none = [](size_t) { return false; };
    std::vector<CBits> layout = bypass;
    for (const BoardChip& chip : plan.chips)
        layout[chip.nDevice - 1] = CBits(chip.pFile->nBoundaryLength, false);
    std::vector<std::vector<CBits>> captures;
    Outcome ended = tap.Shift(TAP_IR, ChainBits(preload), none);
    if (ended == Ended::Done)
        ended = tap.Shift(TAP_DR, shifts.front(), none);
    if (ended == Ended::Done)
        ended = tap.Shift(TAP_IR, ChainBits(extest), none);
    // Each shift puts the next pattern on the pins and reads what the last one did.
    for (size_t k = 1; ended == Ended::Done && k < shifts.size(); ++k)
    {
        ended = tap.Shift(TAP_DR, shifts[k], none);
        if (ended != Ended::Done)
            break;
        const std::vector<CBits> devices = DeviceBits(tap.BitsOut(), layout);
        std::vector<CBits> chips;
        for (const BoardChip& chip : plan.chips)
            chips.push_back(devices[chip.nDevice - 1]);
        captures.push_back(chips);
    }
    if (ended != Ended::Done)
        return ended;
    // Every pin back to its chip.
    if (!tap.Reset())
        return tap.CableLost().At("in the reset that leaves EXTEST");
    report = DiagnoseBoard(plan, captures);
    return Outcome();
}

std::vector<std::string> BoardReportLines(const BoardReport& report)
{
    std::vector<std::string> lines;
    for (const BoardNet& net : report.nets)
    {
        if (!net.why.empty())
            lines.push_back("not tested  " + net.name + "  " + net.why);
    }
    lines.insert(lines.end(), report.faults.begin(), report.faults.end());
    lines.insert(lines.end(), report.notes.begin(), report.notes.end());
    lines.push_back(report.Summary());
    return lines;
}
