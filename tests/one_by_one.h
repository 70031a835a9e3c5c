// The clocks made one at a time on a board of their own, as the reference a cable's runs are
// checked against: the levels with TCK low, TDO read, then TCK high and low again.
#pragma once

#include <random>

#include "simboard/jtag_device.h"
#include "tap/Bits.h"

// The TDO of every clock whose read bit is set.
inline CBits ClockedOneByOne(CJtagDevice& board, const CBits& tms, const CBits& tdi, const CBits& read)
{
    CBits tdo;
    for (size_t i = 0; i < tms.size(); ++i)
    {
        const uint8_t levels = static_cast<uint8_t>(CJtagDevice::DATA_ENABLE | (tms[i] ? CJtagDevice::DATA_TMS : 0) |
                                                    (tdi[i] ? CJtagDevice::DATA_TDI : 0));
        board.WriteData(levels);
        const bool bTdo = (board.ReadStatus() & CJtagDevice::STATUS_TDO) != 0;
        board.WriteData(static_cast<uint8_t>(levels | CJtagDevice::DATA_TCK));
        board.WriteData(levels);
        if (read[i])
            tdo.push_back(bTdo);
    }
    return tdo;
}

// A run of clocks as a cable is given them: TMS mostly still, as in a shift, moving about once
// in nMoveOneIn clocks; TDI at random; two clocks of three read.
struct RandomRun
{
    CBits tms, tdi, read;
};
inline RandomRun MakeRandomRun(std::minstd_rand& random, size_t nClocks, unsigned nMoveOneIn, bool bTms)
{
    RandomRun run;
    for (size_t i = 0; i < nClocks; ++i)
    {
        bTms = random() % nMoveOneIn == 0 ? !bTms : bTms;
        run.tms.push_back(bTms);
        run.tdi.push_back((random() & 1) != 0);
        run.read.push_back(random() % 3 != 0);
    }
    return run;
}
