#include "cable.h"

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

ICable& NoCable()
{
    static CNoCable noCable;
    return noCable;
}
