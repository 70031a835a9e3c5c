// What comes out of TDO while a register shifts, from its Capture on, across Pause and Exit2,
// given when the TAP enters that register's Exit1.
#pragma once

#include <string>

#include "Bits.h"

class CShiftOut
{
public:
    // A value is kept up to this many bits (2 MB), far past any register's: a file's scan of a
    // hundred million bits is compared by its player as it comes, and shown here only in part.
    static const size_t KEPT_BITS = size_t(1) << 24;

    // One recorded clock from state nFrom into state nTo. True when nTo is an Exit1 state: the
    // value that came out is then Shown().
    bool OnClock(int nFrom, int nTo, unsigned char tdo);
    // As a sized hex literal, made when first asked for: a value of millions of bits shifted by
    // a file nobody looks at costs no text.
    const std::string& Shown() const;
    // The same bits, the first out first: of a value longer than KEPT_BITS, its first KEPT_BITS.
    const CBits& BitsShown() const { return m_bitsShown; }

private:
    CBits m_dr;
    CBits m_ir;
    CBits m_bitsShown;
    size_t m_nDrBits = 0, m_nIrBits = 0, m_nShownBits = 0;
    mutable std::string m_strShown;
    mutable bool m_bShownMade = true;
};
