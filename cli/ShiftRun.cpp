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
    void OnCableLost(const std::string& strFailure) override { m_strLost = strFailure; }
    void OnTraceFileFailed(const std::string& strError) override { m_strTrace = strError; }

    std::string m_strLost;
    std::string m_strTrace;
};

} // namespace

const char EXIT_STATUS_TABLE[] = "0\tdone as asked\n"
                                 "1\tan SVF file's TDO differs from what the file expects (its line and bits said)\n"
                                 "2\tnot done, with why: input refused, a broken chain, a cable lost or out of reach";

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
    if (!strTracePath.empty())
    {
        if (!trace.Open(strTracePath, engine.SessionDate(), strError))
        {
            say(strError, true);
            return EXIT_NOT_DONE;
        }
        engine.SetLiveTrace(&trace);
    }
    engine.SetPaced(false);
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
    const SvfEnd end = bOn ? player.PlayFile(strPath, mismatch, strError) : SvfEnd::Lost;
    engine.Switch(false);
    if (!problems.m_strTrace.empty())
        say(problems.m_strTrace, true);
    switch (end)
    {
    case SvfEnd::Matched:
        say(std::to_string(player.Commands()) + " commands played, " + std::to_string(engine.Clocks()) +
                " clocks; every TDO was as the file expects.",
            false);
        return problems.m_strTrace.empty() ? EXIT_DONE : EXIT_NOT_DONE;
    case SvfEnd::Mismatch:
    {
        std::string text = strPath + ":" + std::to_string(mismatch.nLine) + ": " + mismatch.strCommand +
                           ": TDO differs from what the file expects (hex, the first bit out lowest)";
        for (const std::string& line : SvfTdoLines(mismatch.expected, mismatch.read, mismatch.mask, mismatch.nReadFrom))
            text += "\n" + line;
        say(text, true);
        return EXIT_TDO_DIFFERS;
    }
    case SvfEnd::Refused:
    case SvfEnd::Stopped:
        say(strError, true);
        return EXIT_NOT_DONE;
    case SvfEnd::Lost:
    default:
        say("The cable stopped answering while " + strPath + " was played. " +
                (problems.m_strLost.empty() ? cable.Failure() : problems.m_strLost),
            true);
        return EXIT_NOT_DONE;
    }
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
    if (!strTracePath.empty())
    {
        std::string strError;
        if (!trace.Open(strTracePath, engine.SessionDate(), strError))
        {
            say(strError, true);
            return EXIT_NOT_DONE;
        }
        engine.SetLiveTrace(&trace);
    }
    // Nobody watches these clocks one by one: no pause before each.
    engine.SetPaced(false);

    // Nobody is there to answer the pin view's question: --extest is the answer, given beforehand.
    if (!work.drives.empty() && !work.bExtest)
    {
        say("MORVA drives no pin without --extest: nobody is there to be asked first whether the pins may be driven, "
            "as the pin view asks. Give --extest with --drive to drive them. Nothing was clocked.",
            true);
        return EXIT_NOT_DONE;
    }
    std::string strLost = engine.Switch(true) ? std::string() : engine.Cable().Failure();
    std::string strWhere = "as MORVA switched it on";
    const bool bScan = work.bScan || work.nDevice > 0;
    std::vector<ShiftRequest> shifts = work.shifts;
    if (strLost.empty() && !bScan && !engine.Reset())
    {
        strLost = problems.m_strLost;
        strWhere = "in the reset before the first value";
    }
    std::string strBroken;
    ChainScan scan;
    if (strLost.empty() && bScan)
    {
        ScanEnd end = ScanChain(engine, work.irLengths, scan, work.pLibrary, work.strIrLengthsFrom);
        bool bTold = true;
        for (const ChainDevice& device : scan.devices)
            bTold = bTold && device.nIrLength != 0;
        std::string strKept, strWhy;
        std::vector<int> kept;
        // Lengths typed in the chain window for this very chain: the scan takes them.
        if (end == ScanEnd::Done && !bTold && work.irLengths.empty() && !work.strKeptIrLengthsPath.empty() &&
            FindKeptIrLengths(work.strKeptIrLengthsPath, ChainIdentity(work.strCable, scan.devices), strKept) &&
            ParseIrLengths(strKept, kept, strWhy))
        {
            scan = ChainScan();
            end = ScanChain(engine, kept, scan, work.pLibrary, "in the chain window for this chain");
        }
        std::string strNotGiven;
        if (end == ScanEnd::Done && work.pDeviceFile != nullptr && work.nDevice <= scan.devices.size())
            GiveBsdlFile(scan, work.nDevice, work.pDeviceFile, strNotGiven);
        for (size_t i = 0; work.bScan && i < scan.devices.size(); ++i)
            say(FormatChainDevice(i + 1, scan.devices[i]), false);
        for (const std::string& strProblem : scan.bsdlProblems)
            say(strProblem, true);
        if (end == ScanEnd::Lost)
        {
            strLost = problems.m_strLost;
            strWhere = "while scanning the chain";
        }
        else if (end == ScanEnd::Broken)
            strBroken = scan.strProblem;
        else if (work.nDevice > scan.devices.size())
            strBroken = "The chain has " + std::to_string(scan.devices.size()) + " device" +
                        (scan.devices.size() == 1 ? "" : "s") + "; there is no device " + std::to_string(work.nDevice) +
                        ".";
        else if (!strNotGiven.empty())
            strBroken = strNotGiven;
        else if (work.nDevice > 0 && !scan.strProblem.empty())
            strBroken = WhyNotAlone(work.nDevice, scan);
        else if (!scan.strProblem.empty())
            say(scan.strProblem, true);
    }
    std::unique_ptr<CChainAddress> pAddress;
    if (strLost.empty() && strBroken.empty() && work.nDevice > 0)
    {
        pAddress.reset(new CChainAddress(scan.devices, work.nDevice));
        pAddress->Follow(engine);
    }
    // Instructions by name, and the pins, need the device's file.
    const BsdlFile* pFile = pAddress != nullptr ? pAddress->Bsdl().get() : nullptr;
    const std::string strNoFile = "Device " + std::to_string(work.nDevice) +
                                  " has no BSDL file: put its file in a BSDL folder (--bsdl-folder, [bsdl] folder=) or "
                                  "give it with --bsdl FILE.";
    for (size_t i = 0; pAddress != nullptr && strBroken.empty() && i < shifts.size(); ++i)
    {
        if (!shifts[i].bits.empty())
            continue;
        std::string strWhy;
        const NamedInstruction named = pFile != nullptr ? InstructionByName(*pFile, shifts[i].strValue, shifts[i].bits, strWhy)
                                                        : NamedInstruction::NoSuchName;
        if (pFile == nullptr)
            strBroken = "MORVA cannot send --ir " + shifts[i].strValue + ". " + strNoFile;
        else if (named == NamedInstruction::NoSuchName)
            strBroken = "MORVA cannot send --ir " + shifts[i].strValue + ": " + pFile->strPath + " gives " +
                        pFile->strEntity + " no instruction of that name.";
        else if (named == NamedInstruction::WrongOpcode)
            strBroken = "MORVA cannot send --ir " + shifts[i].strValue + ": " + strWhy;
    }
    if (pAddress != nullptr && strBroken.empty() && work.bSample && pFile == nullptr)
        strBroken = "MORVA cannot read device " + std::to_string(work.nDevice) + "'s pins. " + strNoFile;
    // The drives are checked against the file before any of the values is sent.
    std::vector<BoundaryPin> pins;
    std::vector<PinDrive> drives;
    std::vector<unsigned char> loaded;
    if (pAddress != nullptr && strBroken.empty() && work.bExtest)
    {
        if (pFile == nullptr)
            strBroken = "MORVA cannot drive device " + std::to_string(work.nDevice) + "'s pins. " + strNoFile;
        else
        {
            pins = BoundaryPins(*pFile);
            drives.assign(pins.size(), PinDrive::Safe);
        }
        for (size_t i = 0; strBroken.empty() && i < work.drives.size(); ++i)
        {
            std::string strPin;
            PinDrive drive = PinDrive::Safe;
            std::string strWhy;
            const int nPin = ParsePinDrive(work.drives[i], strPin, drive, strWhy) ? FindPin(pins, strPin) : -2;
            if (nPin == -2)
                strBroken = "MORVA cannot take --drive " + work.drives[i] + ": " + strWhy;
            else if (nPin < 0)
                strBroken = "MORVA cannot take --drive " + work.drives[i] + ": " + pFile->strEntity + " (" +
                            pFile->strPath + ") has no pin " + strPin + ". --sample lists its pins.";
            else if (drive != PinDrive::Safe && !pins[static_cast<size_t>(nPin)].CanDrive())
                strBroken = "MORVA cannot take --drive " + work.drives[i] + ": " + pins[static_cast<size_t>(nPin)].strPort +
                            " is an input; no cell drives it.";
            else
                drives[static_cast<size_t>(nPin)] = drive;
        }
        if (strBroken.empty() && !DrivenBoundary(*pFile, pins, drives, loaded, strBroken))
            strBroken = "MORVA drives no pin: " + strBroken;
    }
    for (size_t i = 0; strLost.empty() && strBroken.empty() && i < shifts.size(); ++i)
    {
        const ShiftRequest& shift = shifts[i];
        if (pAddress != nullptr && !pAddress->CanSend(shift.bIr, shift.bits.size(), strBroken))
            break;
        const std::vector<unsigned char> bits = pAddress == nullptr ? shift.bits : pAddress->Wrap(shift.bIr, shift.bits);
        if (engine.Shift(shift.bIr ? TAP_IR : TAP_DR, bits, [](size_t) { return false; }) ==
            CTapEngine::ShiftEnd::Updated)
        {
            if (pAddress == nullptr)
                say(engine.ValueOut(), false);
            else
                say(FormatSizedHex(pAddress->Unwrap(shift.bIr, engine.BitsOut().ToBytes(), shift.bits.size())), false);
            continue;
        }
        strLost = problems.m_strLost;
        strWhere = std::string("while sending ") + (shift.bIr ? "--ir " : "--dr ") + shift.strValue;
    }
    if (strLost.empty() && strBroken.empty() && work.bSample)
    {
        std::vector<unsigned char> captured;
        const ScanEnd end = SampleBoundary(engine, *pAddress, *pFile, captured, strBroken);
        if (end == ScanEnd::Lost)
        {
            strLost = problems.m_strLost;
            strWhere = "while reading the pins";
        }
        for (const BoundaryPin& pin : end == ScanEnd::Done ? BoundaryPins(*pFile) : std::vector<BoundaryPin>())
            say(pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " + pin.Direction() + "  " +
                    PinReading(pin, captured),
                false);
    }
    if (strLost.empty() && strBroken.empty() && work.bExtest)
    {
        std::vector<unsigned char> captured;
        const ScanEnd end = DriveBoundary(engine, *pAddress, *pFile, pins, drives, false, captured, strBroken);
        if (end == ScanEnd::Lost)
        {
            strLost = problems.m_strLost;
            strWhere = "while driving the pins";
        }
        // The pins that drive, with their levels; then every pin as read under EXTEST.
        for (const BoundaryPin& pin : end == ScanEnd::Done ? pins : std::vector<BoundaryPin>())
            if (DriverOn(pin, loaded))
                say("drives  " + pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " +
                        (loaded[static_cast<size_t>(pin.nOutput)] != 0 ? "1" : "0"),
                    false);
        for (const BoundaryPin& pin : end == ScanEnd::Done ? pins : std::vector<BoundaryPin>())
            say(pin.strPort + "  pin " + (pin.strPin.empty() ? "?" : pin.strPin) + "  " + pin.Direction() + "  " +
                    PinReading(pin, captured, &loaded),
                false);
    }
    // Every device back to its own logic, the pins to the chip's.
    if (strLost.empty() && work.bLeaveExtest && !engine.Reset())
    {
        strLost = problems.m_strLost;
        strWhere = "in the reset that leaves EXTEST";
    }
    engine.Switch(false);

    if (!problems.m_strTrace.empty())
        say(problems.m_strTrace, true);
    // What was clocked is written even where something stopped the rest.
    std::string strSvfError;
    if (!work.strSvfOut.empty() &&
        !SaveSvf(engine.Session(), engine.SessionDate(), SvfPaddingOf(pAddress.get()), work.strSvfOut, strSvfError))
        say(strSvfError, true);
    if (!strBroken.empty())
    {
        say(strBroken + (shifts.empty() ? "" : " What was left was not sent."), true);
        return EXIT_NOT_DONE;
    }
    if (!strLost.empty())
    {
        say("The cable stopped answering " + strWhere + ", so what was left was not sent. " + strLost, true);
        return EXIT_NOT_DONE;
    }
    return problems.m_strTrace.empty() && strSvfError.empty() ? EXIT_DONE : EXIT_NOT_DONE;
}
