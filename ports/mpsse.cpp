#include "mpsse.h"

namespace {

// The master clocks, and the largest divisor.
const uint64_t HIGH_SPEED_MASTER_HZ = 60000000, FULL_SPEED_MASTER_HZ = 12000000, MAX_DIVISOR = 0xFFFF;
const uint8_t SET_DIVISOR = 0x86, DIVIDE_BY_5_OFF = 0x8A, THREE_PHASE_OFF = 0x8D, ADAPTIVE_OFF = 0x97;

} // namespace

MpsseClock MpsseClockFor(unsigned nKhz, bool bHighSpeed)
{
    const uint64_t nWantedHz = static_cast<uint64_t>(nKhz == 0 ? 1 : nKhz) * 1000;
    const uint64_t nMaster = bHighSpeed ? HIGH_SPEED_MASTER_HZ : FULL_SPEED_MASTER_HZ;
    // The smallest divisor whose clock is not above the one wanted.
    const uint64_t nHalfPeriods = (nMaster + 2 * nWantedHz - 1) / (2 * nWantedHz);
    const uint64_t nDivisor = nHalfPeriods == 0 ? 0 : nHalfPeriods - 1;
    MpsseClock clock;
    clock.nDivisor = static_cast<uint16_t>(nDivisor > MAX_DIVISOR ? MAX_DIVISOR : nDivisor);
    clock.nHz = static_cast<unsigned>(nMaster / ((clock.nDivisor + 1ull) * 2));
    return clock;
}

std::vector<uint8_t> MpsseClockCommands(const MpsseClock& clock, bool bHighSpeed)
{
    const uint8_t divisor[] = {SET_DIVISOR, static_cast<uint8_t>(clock.nDivisor & 0xFF),
                               static_cast<uint8_t>(clock.nDivisor >> 8)};
    std::vector<uint8_t> commands;
    if (bHighSpeed)
        commands = {DIVIDE_BY_5_OFF, THREE_PHASE_OFF, ADAPTIVE_OFF};
    for (uint8_t byte : divisor)
        commands.push_back(byte);
    return commands;
}
