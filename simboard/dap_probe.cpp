#include "dap_probe.h"

namespace {

// The protocol's bytes, as the probe's firmware has them.
const uint8_t INFO = 0x00, CONNECT = 0x02, DISCONNECT = 0x03, SWJ_PINS = 0x10, SWJ_CLOCK = 0x11, JTAG_SEQUENCE = 0x14;
const uint8_t DAP_OK = 0x00, DAP_ERROR = 0xFF;
const uint8_t PIN_TCK = 0x01, PIN_TMS = 0x02, PIN_TDI = 0x04, PIN_TDO = 0x08;
const uint8_t PORT_JTAG = 2;

void AppendText(std::vector<uint8_t>& answer, const std::string& text)
{
    // The length counts the terminating zero.
    answer.push_back(static_cast<uint8_t>(text.size() + 1));
    answer.insert(answer.end(), text.begin(), text.end());
    answer.push_back(0);
}

} // namespace

uint8_t CDapProbe::Pins() const
{
    uint8_t pins = static_cast<uint8_t>(m_outputs & ~PIN_TDO);
    // TDO as the board drives it; pulled up where nothing does.
    if (!m_bConnected || (m_board.ReadStatus() & CJtagDevice::STATUS_TDO) != 0)
        pins |= PIN_TDO;
    return pins;
}

void CDapProbe::Drive()
{
    uint8_t data = 0;
    if (m_bConnected)
    {
        data = CJtagDevice::DATA_ENABLE;
        data |= (m_outputs & PIN_TCK) != 0 ? CJtagDevice::DATA_TCK : 0;
        data |= (m_outputs & PIN_TMS) != 0 ? CJtagDevice::DATA_TMS : 0;
        data |= (m_outputs & PIN_TDI) != 0 ? CJtagDevice::DATA_TDI : 0;
    }
    m_board.WriteData(data);
}

std::vector<uint8_t> CDapProbe::Answer(const uint8_t* pCommand, size_t nCount)
{
    std::vector<uint8_t> answer;
    if (nCount == 0)
        return {DAP_ERROR};
    const uint8_t command = pCommand[0];
    answer.push_back(command);
    switch (command)
    {
    case INFO:
        if (nCount < 2)
            break;
        switch (pCommand[1])
        {
        case 0x02:
            AppendText(answer, m_identity.product);
            return answer;
        case 0x03:
            AppendText(answer, m_identity.serial);
            return answer;
        case 0xF0:
            answer.insert(answer.end(), {1, m_identity.capabilities});
            return answer;
        case 0xFE:
            answer.insert(answer.end(), {1, m_identity.nPacketCount});
            return answer;
        case 0xFF:
            answer.insert(answer.end(), {2, static_cast<uint8_t>(m_identity.nPacketSize),
                                         static_cast<uint8_t>(m_identity.nPacketSize >> 8)});
            return answer;
        default:
            answer.push_back(0);  // no such information
            return answer;
        }
    case CONNECT:
        if (nCount < 2)
            break;
        // Port 0 is the probe's default, JTAG here; SWD is not what this board speaks.
        m_bConnected = (pCommand[1] == PORT_JTAG || pCommand[1] == 0) && (m_identity.capabilities & 0x02) != 0;
        m_outputs = static_cast<uint8_t>(m_outputs & ~PIN_TCK);
        Drive();
        answer.push_back(m_bConnected ? PORT_JTAG : 0);
        return answer;
    case DISCONNECT:
        m_bConnected = false;
        Drive();
        answer.push_back(DAP_OK);
        return answer;
    case SWJ_PINS:
        if (nCount < 7)
            break;
        m_outputs = static_cast<uint8_t>((m_outputs & ~pCommand[2]) | (pCommand[1] & pCommand[2]));
        Drive();
        answer.push_back(Pins());
        return answer;
    case SWJ_CLOCK:
        if (nCount < 5)
            break;
        m_nClockHz = pCommand[1] | pCommand[2] << 8 | pCommand[3] << 16 | static_cast<uint32_t>(pCommand[4]) << 24;
        answer.push_back(m_nClockHz != 0 ? DAP_OK : DAP_ERROR);
        return answer;
    case JTAG_SEQUENCE:
        if (Sequences(pCommand, nCount, answer))
            return answer;
        break;
    default:
        break;
    }
    return {DAP_ERROR};
}

bool CDapProbe::Sequences(const uint8_t* pCommand, size_t nCount, std::vector<uint8_t>& answer)
{
    if (nCount < 2 || !m_bConnected)
        return false;
    // The whole command is checked before a clock is made.
    size_t nAt = 2;
    for (unsigned i = 0; i < pCommand[1]; ++i)
    {
        if (nAt >= nCount)
            return false;
        const size_t nClocks = (pCommand[nAt] & 0x3F) == 0 ? 64 : pCommand[nAt] & 0x3F;
        nAt += 1 + (nClocks + 7) / 8;
        if (nAt > nCount)
            return false;
    }
    answer.push_back(DAP_OK);
    nAt = 2;
    for (unsigned i = 0; i < pCommand[1]; ++i)
    {
        const uint8_t info = pCommand[nAt];
        const size_t nClocks = (info & 0x3F) == 0 ? 64 : info & 0x3F;
        const uint8_t* pTdi = pCommand + nAt + 1;
        uint8_t in = 0;
        for (size_t n = 0; n < nClocks; ++n)
        {
            // The levels with TCK low, TDO as it stands (the board changes it on the falling
            // edge), the rising edge, the falling one.
            m_outputs = static_cast<uint8_t>(m_outputs & ~(PIN_TCK | PIN_TMS | PIN_TDI));
            m_outputs |= (info & 0x40) != 0 ? PIN_TMS : 0;
            m_outputs |= (pTdi[n / 8] >> (n % 8) & 1) != 0 ? PIN_TDI : 0;
            Drive();
            const bool bTdo = (Pins() & PIN_TDO) != 0;
            m_outputs |= PIN_TCK;
            Drive();
            m_outputs = static_cast<uint8_t>(m_outputs & ~PIN_TCK);
            Drive();
            ++m_nClocks;
            if ((info & 0x80) == 0)
                continue;
            in = static_cast<uint8_t>(in | (bTdo ? 1 << (n % 8) : 0));
            if (n % 8 == 7 || n + 1 == nClocks)
            {
                answer.push_back(in);
                in = 0;
            }
        }
        nAt += 1 + (nClocks + 7) / 8;
    }
    return true;
}
