// What a CMSIS-DAP probe answers: the input is the probe's packets in turn (each a length byte
// and that many bytes), given to a cable that opens the probe, switches it on, makes runs of
// clocks whose lengths the input also gives, holds levels and reads TDO, as a session does.
#include <memory>

#include "ports/dap_port.h"

namespace {

class CFuzzLink : public IDapLink
{
public:
    CFuzzLink(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    bool Open(std::string&) override { return true; }
    void Close() override {}
    bool Write(const std::vector<uint8_t>&, std::string&) override { return true; }
    bool Read(std::vector<uint8_t>& answer, unsigned, std::string& strError) override
    {
        if (m_nAt >= m_nSize)
        {
            strError = "no more answers";
            return false;
        }
        const size_t nAsked = m_pData[m_nAt++];
        const size_t nLength = std::min(nAsked, m_nSize - m_nAt);
        answer.assign(m_pData + m_nAt, m_pData + m_nAt + nLength);
        m_nAt += nLength;
        return true;
    }
    std::string Description() const override { return "fuzzed probe"; }
    // A number from the input for the next run's length, 1 to 2,048 clocks.
    size_t Clocks()
    {
        const size_t nHigh = m_nAt < m_nSize ? m_pData[m_nAt++] : 0;
        const size_t nLow = m_nAt < m_nSize ? m_pData[m_nAt++] : 0;
        return 1 + ((nHigh << 8 | nLow) & 0x7FF);
    }
    bool Left() const { return m_nAt < m_nSize; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nAt = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    auto pLink = std::make_unique<CFuzzLink>(pData, nSize);
    CFuzzLink& link = *pLink;
    CDapCable cable(std::move(pLink), 0);
    if (!cable.Open() || !cable.Switch(true))
        return 0;
    for (int nRun = 0; nRun < 64 && link.Left(); ++nRun)
    {
        const size_t nClocks = link.Clocks();
        CBits tms(nClocks, false), tdi(nClocks, true), read(nClocks, true), tdo;
        tms.Set(nClocks - 1, true);
        if (cable.Clocks(tms, tdi, read, tdo) && tdo.size() != nClocks)
            __builtin_trap();  // a run that went through gives every TDO asked
        bool bTdo = false;
        cable.Hold(true, false);
        cable.Sample(bTdo);
    }
    cable.Close();
    return 0;
}
