// FTDI's serial engine, MPSSE, as FTDI's application note AN_108 gives its commands: the clock a
// chip can make nearest below the one asked for, and the commands that set it; a run of clocks as
// the commands that make it, and the TDO bits picked out of what the chip answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "../tap/Bits.h"

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

// A run of clocks as MPSSE commands: where TMS stays at the level the pin holds, TDI goes out as
// data (bytes, then the bits left), TDO read on the rising edge where any of it is asked; where
// TMS moves, TMS commands of up to seven clocks with one TDI level each. A read ends with "send
// immediate", so that the chip answers without waiting for its buffer to fill.
struct MpsseRun
{
    std::vector<uint8_t> commands;
    size_t nAnswerBytes = 0;  // what the chip answers them with
    // The commands that read, in order: their first clock, how many clocks, and whether their
    // answer is whole bytes (bit 0 the first clock) or one byte with its bits at the top.
    struct Read
    {
        size_t nFirst;
        size_t nClocks;
        bool bBytes;
    };
    std::vector<Read> reads;
    bool bTmsAfter = false;  // the level TMS holds after the run
};

// bTmsBefore: the level the TMS pin holds before the run.
MpsseRun MpsseCommands(const CBits& tms, const CBits& tdi, const CBits& read, bool bTmsBefore);

// The TDO of every clock whose read bit is set, added to tdo from the chip's answer; false where
// the answer is shorter than the run's.
bool MpsseTdo(const MpsseRun& run, const CBits& read, const uint8_t* pAnswer, size_t nAnswer, CBits& tdo);
