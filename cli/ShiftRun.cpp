#include "ShiftRun.h"

#include <memory>

#include "../bsdl/BoundaryPins.h"
#include "../bsdl/BsdlLibrary.h"
#include "../chain/KeptIrLengths.h"
#include "../chain/BoundaryScan.h"
#include "../chain/ChainScan.h"
#include "../engine/TapEngine.h"
#include "../svf/SvfPlayer.h"
#include "../svf/SvfWriter.h"
#include "../tap/ScanValue.h"

namespace {

// What went wrong on the way, for standard error.
class CProblems : public ITapListener
{
public:
    void OnTraceFileFailed(const std::string& strError) override { m_strTrace = strError; }

    std::string m_strTrace;
};

Outcome Broken(const std::string& strWhy)
{
    return Outcome(Ended::Broken, strWhy);
}

Outcome Refused(const std::string& strWhy)
{
    return Outcome(Ended::Refused, strWhy);
}

} // namespace

bool StartCommandLineEngine(CTapEngine& engine, CLiveVcd& trace, const std::string& strTracePath, const SAY_LINE& say)
{
    engine.SetPaced(false);
    std::string strError;
    if (strTracePath.empty())
        return true;
    if (!trace.Open(strTracePath, engine.SessionDate(), strError))
    {
        say(strError, true);
        return false;
    }
    engine.SetLiveTrace(&trace);
    return true;
}

int DescribeBsdlCommand(const std::string& strPath, const SAY_LINE& say)
{
    BsdlFile file;
    std::string strError;
    if (!ReadBsdlFile(strPath, file, strError))
    {
        say(strError, true);
        return EXIT_NOT_DONE;
    }
    for (const std::string& line : DescribeBsdl(file))
        say(line, false);
    return EXIT_DONE;
}

int PlaySvfCommand(ICable& cable, const std::string& strPath, const std::string& strTracePath, const SAY_LINE& say,
                   const std::function<bool()>& stop)
{
    CProblems problems;
    CTapEngine engine(&cable);
    engine.AddListener(&problems);
    CLiveVcd trace;
    std::string strError;
    if (!StartCommandLineEngine(engine, trace, strTracePath, say))
        return EXIT_NOT_DONE;
    const bool bOn = engine.Switch(true);
    CSvfPlayer player(engine, [&](const std::string& strNote) { say(strNote, true); });
    DWORD dwSaid = ::GetTickCount();
    player.SetStop([&]() {
        if (::GetTickCount() - dwSaid >= 1000)
        {
            dwSaid = ::GetTickCount();
            say(player.Progress(), true);
        }
        return stop && stop();
    });
    SvfMismatch mismatch;
    const Outcome end =
        bOn ? player.PlayFile(strPath, mismatch, strError) : engine.CableLost().At("as MORVA switched it on");
    engine.Switch(false);
    if (!problems.m_strTrace.empty())
        say(problems.m_strTrace, true);
    if (end == Ended::Done)
    {
        say(std::to_string(player.Commands()) + " commands played, " + std::to_string(engine.Clocks()) +
                " clocks; every TDO was as the file expects.",
            false);
        return problems.m_strTrace.empty() ? EXIT_DONE : EXIT_NOT_DONE;
    }
    std::string text = end.Message();
    if (end == Ended::Differs)
    {
        text += " (hex, the first bit out lowest)";
        for (const std::string& line : SvfTdoLines(mismatch.expected, mismatch.read, mismatch.mask, mismatch.nReadFrom))
            text += "\n" + line;
    }
    say(text, true);
    return end.ExitStatus();
}

int RunShifts(ICable& cable, const std::vector<ShiftRequest>& shifts, const std::string& strTracePath, const SAY_LINE& say)
{
    CommandLineWork work;
    work.pCable = &cable;
    work.shifts = shifts;
    return RunCommandLineWork(work, strTracePath, say);
}

int RunCommandLineWork(const CommandLineWork& work, const std::string& strTracePath, const SAY_LINE& say)
{
    CProblems problems;
    CTapEngine engine(work.pCable);
    engine.AddListener(&problems);
    CLiveVcd trace;
    if (!StartCommandLineEngine(engine, trace, strTracePath, say))
        return EXIT_NOT_DONE;

    // Nobody is there to answer the pin view's question: --extest is the answer, given beforehand.
    if (!work.drives.empty() && !work.bExtest)
    {
        say("MORVA drives no pin without --extest: nobody is there to be asked first whether the pins may be driven, "
            "as the pin view asks. Give --extest with --drive to drive them. Nothing was clocked.",
            true);
        return EXIT_NOT_DONE;
    }
    // How the work ended: done until something stops the rest.
    Outcome ended = engine.Switch(true) ? Outcome() : engine.CableLost().At("as MORVA switched it on");
    if (ended.IsDone() && work.bSrst)
        ended = engine.PulseSrst();
    const bool bScan = work.bScan || work.nDevice > 0;
    std::vector<ShiftRequest> shifts = work.shifts;
    if (ended.IsDone() && !bScan && !engine.Reset())
        ended = engine.CableLost().At("in the reset before the first value");
    ChainScan scan;
    if (ended.IsDone() && bScan)
    {
        Outcome end = ScanChain(engine, work.irLengths, scan, work.pLibrary, work.strIrLengthsFrom);
        bool bTold = true;
        for (const ChainDevice& device : scan.devices)
            bTold = bTold && device.nIrLength != 0;
        std::string strKept, strWhy;
        std::vector<int> kept;
        // Lengths typed in the chain window for this very chain: the scan takes them.
        if (end == Ended::Done && !bTold && work.irLengths.empty() && !work.strKeptIrLengthsPath.empty() &&
            FindKeptIrLengths(work.strKeptIrLengthsPath, ChainIdentity(work.strCable, scan.devices), strKept) &&
            ParseIrLengths(strKept, kept, strWhy))
        {
            scan = ChainScan();
            end = ScanChain(engine, kept, scan, work.pLibrary, "in the chain window for this chain");
        }
        std::string strNotGiven;
        if (end == Ended::Done && work.pDeviceFile != nullptr && work.nDevice <= scan.devices.size())
            GiveBsdlFile(scan, work.nDevice, work.pDeviceFile, strNotGiven);
        for (size_t i = 0; work.bScan && i < scan.devices.size(); ++i)
            say(FormatChainDevice(i + 1, scan.devices[i]), false);
        // The clock the cable was set to, beside the list: the list itself stays one line a device.
        const unsigned long nClockHz = work.pCable == nullptr ? 0 : work.pCable->Traits().nClockHz;
        if (work.bScan && nClockHz != 0)
            say("Scanned at TCK " + ClockText(nClockHz) + ", through " + work.pCable->Description() + ".", true);
        for (const std::string& strProblem : scan.bsdlProblems)
            say(strProblem, true);
        if (end != Ended::Done)
            ended = end;
        else if (work.nDevice > scan.devices.size())
            ended = Broken("The chain has " + std::to_string(scan.devices.size()) + " device" +
                        (scan.devices.size() == 1 ? "" : "s") + "; there is no device " + std::to_string(work.nDevice) +
                           ".");
        else if (!strNotGiven.empty())
            ended = Broken(strNotGiven);
        else if (work.nDevice > 0 && !scan.strProblem.empty())
            ended = Broken(WhyNotAlone(work.nDevice, scan));
        else if (!scan.strProblem.empty())
            say(scan.strProblem, true);
    }
    std::unique_ptr<CChainAddress> pAddress;
    if (ended.IsDone() && work.nDevice > 0)
    {
        pAddress.reset(new CChainAddress(scan.devices, work.nDevice));
        pAddress->Follow(engine);
    }
    // Instructions by name, and the pins, need the device's file.
    const BsdlFile* pFile = pAddress != nullptr ? pAddress->Bsdl().get() : nullptr;
    const std::string strNoFile = "Device " + std::to_string(work.nDevice) +
                                  " has no BSDL file: put its file in a BSDL folder (--bsdl-folder, [bsdl] folder=) or "
                                  "give it with --bsdl FILE.";
    for (size_t i = 0; pAddress != nullptr && ended.IsDone() && i < shifts.size(); ++i)
    {
        if (!shifts[i].bits.empty())
            continue;
        std::string strWhy;
        const NamedInstruction named = pFile != nullptr ? InstructionByName(*pFile, shifts[i].strValue, shifts[i].bits, strWhy)
                                                        : NamedInstruction::NoSuchName;
        if (pFile == nullptr)
            ended = Refused("MORVA cannot send --ir " + shifts[i].strValue + ". " + strNoFile);
        else if (named == NamedInstruction::NoSuchName)
            ended = Refused("MORVA cannot send --ir " + shifts[i].strValue + ": " + pFile->strPath + " gives " +
                            pFile->strEntity + " no instruction of that name.");
        else if (named == NamedInstruction::WrongOpcode)
            ended = Refused("MORVA cannot send --ir " + shifts[i].strValue + ": " + strWhy);
    }
    if (pAddress != nullptr && ended.IsDone() && work.bSample && pFile == nullptr)
        ended = Refused("MORVA cannot read device " + std::to_string(work.nDevice) + "'s pins. " + strNoFile);
    // The drives are checked against the file before any of the values is sent.
    std::vector<BoundaryPin> pins;
    std::vector<PinDrive> drives;
    CBits loaded;
    if (pAddress != nullptr && ended.IsDone() && work.bExtest)
    {
        if (pFile == nullptr)
            ended = Refused("MORVA cannot drive device " + std::to_string(work.nDevice) + "'s pins. " + strNoFile);
        else
        {
            pins = BoundaryPins(*pFile);
            drives.assign(pins.size(), PinDrive::Safe);
        }
        for (size_t i = 0; ended.IsDone() && i < work.drives.size(); ++i)
        {
            std::string strPin;
            PinDrive drive = PinDrive::Safe;
            std::string strWhy;
            const int nPin = ParsePinDrive(work.drives[i], strPin, drive, strWhy) ? FindPin(pins, strPin) : -2;
            if (nPin == -2)
                ended = Refused("MORVA cannot take --drive " + work.drives[i] + ": " + strWhy);
            else if (nPin < 0)
                ended = Refused("MORVA cannot take --drive " + work.drives[i] + ": " + pFile->strEntity + " (" +
                                pFile->strPath + ") has no pin " + strPin + ". --sample lists its pins.");
            else if (drive != PinDrive::Safe && !pins[static_cast<size_t>(nPin)].CanDrive())
                ended = Refused("MORVA cannot take --drive " + work.drives[i] + ": " +
                                pins[static_cast<size_t>(nPin)].strPort + " is an input; no cell drives it.");
            else
                drives[static_cast<size_t>(nPin)] = drive;
        }
        std::string strWhy;
        if (ended.IsDone() && !DrivenBoundary(*pFile, pins, drives, loaded, strWhy))
            ended = Refused("MORVA drives no pin: " + strWhy);
    }
    for (size_t i = 0; ended.IsDone() && i < shifts.size(); ++i)
    {
        const ShiftRequest& shift = shifts[i];
        std::string strWhy;
        if (pAddress != nullptr && !pAddress->CanSend(shift.bIr, shift.bits.size(), strWhy))
        {
            ended = Refused(strWhy);
            break;
        }
        // To one device: its own bits of what came out; to the chain, the value display's text.
        CBits out;
        const Outcome shifted = pAddress != nullptr
                                    ? ShiftDevice(engine, *pAddress, shift.bIr, shift.bits, out)
                                    : engine.Shift(shift.bIr ? TAP_IR : TAP_DR, shift.bits, [](size_t) { return false; });
        if (shifted == Ended::Done)
        {
            say(pAddress == nullptr ? engine.ValueOut() : FormatSizedHex(out), false);
            continue;
        }
        ended = Outcome(shifted).At(std::string("while sending ") + (shift.bIr ? "--ir " : "--dr ") + shift.strValue);
    }
    if (ended.IsDone() && work.bSample)
    {
        CBits captured;
        const Outcome end = SampleBoundary(engine, *pAddress, *pFile, captured);
        ended = Outcome(end).At("while reading the pins");
        for (const BoundaryPin& pin : end == Ended::Done ? BoundaryPins(*pFile) : std::vector<BoundaryPin>())
            say(pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " + pin.Direction() + "  " +
                    PinReading(pin, captured),
                false);
    }
    if (ended.IsDone() && work.bExtest)
    {
        CBits captured;
        const Outcome end = DriveBoundary(engine, *pAddress, *pFile, pins, drives, false, captured);
        ended = Outcome(end).At("while driving the pins");
        // The pins that drive, with their levels; then every pin as read under EXTEST.
        for (const BoundaryPin& pin : end == Ended::Done ? pins : std::vector<BoundaryPin>())
            if (DriverOn(pin, loaded))
                say("drives  " + pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " +
                        (loaded[static_cast<size_t>(pin.nOutput)] != 0 ? "1" : "0"),
                    false);
        for (const BoundaryPin& pin : end == Ended::Done ? pins : std::vector<BoundaryPin>())
            say(pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " + pin.Direction() + "  " +
                    PinReading(pin, captured, &loaded),
                false);
    }
    // Every device back to its own logic, the pins to the chip's.
    if (ended != Ended::Lost && work.bLeaveExtest && !engine.Reset())
        ended = engine.CableLost().At("in the reset that leaves EXTEST");
    engine.Switch(false);

    if (!problems.m_strTrace.empty())
        say(problems.m_strTrace, true);
    // What was clocked is written even where something stopped the rest.
    std::string strSvfError;
    if (!work.strSvfOut.empty() &&
        !SaveSvf(engine.Session(), engine.SessionDate(), SvfPaddingOf(pAddress.get()), work.strSvfOut, strSvfError))
        say(strSvfError, true);
    if (!ended.IsDone())
    {
        say(ended.Message() + (shifts.empty() && ended != Ended::Lost ? "" : " What was left was not sent."), true);
        return ended.ExitStatus();
    }
    return problems.m_strTrace.empty() && strSvfError.empty() ? EXIT_DONE : EXIT_NOT_DONE;
}
