#include "cable.h"

#include <cstdio>

namespace {

class CNoCable : public ICable
{
public:
    const CableTraits& Traits() const override { return m_traits; }
    bool Open() override { return false; }
    std::string OpenProblem() const override { return Failure(); }
    bool Switch(bool) override { return false; }
    bool Clocks(const CBits&, const CBits&, const CBits&, CBits&) override { return false; }
    bool Hold(bool, bool) override { return false; }
    bool Sample(bool&) override { return false; }
    std::string Failure() const override { return "No cable is chosen."; }
    std::string Description() const override { return "none"; }

private:
    CableTraits m_traits;
};

} // namespace

std::string ClockText(unsigned long nHz)
{
    const char* const apszUnits[] = {"Hz", "kHz", "MHz"};
    unsigned nUnit = 0;
    unsigned long nScale = 1;
    while (nUnit < 2 && nHz >= nScale * 1000)
    {
        ++nUnit;
        nScale *= 1000;
    }
    // Three figures at most, the zeros after the point dropped: "1.5 MHz", "458 Hz", "7.5 MHz".
    char text[32];
    snprintf(text, sizeof(text), "%.3g %s", static_cast<double>(nHz) / static_cast<double>(nScale), apszUnits[nUnit]);
    return text;
}

ICable& NoCable()
{
    static CNoCable noCable;
    return noCable;
}
