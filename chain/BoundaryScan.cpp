#include "BoundaryScan.h"

#include "../engine/TapEngine.h"
#include "../tap/TapStates.h"

namespace {

// The first of the names the file has; null for none.
const BsdlInstruction* FindInstruction(const BsdlFile& file, std::initializer_list<const char*> names)
{
    for (const char* pszName : names)
    {
        if (const BsdlInstruction* pInstruction = file.Instruction(pszName))
            return pInstruction;
    }
    return nullptr;
}

ScanEnd Missing(const BsdlFile& file, const char* pszWhat, std::string& strError)
{
    strError = file.strPath + " gives " + file.strEntity + " no " + pszWhat + " instruction.";
    return ScanEnd::Broken;
}

// A person stepping by hand may have left the TAP where no shift starts.
bool CanStart(const CTapEngine& tap, std::string& strError)
{
    if (IsShiftStart(tap.State()))
        return true;
    strError = "The pins are read from TEST-LOGIC-RESET, RUN-TEST/IDLE, PAUSE-DR, PAUSE-IR, UPDATE-DR or UPDATE-IR. "
               "Click one of these first (TEST-LOGIC-RESET when the state is unknown).";
    return false;
}

} // namespace

ScanEnd ShiftDevice(CTapEngine& tap, CChainAddress& address, bool bIr, const std::vector<unsigned char>& bits,
                    std::vector<unsigned char>& out)
{
    if (tap.Shift(bIr ? TAP_IR : TAP_DR, address.Wrap(bIr, bits), [](size_t) { return false; }) !=
        CTapEngine::ShiftEnd::Updated)
        return ScanEnd::Lost;
    out = address.Unwrap(bIr, tap.BitsOut().ToBytes(), bits.size());
    return ScanEnd::Done;
}

ScanEnd SampleBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file,
                       std::vector<unsigned char>& captured, std::string& strError)
{
    const BsdlInstruction* pSample = FindInstruction(file, {"SAMPLE"});
    if (pSample == nullptr)
        return Missing(file, "SAMPLE", strError);
    if (!CanStart(tap, strError))
        return ScanEnd::Broken;
    std::vector<unsigned char> out;
    if (ShiftDevice(tap, address, true, PatternBits(pSample->opcodes.front()), out) != ScanEnd::Done)
        return ScanEnd::Lost;
    return ShiftDevice(tap, address, false, SafeBoundary(file), captured);
}

ScanEnd DriveBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file, const std::vector<BoundaryPin>& pins,
                      const std::vector<PinDrive>& drives, bool bInExtest, std::vector<unsigned char>& captured,
                      std::string& strError)
{
    const BsdlInstruction* pPreload = FindInstruction(file, {"PRELOAD", "SAMPLE"});
    const BsdlInstruction* pExtest = FindInstruction(file, {"EXTEST"});
    if (pPreload == nullptr)
        return Missing(file, "PRELOAD or SAMPLE", strError);
    if (pExtest == nullptr)
        return Missing(file, "EXTEST", strError);
    std::vector<unsigned char> bits;
    if (!DrivenBoundary(file, pins, drives, bits, strError) || !CanStart(tap, strError))
        return ScanEnd::Broken;
    std::vector<unsigned char> out;
    if (!bInExtest &&
        (ShiftDevice(tap, address, true, PatternBits(pPreload->opcodes.front()), out) != ScanEnd::Done ||
         ShiftDevice(tap, address, false, bits, out) != ScanEnd::Done ||
         ShiftDevice(tap, address, true, PatternBits(pExtest->opcodes.front()), out) != ScanEnd::Done))
        return ScanEnd::Lost;
    return ShiftDevice(tap, address, false, bits, captured);
}
