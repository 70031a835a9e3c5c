// FTDI's serial engine, MPSSE, as FTDI's application note AN_108 gives its commands: the clock a
// chip can make nearest below the one asked for, and the commands that set it.
#pragma once

#include <cstdint>
#include <vector>

struct MpsseClock
{
    uint16_t nDivisor = 0;  // TCK = master clock / ((1 + divisor) * 2)
    unsigned nHz = 0;       // the clock that makes, in Hz
};

// The clock for nKhz (at least 1): the fastest the chip makes that is not faster. bHighSpeed:
// an H-series chip (FT2232H, FT4232H, FT232H), whose master clock is 60 MHz, against the
// FT2232C/D's 12 MHz. The 60 MHz clock reaches down to 458 Hz, below any clock asked in kHz, so
// it is never divided by 5.
MpsseClock MpsseClockFor(unsigned nKhz, bool bHighSpeed);

// The commands that set the clock: on an H-series chip the master clock undivided, two-phase
// clocking (data out on the falling edge, in on the rising one, as JTAG has it) and no adaptive
// clocking first, commands an FT2232D does not know; then the divisor.
std::vector<uint8_t> MpsseClockCommands(const MpsseClock& clock, bool bHighSpeed);
