#include "BoundaryPins.h"

#include <cctype>

namespace {

bool Reads(BsdlFunction function)
{
    return function == BsdlFunction::Input || function == BsdlFunction::Clock || function == BsdlFunction::ObserveOnly ||
           function == BsdlFunction::Bidir;
}

bool Drives(BsdlFunction function)
{
    return function == BsdlFunction::Output2 || function == BsdlFunction::Output3 || function == BsdlFunction::Bidir;
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

std::string BoundaryPin::Cells() const
{
    std::string text;
    if (nInput >= 0)
        text += "in " + std::to_string(nInput);
    if (nOutput >= 0)
        text += std::string(text.empty() ? "" : " ") + "out " + std::to_string(nOutput);
    if (nControl >= 0)
        text += " control " + std::to_string(nControl);
    return text;
}

std::string BoundaryPin::Direction() const
{
    switch (direction)
    {
    case BsdlDirection::Out:
        return "out";
    case BsdlDirection::Inout:
        return "inout";
    case BsdlDirection::Buffer:
        return "buffer";
    default:
        return "in";
    }
}

std::vector<BoundaryPin> BoundaryPins(const BsdlFile& file)
{
    std::vector<BoundaryPin> pins;
    for (const BsdlPort& port : file.ports)
    {
        if (port.direction == BsdlDirection::Linkage)
            continue;
        const int nCount = port.bVector ? (port.nLast > port.nFirst ? port.nLast - port.nFirst : port.nFirst - port.nLast) + 1 : 1;
        for (int i = 0; i < nCount; ++i)
        {
            BoundaryPin pin;
            const int nIndex = port.nFirst + (port.nLast >= port.nFirst ? i : -i);
            pin.strPort = port.bVector ? port.strName + "(" + std::to_string(nIndex) + ")" : port.strName;
            pin.strPin = static_cast<size_t>(i) < port.pins.size() ? port.pins[i] : std::string();
            pin.direction = port.direction;
            for (const BsdlCell& cell : file.cells)
            {
                if (cell.strPort != pin.strPort)
                    continue;
                if (Reads(cell.function) && pin.nInput < 0)
                    pin.nInput = cell.nNumber;
                if (Drives(cell.function) && pin.nOutput < 0)
                {
                    pin.nOutput = cell.nNumber;
                    pin.nControl = cell.nControl;
                    pin.cDisable = cell.cDisable != 0 ? cell.cDisable : '0';
                }
            }
            if (pin.nInput >= 0 || pin.nOutput >= 0)
                pins.push_back(pin);
        }
    }
    return pins;
}

std::string PinReading(const BoundaryPin& pin, const std::vector<unsigned char>& captured)
{
    const auto bit = [&](int nCell) { return static_cast<size_t>(nCell) < captured.size() && captured[nCell] != 0; };
    std::string text;
    if (pin.nInput >= 0)
        text = bit(pin.nInput) ? "1" : "0";
    if (pin.nOutput >= 0)
    {
        const bool bOn = pin.nControl < 0 || bit(pin.nControl) != (pin.cDisable == '1');
        // A bidirectional cell reads the pin and drives it: its own bit is the level read.
        if (pin.nOutput != pin.nInput || !bOn)
            text += std::string(text.empty() ? "" : ", ") + (bOn ? std::string("drives ") + (bit(pin.nOutput) ? "1" : "0") : "off");
    }
    return text;
}

std::vector<unsigned char> DrivenBoundary(const BsdlFile& file, const std::vector<BoundaryPin>& pins,
                                          const std::vector<PinDrive>& drives)
{
    std::vector<unsigned char> bits(file.nBoundaryLength, 0);
    for (const BsdlCell& cell : file.cells)
        bits[cell.nNumber] = cell.cSafe == '1' ? 1 : 0;
    for (size_t i = 0; i < pins.size() && i < drives.size(); ++i)
    {
        const BoundaryPin& pin = pins[i];
        if (drives[i] == PinDrive::Safe || !pin.CanDrive())
            continue;
        const unsigned char off = pin.cDisable == '1' ? 1 : 0;
        if (pin.nControl >= 0)
            bits[pin.nControl] = drives[i] == PinDrive::Off ? off : static_cast<unsigned char>(1 - off);
        if (drives[i] != PinDrive::Off)
            bits[pin.nOutput] = drives[i] == PinDrive::High ? 1 : 0;
    }
    return bits;
}

int FindPin(const std::vector<BoundaryPin>& pins, const std::string& strName)
{
    for (size_t i = 0; i < pins.size(); ++i)
    {
        if (SameNoCase(pins[i].strPort, strName) || (!pins[i].strPin.empty() && SameNoCase(pins[i].strPin, strName)))
            return static_cast<int>(i);
    }
    return -1;
}
