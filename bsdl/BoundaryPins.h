// A chip's pins as its boundary register sees them: which cells read each pin, drive it and
// switch its driver off, what a capture says of each, and the register's bits that drive some
// pins and leave every other cell at its safe value.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "Bsdl.h"

struct BoundaryPin
{
    std::string strPort;       // "PA(3)", "LED"
    std::string strPin;        // the package's pin; empty where the file maps none
    BsdlDirection direction = BsdlDirection::In;
    int nInput = -1;           // the cell that reads the pin; -1: none
    int nOutput = -1;          // the cell that drives it
    int nControl = -1;         // the cell that switches the driver off; -1: always on
    char cDisable = '0';       // what the control cell holds for off
    char cSafe = 'X';          // the output cell's safe value: what it drives when nobody set it

    bool CanDrive() const { return nOutput >= 0; }
    // "in 8", "out 3 control 2", "in 5 out 6 control 4".
    std::string Cells() const;
    // "in", "out", "inout", "buffer".
    std::string Direction() const;
};

// Every port element with a cell, in the order of the port list.
std::vector<BoundaryPin> BoundaryPins(const BsdlFile& file);

// What one capture says of a pin: its level where an input cell reads it ("1"), and whether its
// driver is on and at what level ("drives 0", "off"); both for a pin that has both. Under SAMPLE
// (no pLoaded) the driver is the chip's own, as the output and control cells captured it. Under
// EXTEST the driver is what the bits MORVA loaded (pLoaded) make it: an output or control cell of
// type BC_1 captures the chip's own logic, not the level it drives.
std::string PinReading(const BoundaryPin& pin, const CBits& captured, const CBits* pLoaded = nullptr);

// Whether the pin's driver is on with these bits in its cells.
bool DriverOn(const BoundaryPin& pin, const CBits& bits);

// The pins whose drivers switch on and off together with pin nPin's, it among them: those that
// share its control cell (it alone where it has none).
std::vector<size_t> DriverGroup(const std::vector<BoundaryPin>& pins, size_t nPin);

// The drivers each control cell switches, all found at once: a chip of many pins costs no more
// than its pins.
std::unordered_map<int, std::vector<size_t>> DriversByControl(const std::vector<BoundaryPin>& pins);

enum class PinDrive
{
    Safe,  // left as the file's safe values leave it
    High,
    Low,
    Off,   // the driver switched off
};

// The boundary register's bits (cell 0 first) with every cell at its safe value, a control cell
// whose safe value is X at the value that switches its outputs off, any other X as 0; then the
// pins given drives set: their output cells to the level, their control cells on or off. A
// control cell switched on enables every output it controls: each of them drives too, at the
// level given for it or at its safe value. False, with why and the bits untouched, where the
// drives contradict each other (one pin of a group off, another driven) or would drive a pin
// nobody set at a guessed level (its safe value X).
bool DrivenBoundary(const BsdlFile& file, const std::vector<BoundaryPin>& pins, const std::vector<PinDrive>& drives,
                    CBits& bits, std::string& strError);
// Every cell at its safe value, as above, and no pin driven.
CBits SafeBoundary(const BsdlFile& file);

// "LED(0)=1" as --drive gives it: the pin's name, then 1, 0, off or safe (any case). False, with
// why, for anything else.
bool ParsePinDrive(const std::string& text, std::string& strPin, PinDrive& drive, std::string& strError);

// The same pin by its port or package pin name, any case; -1 for none.
int FindPin(const std::vector<BoundaryPin>& pins, const std::string& strName);
