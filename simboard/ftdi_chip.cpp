#include "ftdi_chip.h"

namespace {

const uint8_t PIN_TCK = 0x01;
const uint8_t PIN_TDI = 0x02;
const uint8_t PIN_TDO = 0x04;
const uint8_t PIN_TMS = 0x08;
const uint8_t SIGNALS = PIN_TCK | PIN_TDI | PIN_TMS;

// A data command's bits (AN_108, "Data Shifting Command bit definitions").
const uint8_t WRITE_FALLING = 0x01;
const uint8_t BIT_MODE = 0x02;
const uint8_t READ_FALLING = 0x04;
const uint8_t LSB_FIRST = 0x08;
const uint8_t WRITE_TDI = 0x10;
const uint8_t READ_TDO = 0x20;
const uint8_t WRITE_TMS = 0x40;

// The other commands the engine knows.
const uint8_t SET_LOW = 0x80, GET_LOW = 0x81, SET_HIGH = 0x82, GET_HIGH = 0x83;
const uint8_t LOOPBACK_ON = 0x84, LOOPBACK_OFF = 0x85, SET_DIVISOR = 0x86, SEND_IMMEDIATE = 0x87;
const uint8_t DIVIDE_BY_5_OFF = 0x8A, DIVIDE_BY_5_ON = 0x8B, THREE_PHASE_ON = 0x8C, THREE_PHASE_OFF = 0x8D;
const uint8_t CLOCK_BITS = 0x8E, CLOCK_BYTES = 0x8F, ADAPTIVE_ON = 0x96, ADAPTIVE_OFF = 0x97;
const uint8_t BAD_COMMAND = 0xFA;

// Whether a byte below 0x80 is a data command: it writes TDI or reads TDO, or writes TMS bits
// (and then not TDI).
bool IsDataCommand(uint8_t command)
{
    if ((command & WRITE_TMS) != 0)
        return (command & (WRITE_TDI | BIT_MODE)) == BIT_MODE;
    return (command & (WRITE_TDI | READ_TDO)) != 0;
}

} // namespace

void CFtdiChip::SetBitMode(uint8_t mask, uint8_t mode)
{
    m_mode = mode;
    m_direction = mode == MODE_MPSSE ? 0 : mask;
    m_pending.clear();
    Drive();
}

void CFtdiChip::Write(const uint8_t* pData, size_t nCount)
{
    if (m_mode == MODE_MPSSE)
    {
        m_pending.insert(m_pending.end(), pData, pData + nCount);
        size_t nAt = 0;
        while (nAt < m_pending.size())
        {
            const size_t nTaken = RunCommand(m_pending.data() + nAt, m_pending.size() - nAt);
            if (nTaken == 0)
                break;
            nAt += nTaken;
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(nAt));
        return;
    }
    if (m_mode != MODE_SYNC_BITBANG)
        return;
    for (size_t i = 0; i < nCount; ++i)
    {
        m_received.push_back(Pins());
        m_latch = pData[i];
        Drive();
    }
}

size_t CFtdiChip::Read(uint8_t* pData, size_t nCount)
{
    size_t nRead = 0;
    while (nRead < nCount && !m_received.empty())
    {
        pData[nRead++] = m_received.front();
        m_received.pop_front();
    }
    return nRead;
}

uint8_t CFtdiChip::Pins() const
{
    const uint8_t outputs = Outputs();
    uint8_t levels = static_cast<uint8_t>((m_latch & outputs) | (~outputs & ~PIN_TDO));
    if ((outputs & PIN_TDO) == 0 && (m_board.ReadStatus() & CJtagDevice::STATUS_TDO) != 0)
        levels |= PIN_TDO;
    return levels;
}

void CFtdiChip::Drive()
{
    const uint8_t outputs = Outputs();
    uint8_t data = 0;
    if ((outputs & SIGNALS) == SIGNALS)
    {
        data = CJtagDevice::DATA_ENABLE;
        if ((m_latch & PIN_TCK) != 0)
            data |= CJtagDevice::DATA_TCK;
        if ((m_latch & PIN_TDI) != 0)
            data |= CJtagDevice::DATA_TDI;
        if ((m_latch & PIN_TMS) != 0)
            data |= CJtagDevice::DATA_TMS;
    }
    m_board.WriteData(data);
}

bool CFtdiChip::Cycle(bool bTdi, bool bTms, bool bReadOnFalling)
{
    // The levels go out with TCK low (on the falling edge that ended the cycle before), the TAP
    // takes them on the rising edge and puts out its next TDO on the falling one.
    const uint8_t levels = static_cast<uint8_t>((bTdi ? PIN_TDI : 0) | (bTms ? PIN_TMS : 0));
    m_latch = static_cast<uint8_t>((m_latch & ~(PIN_TCK | PIN_TDI | PIN_TMS)) | levels);
    Drive();
    const auto tdo = [this] { return m_bLoopback ? (m_latch & PIN_TDI) != 0 : (Pins() & PIN_TDO) != 0; };
    bool bTdo = tdo();
    m_latch = static_cast<uint8_t>(m_latch | PIN_TCK);
    Drive();
    m_latch = static_cast<uint8_t>(m_latch & ~PIN_TCK);
    Drive();
    if (bReadOnFalling)
        bTdo = tdo();
    ++m_nMpsseClocks;
    return bTdo;
}

size_t CFtdiChip::RunCommand(const uint8_t* pCommand, size_t nHave)
{
    const uint8_t command = pCommand[0];
    const auto need = [nHave](size_t nBytes) { return nHave >= nBytes; };
    if (command < 0x80 && IsDataCommand(command))
    {
        const bool bBits = (command & BIT_MODE) != 0;
        const bool bWrites = (command & (WRITE_TDI | WRITE_TMS)) != 0;
        const bool bReads = (command & READ_TDO) != 0;
        const bool bLsbFirst = (command & LSB_FIRST) != 0;
        const bool bReadOnFalling = (command & READ_FALLING) != 0;
        // Bits: a length byte (bits - 1) and one byte of them; bytes: two length bytes (bytes - 1,
        // low first) and the bytes.
        if (!need(bBits ? 2 : 3))
            return 0;
        const size_t nLength = bBits ? static_cast<size_t>(pCommand[1]) + 1
                                     : (static_cast<size_t>(pCommand[1]) | static_cast<size_t>(pCommand[2]) << 8) + 1;
        const size_t nHeader = bBits ? 2 : 3;
        const size_t nData = !bWrites ? 0 : bBits ? 1 : nLength;
        if (!need(nHeader + nData))
            return 0;
        const uint8_t* pData = pCommand + nHeader;
        const size_t nBits = bBits ? nLength : nLength * 8;
        const bool bTms = (command & WRITE_TMS) != 0;
        // A TMS command holds TDI at its byte's bit 7 throughout; other commands leave TMS as it is.
        const bool bHeldTdi = bTms ? (pData[0] & 0x80) != 0 : (m_latch & PIN_TDI) != 0;
        const bool bHeldTms = (m_latch & PIN_TMS) != 0;
        uint8_t in = 0;
        size_t nIn = 0;
        for (size_t i = 0; i < nBits; ++i)
        {
            const size_t nByte = i / 8;
            const unsigned nBit = static_cast<unsigned>(i % 8);
            const bool bOut = bWrites && (pData[nByte] >> (bLsbFirst ? nBit : 7 - nBit) & 1) != 0;
            const bool bTdo = Cycle((command & WRITE_TDI) != 0 ? bOut : bHeldTdi, bTms ? bOut : bHeldTms, bReadOnFalling);
            if (!bReads)
                continue;
            // Each bit read comes in at one end of the byte and moves the others along: LSB
            // first in at bit 7, so a byte of fewer bits holds them at its top.
            in = static_cast<uint8_t>(bLsbFirst ? (in >> 1) | (bTdo ? 0x80 : 0) : (in << 1) | (bTdo ? 1 : 0));
            if (++nIn == 8 || i + 1 == nBits)
            {
                m_received.push_back(in);
                in = 0;
                nIn = 0;
            }
        }
        return nHeader + nData;
    }
    switch (command)
    {
    case SET_LOW:
    case SET_HIGH:
        if (!need(3))
            return 0;
        if (command == SET_LOW)
        {
            m_latch = pCommand[1];
            m_direction = pCommand[2];
            Drive();
        }
        else
        {
            m_highLatch = pCommand[1];
            m_highDirection = pCommand[2];
        }
        return 3;
    case GET_LOW:
        m_received.push_back(Pins());
        return 1;
    case GET_HIGH:
        m_received.push_back(static_cast<uint8_t>((m_highLatch & m_highDirection) | ~m_highDirection));
        return 1;
    case SET_DIVISOR:
        if (!need(3))
            return 0;
        m_nDivisor = static_cast<uint16_t>(pCommand[1] | pCommand[2] << 8);
        return 3;
    case CLOCK_BITS:
    case CLOCK_BYTES:
    {
        if (!need(command == CLOCK_BITS ? 2 : 3))
            return 0;
        const size_t nCycles = command == CLOCK_BITS
                                   ? static_cast<size_t>(pCommand[1]) + 1
                                   : ((static_cast<size_t>(pCommand[1]) | static_cast<size_t>(pCommand[2]) << 8) + 1) * 8;
        for (size_t i = 0; i < nCycles; ++i)
            Cycle((m_latch & PIN_TDI) != 0, (m_latch & PIN_TMS) != 0, false);
        return command == CLOCK_BITS ? 2 : 3;
    }
    case SEND_IMMEDIATE:
        return 1;
    default:
        break;
    }
    // The commands that switch a setting on or off.
    static const struct
    {
        uint8_t on, off;
        bool CFtdiChip::*pSetting;
    } SWITCHES[] = {{LOOPBACK_ON, LOOPBACK_OFF, &CFtdiChip::m_bLoopback},
                    {DIVIDE_BY_5_ON, DIVIDE_BY_5_OFF, &CFtdiChip::m_bDivideBy5},
                    {THREE_PHASE_ON, THREE_PHASE_OFF, &CFtdiChip::m_bThreePhase},
                    {ADAPTIVE_ON, ADAPTIVE_OFF, &CFtdiChip::m_bAdaptive}};
    for (const auto& setting : SWITCHES)
    {
        if (command == setting.on || command == setting.off)
        {
            this->*setting.pSetting = command == setting.on;
            return 1;
        }
    }
    m_received.push_back(BAD_COMMAND);
    m_received.push_back(command);
    return 1;
}
