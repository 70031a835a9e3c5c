// A chip's pins as its boundary register sees them: which cells read each pin, drive it and
// switch its driver off, what a capture says of each, and the register's bits that drive some
// pins and leave every other cell at its safe value.
#pragma once

#include <string>
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

    bool CanDrive() const { return nOutput >= 0; }
    // "in 8", "out 3 control 2", "in 5 out 6 control 4".
    std::string Cells() const;
    // "in", "out", "inout", "buffer".
    std::string Direction() const;
};

// Every port element with a cell, in the order of the port list.
std::vector<BoundaryPin> BoundaryPins(const BsdlFile& file);

// What one capture says of a pin: its level where a cell reads it ("1"), the value its driver
// holds and whether the driver is on ("drives 0", "off"); both for a pin that has both.
std::string PinReading(const BoundaryPin& pin, const std::vector<unsigned char>& captured);

enum class PinDrive
{
    Safe,  // left as the file's safe values leave it
    High,
    Low,
    Off,   // the driver switched off
};

// The boundary register's bits (cell 0 first) with every cell at its safe value (X as 0) and
// the pins given drives set: their output cells to the level, their control cells on or off.
std::vector<unsigned char> DrivenBoundary(const BsdlFile& file, const std::vector<BoundaryPin>& pins,
                                          const std::vector<PinDrive>& drives);

// The same pin by its port or package pin name, any case; -1 for none.
int FindPin(const std::vector<BoundaryPin>& pins, const std::string& strName);
