#include "mpsse.h"

namespace {

// The master clocks, and the largest divisor.
const uint64_t HIGH_SPEED_MASTER_HZ = 60000000, FULL_SPEED_MASTER_HZ = 12000000, MAX_DIVISOR = 0xFFFF;
const uint8_t SET_DIVISOR = 0x86, DIVIDE_BY_5_OFF = 0x8A, THREE_PHASE_OFF = 0x8D, ADAPTIVE_OFF = 0x97;
// TDI out on the falling edge, LSB first, bytes or bits; with TDO in on the rising edge; TMS
// bits with TDI held, without and with a read; send immediate.
const uint8_t OUT_BYTES = 0x19, OUT_BITS = 0x1B, IN_OUT_BYTES = 0x39, IN_OUT_BITS = 0x3B;
const uint8_t TMS_OUT = 0x4B, TMS_IN_OUT = 0x6B, SEND_IMMEDIATE = 0x87;
const size_t MOST_BYTES = 65536;  // of one data command
const size_t MOST_TMS_BITS = 7;   // of one TMS command: its byte's bit 7 is TDI

// Bits [nFrom, nFrom + nCount) as one byte, bit 0 the first.
uint8_t ByteOf(const CBits& bits, size_t nFrom, size_t nCount)
{
    unsigned value = 0;
    for (size_t i = 0; i < nCount; ++i)
        value |= (bits[nFrom + i] ? 1u : 0u) << i;
    return static_cast<uint8_t>(value);
}

// Clocks [nFrom, nTo) of the run as data commands: TMS held where the pin has it.
void AddData(const CBits& tdi, const CBits& read, size_t nFrom, size_t nTo, MpsseRun& run)
{
    const bool bRead = read.AnySet(nFrom, nTo - nFrom);
    size_t nAt = nFrom;
    while (nTo - nAt >= 8)
    {
        const size_t nBytes = (nTo - nAt) / 8 < MOST_BYTES ? (nTo - nAt) / 8 : MOST_BYTES;
        run.commands.push_back(bRead ? IN_OUT_BYTES : OUT_BYTES);
        run.commands.push_back(static_cast<uint8_t>((nBytes - 1) & 0xFF));
        run.commands.push_back(static_cast<uint8_t>((nBytes - 1) >> 8));
        // Whole bytes of TDI, moved to a byte's edge where the run does not start on one.
        const CBits bytes = tdi.Slice(nAt, nBytes * 8);
        run.commands.insert(run.commands.end(), bytes.Bytes(), bytes.Bytes() + nBytes);
        if (bRead)
        {
            run.reads.push_back({nAt, nBytes * 8, true});
            run.nAnswerBytes += nBytes;
        }
        nAt += nBytes * 8;
    }
    if (nAt == nTo)
        return;
    const size_t nBits = nTo - nAt;
    run.commands.insert(run.commands.end(), {bRead ? IN_OUT_BITS : OUT_BITS, static_cast<uint8_t>(nBits - 1),
                                             ByteOf(tdi, nAt, nBits)});
    if (bRead)
    {
        run.reads.push_back({nAt, nBits, false});
        ++run.nAnswerBytes;
    }
}

// Whether TMS stays at its level before nAt for the eight clocks from nAt.
bool Settles(const CBits& tms, size_t nAt)
{
    if (nAt + 8 > tms.size())
        return false;
    return tms[nAt - 1] ? tms.AllSet(nAt, 8) : !tms.AnySet(nAt, 8);
}

} // namespace

MpsseRun MpsseCommands(const CBits& tms, const CBits& tdi, const CBits& read, bool bTmsBefore)
{
    MpsseRun run;
    bool bTms = bTmsBefore;
    size_t i = 0;
    while (i < tms.size())
    {
        if (tms[i] == bTms)
        {
            // As far as TMS stays where it is: data.
            size_t nEnd = i;
            while (nEnd < tms.size() && tms[nEnd] == bTms)
                ++nEnd;
            AddData(tdi, read, i, nEnd, run);
            i = nEnd;
            continue;
        }
        // TMS moves: its clocks, one TDI level, up to seven, until TMS settles for a byte's worth
        // of clocks, which go out as data.
        size_t nEnd = i + 1;
        while (nEnd < tms.size() && nEnd - i < MOST_TMS_BITS && tdi[nEnd] == tdi[i] && !Settles(tms, nEnd))
            ++nEnd;
        const bool bRead = read.AnySet(i, nEnd - i);
        run.commands.insert(run.commands.end(),
                            {bRead ? TMS_IN_OUT : TMS_OUT, static_cast<uint8_t>(nEnd - i - 1),
                             static_cast<uint8_t>(ByteOf(tms, i, nEnd - i) | (tdi[i] ? 0x80 : 0))});
        if (bRead)
        {
            run.reads.push_back({i, nEnd - i, false});
            ++run.nAnswerBytes;
        }
        bTms = tms[nEnd - 1];
        i = nEnd;
    }
    if (run.nAnswerBytes > 0)
        run.commands.push_back(SEND_IMMEDIATE);
    run.bTmsAfter = bTms;
    return run;
}

bool MpsseTdo(const MpsseRun& run, const CBits& read, const uint8_t* pAnswer, size_t nAnswer, CBits& tdo)
{
    if (nAnswer < run.nAnswerBytes)
        return false;
    size_t nByte = 0;
    for (const MpsseRun::Read& part : run.reads)
    {
        // Bits read one command at a time come in at bit 7 and move down: n of them stand at the top.
        const size_t nShift = part.bBytes ? 0 : 8 - part.nClocks;
        for (size_t i = 0; i < part.nClocks; ++i)
        {
            const size_t nBit = i + nShift;
            if (read[part.nFirst + i])
                tdo.push_back((pAnswer[nByte + nBit / 8] >> (nBit % 8) & 1) != 0);
        }
        nByte += part.bBytes ? part.nClocks / 8 : 1;
    }
    return true;
}

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
