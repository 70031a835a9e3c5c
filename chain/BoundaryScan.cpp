#include "BoundaryScan.h"

#include "../engine/TapEngine.h"
#include "../tap/TapStates.h"

#include <utility>

namespace {

Outcome Missing(const BsdlFile& file, const char* pszWhat)
{
    return Outcome(Ended::Broken, file.strPath + " gives " + file.strEntity + " no " + pszWhat + " instruction.");
}

// A person stepping by hand may have left the TAP where no shift starts.
bool CanStart(const CTapEngine& tap)
{
    return IsShiftStart(tap.State());
}

Outcome CannotStart()
{
    return Outcome(Ended::Broken,
                   "The pins are read from TEST-LOGIC-RESET, RUN-TEST/IDLE, PAUSE-DR, PAUSE-IR, UPDATE-DR or UPDATE-IR. "
                   "Click one of these first (TEST-LOGIC-RESET when the state is unknown).");
}

} // namespace

const BsdlInstruction* FindInstruction(const BsdlFile& file, std::initializer_list<const char*> names)
{
    for (const char* pszName : names)
    {
        if (const BsdlInstruction* pInstruction = file.Instruction(pszName))
            return pInstruction;
    }
    return nullptr;
}

Outcome ShiftDevice(CTapEngine& tap, CChainAddress& address, bool bIr, const CBits& bits,
                    CBits& out)
{
    const Outcome shifted = tap.Shift(bIr ? TAP_IR : TAP_DR, address.Wrap(bIr, bits), [](size_t) { return false; });
    if (shifted == Ended::Done)
        out = address.Unwrap(bIr, tap.BitsOut(), bits.size());
    return shifted;
}

Outcome SampleBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file,
                       CBits& captured)
{
    const BsdlInstruction* pSample = FindInstruction(file, {"SAMPLE"});
    if (pSample == nullptr)
        return Missing(file, "SAMPLE");
    if (!CanStart(tap))
        return CannotStart();
    CBits out;
    const Outcome sampled = ShiftDevice(tap, address, true, PatternBits(pSample->opcodes.front()), out);
    return sampled == Ended::Done ? ShiftDevice(tap, address, false, SafeBoundary(file), captured) : sampled;
}

Outcome DriveBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file, const std::vector<BoundaryPin>& pins,
                      const std::vector<PinDrive>& drives, bool bInExtest, CBits& captured)
{
    const BsdlInstruction* pPreload = FindInstruction(file, {"PRELOAD", "SAMPLE"});
    const BsdlInstruction* pExtest = FindInstruction(file, {"EXTEST"});
    if (pPreload == nullptr)
        return Missing(file, "PRELOAD or SAMPLE");
    if (pExtest == nullptr)
        return Missing(file, "EXTEST");
    CBits bits;
    std::string strError;
    if (!DrivenBoundary(file, pins, drives, bits, strError))
        return Outcome(Ended::Broken, strError);
    if (!CanStart(tap))
        return CannotStart();
    CBits out;
    if (!bInExtest)
    {
        for (const std::pair<bool, CBits>& shift :
             {std::make_pair(true, PatternBits(pPreload->opcodes.front())), std::make_pair(false, bits),
              std::make_pair(true, PatternBits(pExtest->opcodes.front()))})
        {
            const Outcome shifted = ShiftDevice(tap, address, shift.first, shift.second, out);
            if (shifted != Ended::Done)
                return shifted;
        }
    }
    return ShiftDevice(tap, address, false, bits, captured);
}
