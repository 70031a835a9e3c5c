#include "BoundaryPins.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>

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
    // The port elements are found from the cells that name them: a port of a million elements
    // with few cells costs no more than its cells.
    std::map<std::string, size_t> ports;
    for (size_t i = 0; i < file.ports.size(); ++i)
        ports.emplace(file.ports[i].strName, i);
    struct Found
    {
        size_t nPort;
        unsigned long long nElement;  // in the range's order
        BoundaryPin pin;
    };
    std::map<std::string, Found> found;
    const auto take = [&](const std::string& strPort, BsdlFunction function, const BsdlCell& cell) {
        auto it = found.find(strPort);
        if (it == found.end())
        {
            const size_t nParen = strPort.find('(');
            const auto port = ports.find(strPort.substr(0, nParen));
            if (port == ports.end() || file.ports[port->second].direction == BsdlDirection::Linkage)
                return;
            const BsdlPort& listed = file.ports[port->second];
            unsigned long long nElement = 0;
            if (nParen != std::string::npos)
            {
                // The index as the reader wrote it: decimal digits.
                long long nIndex = 0;
                for (size_t i = nParen + 1; i < strPort.size() && strPort[i] >= '0' && strPort[i] <= '9'; ++i)
                    nIndex = nIndex * 10 + (strPort[i] - '0');
                nElement = static_cast<unsigned long long>(nIndex >= listed.nFirst ? nIndex - listed.nFirst
                                                                                    : listed.nFirst - nIndex);
            }
            BoundaryPin pin;
            pin.strPort = strPort;
            pin.strPin = nElement < listed.pins.size() ? listed.pins[static_cast<size_t>(nElement)] : std::string();
            pin.direction = listed.direction;
            it = found.emplace(strPort, Found{port->second, nElement, pin}).first;
        }
        BoundaryPin& pin = it->second.pin;
        if (Reads(function) && pin.nInput < 0)
            pin.nInput = cell.nNumber;
        if (Drives(function) && pin.nOutput < 0)
        {
            pin.nOutput = cell.nNumber;
            pin.nControl = cell.nControl;
            pin.cDisable = cell.cDisable != 0 ? cell.cDisable : '0';
            pin.cSafe = cell.cSafe;
        }
    };
    for (const BsdlCell& cell : file.cells)
    {
        take(cell.strPort, cell.function, cell);
        // A merged cell also reads a pin.
        if (!cell.strAlsoPort.empty())
            take(cell.strAlsoPort, cell.alsoFunction, cell);
    }
    std::vector<Found> ordered;
    for (auto& entry : found)
    {
        if (entry.second.pin.nInput >= 0 || entry.second.pin.nOutput >= 0)
            ordered.push_back(entry.second);
    }
    // In the order of the port list, each vector in its range's order.
    std::sort(ordered.begin(), ordered.end(), [](const Found& a, const Found& b) {
        return a.nPort != b.nPort ? a.nPort < b.nPort : a.nElement < b.nElement;
    });
    std::vector<BoundaryPin> pins;
    for (const Found& entry : ordered)
        pins.push_back(entry.pin);
    return pins;
}

std::string PinReading(const BoundaryPin& pin, const CBits& captured, const CBits* pLoaded)
{
    const auto bit = [](const CBits& bits, int nCell) { return static_cast<size_t>(nCell) < bits.size() && bits[nCell]; };
    const CBits& driver = pLoaded != nullptr ? *pLoaded : captured;
    std::string text;
    if (pin.nInput >= 0)
        text = bit(captured, pin.nInput) ? "1" : "0";
    if (pin.nOutput >= 0)
    {
        const bool bOn = DriverOn(pin, driver);
        // Under SAMPLE a bidirectional cell's own bit is the level read: said once.
        if (pin.nOutput != pin.nInput || !bOn || pLoaded != nullptr)
            text += std::string(text.empty() ? "" : ", ") +
                    (bOn ? std::string("drives ") + (bit(driver, pin.nOutput) ? "1" : "0") : "off");
    }
    return text;
}

bool DriverOn(const BoundaryPin& pin, const CBits& bits)
{
    if (!pin.CanDrive())
        return false;
    const bool bControl = static_cast<size_t>(pin.nControl) < bits.size() && bits[pin.nControl];
    return pin.nControl < 0 || bControl != (pin.cDisable == '1');
}

std::vector<size_t> DriverGroup(const std::vector<BoundaryPin>& pins, size_t nPin)
{
    std::vector<size_t> group;
    for (size_t i = 0; i < pins.size(); ++i)
    {
        if (i == nPin || (pins[nPin].nControl >= 0 && pins[i].CanDrive() && pins[i].nControl == pins[nPin].nControl))
            group.push_back(i);
    }
    return group;
}

std::unordered_map<int, std::vector<size_t>> DriversByControl(const std::vector<BoundaryPin>& pins)
{
    std::unordered_map<int, std::vector<size_t>> byControl;
    for (size_t i = 0; i < pins.size(); ++i)
    {
        if (pins[i].CanDrive() && pins[i].nControl >= 0)
            byControl[pins[i].nControl].push_back(i);
    }
    return byControl;
}

CBits SafeBoundary(const BsdlFile& file)
{
    CBits bits(file.nBoundaryLength, false);
    for (const BsdlCell& cell : file.cells)
        bits.Set(cell.nNumber, cell.cSafe == '1');
    // A control cell that may hold either keeps its outputs off: nobody asked them to drive.
    for (const BsdlCell& cell : file.cells)
    {
        if (cell.nControl >= 0 && static_cast<size_t>(cell.nControl) < bits.size() &&
            file.cells[cell.nControl].cSafe == 'X' && cell.cDisable != 0)
            bits.Set(cell.nControl, cell.cDisable == '1');
    }
    return bits;
}

bool DrivenBoundary(const BsdlFile& file, const std::vector<BoundaryPin>& pins, const std::vector<PinDrive>& drives,
                    CBits& bits, std::string& strError)
{
    CBits made = SafeBoundary(file);
    const auto drive = [&](size_t i) { return i < drives.size() ? drives[i] : PinDrive::Safe; };
    std::vector<char> done(pins.size(), 0);
    std::unordered_map<int, std::vector<size_t>> byControl = DriversByControl(pins);
    for (size_t i = 0; i < pins.size(); ++i)
    {
        if (done[i] != 0 || !pins[i].CanDrive() || drive(i) == PinDrive::Safe)
            continue;
        // The pins switched with this one, and what each was asked.
        const std::vector<size_t> group = pins[i].nControl >= 0 ? byControl[pins[i].nControl] : std::vector<size_t>{i};
        size_t nOff = pins.size(), nDriven = pins.size();
        for (size_t j : group)
        {
            done[j] = 1;
            if (drive(j) == PinDrive::Off && nOff == pins.size())
                nOff = j;
            if ((drive(j) == PinDrive::High || drive(j) == PinDrive::Low) && nDriven == pins.size())
                nDriven = j;
        }
        if (nOff < pins.size() && nDriven < pins.size())
        {
            strError = pins[nOff].strPort + " and " + pins[nDriven].strPort + " share one control cell (" +
                       std::to_string(pins[i].nControl) + "): " + pins[nOff].strPort + " cannot be off while " +
                       pins[nDriven].strPort + " drives.";
            return false;
        }
        const BoundaryPin& pin = pins[i];
        const bool bOff = pin.cDisable == '1';
        if (nDriven == pins.size())
        {
            // Every pin of the group off.
            if (pin.nControl >= 0)
                made.Set(pin.nControl, bOff);
            continue;
        }
        if (pin.nControl >= 0)
            made.Set(pin.nControl, !bOff);
        for (size_t j : group)
        {
            if (drive(j) == PinDrive::High || drive(j) == PinDrive::Low)
                made.Set(pins[j].nOutput, drive(j) == PinDrive::High);
            else if (pins[j].cSafe == 'X')
            {
                strError = "Driving " + pins[nDriven].strPort + " switches on the driver of " + pins[j].strPort +
                           ", which shares its control cell (" + std::to_string(pin.nControl) + "), and " +
                           pins[j].strPort + " has no safe level to drive: set " + pins[j].strPort +
                           " high or low first.";
                return false;
            }
        }
    }
    bits = made;
    return true;
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

bool ParsePinDrive(const std::string& text, std::string& strPin, PinDrive& drive, std::string& strError)
{
    const size_t nEquals = text.rfind('=');
    if (nEquals == std::string::npos || nEquals == 0)
    {
        strError = "give the pin and its level as PORT=1, PORT=0, PORT=off or PORT=safe.";
        return false;
    }
    strPin = text.substr(0, nEquals);
    std::string level;
    for (char c : text.substr(nEquals + 1))
        level += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (level == "1")
        drive = PinDrive::High;
    else if (level == "0")
        drive = PinDrive::Low;
    else if (level == "off")
        drive = PinDrive::Off;
    else if (level == "safe")
        drive = PinDrive::Safe;
    else
    {
        strError = "\"" + text.substr(nEquals + 1) + "\" is no level: give 1, 0, off or safe after the pin's name.";
        return false;
    }
    return true;
}
