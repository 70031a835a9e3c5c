// What a person types: the command line, a cable's name, a value to shift, a pin to drive and a
// list of IR lengths, each parser given the same text.
#include "app/CableOptions.h"
#include "bsdl/BoundaryPins.h"
#include "chain/ChainScan.h"
#include "ports/cable_name.h"
#include "tap/ScanValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    std::string strError;
    CommandLine options;
    ParseCommandLine(text.c_str(), options, strError);
    CableName cable;
    if (ParseCableName(text, cable, strError))
        DescribeCable(cable);
    CBits bits;
    if (ParseScanValue(text, bits, strError))
        FormatSizedHex(bits);
    std::string strPin;
    PinDrive drive = PinDrive::Safe;
    ParsePinDrive(text, strPin, drive, strError);
    std::vector<int> lengths;
    ParseIrLengths(text, lengths, strError);
    return 0;
}
