#include "board_nets.h"

#include <cstdint>

namespace {

// What a floating input reads: no pattern a test could take for a driven or pulled net.
int Floating(uint32_t nCapture, size_t nDevice, size_t nCell)
{
    uint32_t x = nCapture * 2654435761u ^ static_cast<uint32_t>(nDevice * 40503u + nCell * 977u);
    x ^= x >> 13;
    x *= 0x5BD1E995u;
    x ^= x >> 15;
    return static_cast<int>(x & 1);
}

} // namespace

size_t CSimNets::AddNet()
{
    Net net;
    net.nJoined = m_nets.size();
    net.joined.push_back(m_nets.size());
    m_nets.push_back(net);
    return m_nets.size() - 1;
}

size_t CSimNets::AddPin(size_t nNet, const SimNetPin& pin)
{
    m_pins.push_back({pin, nNet, false});
    m_nets[nNet].pins.push_back(m_pins.size() - 1);
    if (pin.nInput >= 0)
        m_byInput[{pin.nDevice, pin.nInput}] = m_pins.size() - 1;
    return m_pins.size() - 1;
}

size_t CSimNets::Joined(size_t nNet) const
{
    while (m_nets[nNet].nJoined != nNet)
        nNet = m_nets[nNet].nJoined;
    return nNet;
}

void CSimNets::Short(size_t nNet, size_t nOther, bool bOr)
{
    const size_t nFirst = Joined(nNet), nSecond = Joined(nOther);
    if (nFirst != nSecond)
    {
        m_nets[nSecond].nJoined = nFirst;
        m_nets[nFirst].joined.insert(m_nets[nFirst].joined.end(), m_nets[nSecond].joined.begin(),
                                     m_nets[nSecond].joined.end());
        m_nets[nSecond].joined.clear();
    }
    m_nets[nFirst].bOr = m_nets[nFirst].bOr || bOr;
}

void CSimNets::Wire(CJtagDevice& board)
{
    const CJtagDevice* pBoard = &board;
    board.SetPinLevels([this, pBoard](size_t nDevice, size_t nCell) { return Level(*pBoard, nDevice, nCell); });
}

int CSimNets::Level(const CJtagDevice& board, size_t nDevice, size_t nCell) const
{
    const auto found = m_byInput.find({nDevice, static_cast<int>(nCell)});
    if (found == m_byInput.end())
        return -1;
    const Pin& reader = m_pins[found->second];
    const auto driven = [&](const Pin& pin) {
        return pin.pin.nOutput >= 0 ? board.PinDriven(pin.pin.nDevice, static_cast<size_t>(pin.pin.nOutput)) : 'Z';
    };
    // A lifted pin hears only its own driver.
    if (reader.bOpen)
    {
        const char cOwn = driven(reader);
        return cOwn != 'Z' ? cOwn - '0' : Floating(board.Captures(nDevice), nDevice, nCell);
    }
    const size_t nJoined = Joined(reader.nNet);
    const bool bOr = m_nets[nJoined].bOr;
    int nLevel = -1, nPull = -1;
    for (size_t n : m_nets[nJoined].joined)
    {
        const Net& net = m_nets[n];
        if (net.nStuck >= 0)
            return net.nStuck;
        nPull = net.nPull >= 0 ? net.nPull : nPull;
        for (size_t nPin : net.pins)
        {
            const char c = m_pins[nPin].bOpen ? 'Z' : driven(m_pins[nPin]);
            if (c == 'Z')
                continue;
            const int nBit = c - '0';
            nLevel = nLevel < 0 ? nBit : bOr ? (nLevel | nBit) : (nLevel & nBit);
        }
    }
    if (nLevel >= 0)
        return nLevel;
    return nPull >= 0 ? nPull : Floating(board.Captures(nDevice), nDevice, nCell);
}
