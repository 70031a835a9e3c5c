#include "SvfPlayer.h"

#include <cmath>

#include "../engine/TapEngine.h"
#include "../platform/system.h"
#include "../tap/TapStates.h"

namespace {

// RUNTEST's clocks go to the cable in runs of this many: a count of millions holds no more.
const unsigned long long RUN_CHUNK = 4096;

bool Differs(const std::vector<unsigned char>& read, const std::vector<unsigned char>& expected,
             const std::vector<unsigned char>& mask)
{
    for (size_t i = 0; i < expected.size(); ++i)
    {
        if (mask[i] != 0 && (i >= read.size() || (read[i] != 0) != (expected[i] != 0)))
            return true;
    }
    return false;
}

// The lengths of each kind, to check before any clock that a value changing its length gives TDI.
struct CarryCheck
{
    size_t lengths[6] = {0, 0, 0, 0, 0, 0};
    bool bGiven[6] = {false, false, false, false, false, false};

    bool Check(const SvfCommand& command, std::string& strError)
    {
        const int nKind = static_cast<int>(command.kind);
        if (nKind > static_cast<int>(SvfCommandKind::Tdr))
            return true;
        const bool bChanged = !bGiven[nKind] || lengths[nKind] != command.scan.nLength;
        if (bChanged && command.scan.tdi.empty() && command.scan.nLength > 0)
        {
            strError = std::to_string(command.nLine) + ": " + SvfScanName(command.kind) + " " +
                       std::to_string(command.scan.nLength) + " gives no TDI, and there is none of that length to "
                       "carry over: TDI (...) was expected.";
            return false;
        }
        lengths[nKind] = command.scan.nLength;
        bGiven[nKind] = true;
        return true;
    }
};

} // namespace

void CSvfPlayer::Carry(SvfScan& kept, const SvfScan& given)
{
    const bool bSameLength = kept.nLength == given.nLength;
    const std::vector<unsigned char> ones(given.nLength, 1);
    kept.tdi = !given.tdi.empty() ? given.tdi : bSameLength ? kept.tdi : std::vector<unsigned char>(given.nLength, 0);
    kept.mask = !given.mask.empty() ? given.mask : bSameLength && !kept.mask.empty() ? kept.mask : ones;
    kept.smask = !given.smask.empty() ? given.smask : bSameLength && !kept.smask.empty() ? kept.smask : ones;
    // What TDO should be holds for its own command only.
    kept.tdo = given.tdo;
    kept.nLength = given.nLength;
}

SvfEnd CSvfPlayer::Play(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError)
{
    ++m_nCommands;
    switch (command.kind)
    {
    case SvfCommandKind::Sir:
    case SvfCommandKind::Sdr:
        return Scan(command, mismatch);
    case SvfCommandKind::Hir:
        Carry(m_hir, command.scan);
        return SvfEnd::Matched;
    case SvfCommandKind::Hdr:
        Carry(m_hdr, command.scan);
        return SvfEnd::Matched;
    case SvfCommandKind::Tir:
        Carry(m_tir, command.scan);
        return SvfEnd::Matched;
    case SvfCommandKind::Tdr:
        Carry(m_tdr, command.scan);
        return SvfEnd::Matched;
    case SvfCommandKind::EndIr:
        m_nEndIr = command.states[0];
        return SvfEnd::Matched;
    case SvfCommandKind::EndDr:
        m_nEndDr = command.states[0];
        return SvfEnd::Matched;
    case SvfCommandKind::State:
        if (command.states.size() == 1)
            return MoveTo(command.states[0]);
        return Walk(command.states, strError);
    case SvfCommandKind::RunTest:
        return RunTest(command);
    case SvfCommandKind::Frequency:
        if (!m_bFrequencyNoted)
            m_note("line " + std::to_string(command.nLine) + ": FREQUENCY is noted; MORVA clocks at the cable's speed.");
        m_bFrequencyNoted = true;
        return SvfEnd::Matched;
    case SvfCommandKind::Trst:
    default:
        if (command.strWord != "ABSENT" && !m_bTrstNoted)
            m_note("line " + std::to_string(command.nLine) + ": TRST " + command.strWord +
                   " is left out: the cable has no TRST line.");
        m_bTrstNoted = m_bTrstNoted || command.strWord != "ABSENT";
        return SvfEnd::Matched;
    }
}

SvfEnd CSvfPlayer::Scan(const SvfCommand& command, SvfMismatch& mismatch)
{
    const bool bIr = command.kind == SvfCommandKind::Sir;
    SvfScan& data = bIr ? m_sir : m_sdr;
    Carry(data, command.scan);
    const SvfScan& header = bIr ? m_hir : m_hdr;
    const SvfScan& trailer = bIr ? m_tir : m_tdr;
    // The header goes in first: it ends in the devices nearest TDO.
    std::vector<unsigned char> bits, expected, mask;
    bool bCheck = false;
    for (const SvfScan* pPart : {&header, static_cast<const SvfScan*>(&data), &trailer})
    {
        bits.insert(bits.end(), pPart->tdi.begin(), pPart->tdi.end());
        const bool bExpects = !pPart->tdo.empty();
        bCheck = bCheck || bExpects;
        for (size_t i = 0; i < pPart->nLength; ++i)
        {
            expected.push_back(bExpects ? pPart->tdo[i] : 0);
            mask.push_back(bExpects ? pPart->mask[i] : 0);
        }
    }
    if (bits.empty())
        return SvfEnd::Matched;
    const TapRegister& reg = bIr ? TAP_IR : TAP_DR;
    // From a Pause the scan is a new one: through Update and Capture again, not on through Exit2.
    const int nState = m_tap.State();
    if (nState == STATE_PAUSE_DR || nState == STATE_PAUSE_IR)
    {
        const int nUpdate = nState == STATE_PAUSE_DR ? STATE_UPDATE_DR : STATE_UPDATE_IR;
        if (!m_tap.Run(ShortestPath(nState, nUpdate)))
            return SvfEnd::Lost;
    }
    else if (!IsShiftStart(nState))
    {
        const SvfEnd end = MoveTo(STATE_RUN_TEST_IDLE);
        if (end != SvfEnd::Matched)
            return end;
    }
    const CTapEngine::ShiftEnd end = m_tap.Shift(reg, bits, [](size_t) { return false; }, bIr ? m_nEndIr : m_nEndDr);
    if (end != CTapEngine::ShiftEnd::Updated)
        return SvfEnd::Lost;
    if (bCheck && Differs(m_tap.BitsOut(), expected, mask))
    {
        mismatch.nLine = command.nLine;
        mismatch.strCommand = std::string(SvfScanName(command.kind)) + " " + std::to_string(command.scan.nLength);
        mismatch.expected = expected;
        mismatch.read = m_tap.BitsOut();
        mismatch.mask = mask;
        return SvfEnd::Mismatch;
    }
    return SvfEnd::Matched;
}

SvfEnd CSvfPlayer::MoveTo(int nState)
{
    if (m_tap.State() == STATE_UNKNOWN || nState == STATE_TEST_LOGIC_RESET)
    {
        // SVF's way to Test-Logic-Reset from anywhere: TMS high.
        if (m_tap.State() != STATE_TEST_LOGIC_RESET && !m_tap.Reset())
            return SvfEnd::Lost;
        if (nState == STATE_TEST_LOGIC_RESET)
            return SvfEnd::Matched;
    }
    return m_tap.Run(ShortestPath(m_tap.State(), nState)) ? SvfEnd::Matched : SvfEnd::Lost;
}

SvfEnd CSvfPlayer::Walk(const std::vector<int>& path, std::string& strError)
{
    std::vector<TapStep> steps;
    int nFrom = m_tap.State();
    for (int nTo : path)
    {
        if (nFrom == STATE_UNKNOWN || (NextTapState(nFrom, 0) != nTo && NextTapState(nFrom, 1) != nTo))
        {
            strError = std::string("STATE's path goes from ") + SvfStateName(nFrom) + " to " + SvfStateName(nTo) +
                       ", which one clock does not.";
            return SvfEnd::Refused;
        }
        steps.push_back(StepInto(nFrom, nTo));
        nFrom = nTo;
    }
    return m_tap.Run(steps) ? SvfEnd::Matched : SvfEnd::Lost;
}

SvfEnd CSvfPlayer::RunTest(const SvfCommand& command)
{
    if (command.states[0] >= 0)
        m_nRunState = command.states[0];
    const int nEnd = command.states[1] >= 0 ? command.states[1] : m_nRunState;
    SvfEnd end = MoveTo(m_nRunState);
    if (end != SvfEnd::Matched)
        return end;
    const DWORD dwStart = ::GetTickCount();
    if (command.bSystemClock && command.nCount > 0 && !m_bFrequencyNoted)
        m_note("line " + std::to_string(command.nLine) + ": RUNTEST's SCK clocks are the board's own; MORVA waits its "
               "time.");
    const unsigned char nTms = m_nRunState == STATE_TEST_LOGIC_RESET ? 1 : 0;
    for (unsigned long long nLeft = command.bSystemClock ? 0 : command.nCount; nLeft > 0;)
    {
        const unsigned long long nRun = nLeft < RUN_CHUNK ? nLeft : RUN_CHUNK;
        if (!m_tap.Run(std::vector<TapStep>(static_cast<size_t>(nRun), {nTms, KEEP_TDI, m_nRunState})))
            return SvfEnd::Lost;
        nLeft -= nRun;
    }
    const DWORD dwWanted = static_cast<DWORD>(std::ceil(command.dMinTime * 1000.0));
    const DWORD dwTaken = ::GetTickCount() - dwStart;
    if (dwWanted > dwTaken)
        AfxSleep(dwWanted - dwTaken);
    return MoveTo(nEnd);
}

SvfEnd CSvfPlayer::PlayFile(const std::string& strPath, SvfMismatch& mismatch, std::string& strError)
{
    // Read through once: a file that cannot be played is refused before its first clock.
    {
        CSvfReader reader;
        if (!reader.Open(strPath, strError))
            return SvfEnd::Refused;
        SvfCommand command;
        CarryCheck carry;
        while (reader.Next(command, strError))
        {
            if (!carry.Check(command, strError))
                break;
        }
        if (!strError.empty())
        {
            strError = strPath + ":" + strError;
            return SvfEnd::Refused;
        }
    }
    CSvfReader reader;
    if (!reader.Open(strPath, strError))
        return SvfEnd::Refused;
    if (!m_tap.Reset())
        return SvfEnd::Lost;
    SvfCommand command;
    while (reader.Next(command, strError))
    {
        const SvfEnd end = Play(command, mismatch, strError);
        if (end == SvfEnd::Refused)
            strError = strPath + ":" + std::to_string(command.nLine) + ": " + strError;
        if (end != SvfEnd::Matched)
            return end;
    }
    if (!strError.empty())
    {
        strError = strPath + ":" + strError;
        return SvfEnd::Refused;
    }
    return SvfEnd::Matched;
}
