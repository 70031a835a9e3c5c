// What comes out of TDO while a register shifts, from its Capture on, across Pause and Exit2,
// given when the TAP enters that register's Exit1.
#pragma once

#include <string>
#include <vector>

class CShiftOut
{
public:
    // One recorded clock from state nFrom into state nTo. True when nTo is an Exit1 state: the
    // value that came out is then Shown().
    bool OnClock(int nFrom, int nTo, unsigned char tdo);
    const std::string& Shown() const { return m_strShown; }
    // The same bits, the first out first.
    const std::vector<unsigned char>& BitsShown() const { return m_bitsShown; }

private:
    std::vector<unsigned char> m_dr;
    std::vector<unsigned char> m_ir;
    std::string m_strShown;
    std::vector<unsigned char> m_bitsShown;
};
