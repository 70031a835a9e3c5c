// BSDL files: read, their pins found, every pin's reading and drive worked out, and the chip
// simulated as sim:bsdl=FILE simulates it, its IDCODE scanned.
#include <vector>

#include "bsdl/BoundaryPins.h"
#include "ports/parallel_port.h"
#include "engine/TapEngine.h"
#include "fuzz_input.h"
#include "ports/sim_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string strPath = InputFile(pData, nSize, "bsd");
    BsdlFile file;
    std::string strError;
    if (!ReadBsdlFile(strPath, file, strError))
        return 0;
    DescribeBsdl(file);
    const std::vector<BoundaryPin> pins = BoundaryPins(file);
    const CBits safe = SafeBoundary(file);
    std::vector<PinDrive> drives(pins.size(), PinDrive::Safe);
    for (size_t i = 0; i < pins.size() && i < 64; ++i)
    {
        PinReading(pins[i], safe, &safe);
        DriverGroup(pins, i);
        FindPin(pins, pins[i].strPort);
        drives[i] = static_cast<PinDrive>(i % 4);
    }
    CBits bits;
    DrivenBoundary(file, pins, drives, bits, strError);
    CParallelCable cable(MakeBsdlSimulatedPort(strPath));
    if (!cable.Open())
        return 0;
    // The chip scanned as the chain scan starts: its IDCODE, then its instruction register.
    CTapEngine engine(&cable);
    if (engine.Switch(true))
    {
        engine.SetPaced(false);
        engine.Reset();
        engine.Shift(TAP_DR, CBits(64, true), [](size_t) { return false; });
        engine.Shift(TAP_IR, CBits(file.nIrLength > 0 && file.nIrLength < 256 ? file.nIrLength : 8, true),
                     [](size_t) { return false; });
        engine.Shift(TAP_DR, safe.empty() ? CBits(1, false) : safe, [](size_t) { return false; });
        engine.Switch(false);
    }
    return 0;
}
