#include "SvfWriter.h"

#include "../chain/ChainScan.h"
#include "../session/Vcd.h"
#include "../tap/TapStates.h"
#include "Svf.h"
#include "version.h"

namespace {

bool IsShift(int nState)
{
    return nState == STATE_SHIFT_DR || nState == STATE_SHIFT_IR;
}

// "32 TDI (00000000) TDO (0BEEF04B) MASK (FFFFFFFF)": every bit was read, so every bit is compared.
std::string ScanText(const CBits& tdi, const CBits& tdo, size_t nFrom, size_t nCount)
{
    if (nCount == 0)
        return "0";
    return std::to_string(nCount) + " TDI (" + SvfHex(tdi.Slice(nFrom, nCount)) + ") TDO (" +
           SvfHex(tdo.Slice(nFrom, nCount)) + ") MASK (" + SvfHex(CBits(nCount, true)) + ")";
}

} // namespace

SvfPadding SvfPaddingOf(const CChainAddress* pAddress)
{
    SvfPadding padding;
    if (pAddress != nullptr)
    {
        pAddress->Padding(true, padding.nIrHeader, padding.nIrTrailer);
        pAddress->Padding(false, padding.nDrHeader, padding.nDrTrailer);
    }
    return padding;
}

void CSvfWriter::Add(const ClockRecord& clock)
{
    const int nBefore = m_nState;
    // A reset's first clocks are not told a state; from a known one they still go where TMS says,
    // and so does a player of the file.
    int nState = clock.nState;
    if (nState == STATE_UNKNOWN && nBefore != STATE_UNKNOWN)
        nState = NextTapState(nBefore, clock.Tms());
    m_nState = nState;
    if (!m_bKnown)
    {
        if (nState == STATE_TEST_LOGIC_RESET)
        {
            if (m_nSkipped > 0)
                Line("! " + std::to_string(m_nSkipped) + " clocks from a state not known are left out here.");
            m_nSkipped = 0;
            Line("STATE RESET;");
            m_bKnown = true;
            m_nFileState = STATE_TEST_LOGIC_RESET;
        }
        else if (nState != STATE_UNKNOWN)
        {
            ++m_nSkipped;
        }
        return;
    }
    if (m_bSkipIdle)
    {
        // The scan written ends in Run-Test/Idle by its own clock: this one.
        m_bSkipIdle = false;
        if (nBefore == STATE_UPDATE_DR || nBefore == STATE_UPDATE_IR)
        {
            if (nState == STATE_RUN_TEST_IDLE)
                return;
        }
    }
    if (IsShift(nBefore))
    {
        if (!m_bInScan)
        {
            // The walk to Shift is the scan's own, but for an Update on it.
            FlushHold();
            KeepUpdates();
            m_bInScan = true;
            m_scan = Scan();
            m_scan.bIr = nBefore == STATE_SHIFT_IR;
            m_path.clear();
        }
        m_scan.tdi.push_back(clock.Tdi() != 0);
        m_scan.tdo.push_back(clock.Tdo() != 0);
        m_scan.bPaused = false;
        return;
    }
    if (m_bInScan)
    {
        if (nState == STATE_PAUSE_DR || nState == STATE_PAUSE_IR)
            m_scan.bPaused = true;
        if (nState == STATE_UPDATE_DR || nState == STATE_UPDATE_IR)
        {
            const bool bPaused = m_scan.bPaused;
            const int nPause = m_scan.bIr ? STATE_PAUSE_IR : STATE_PAUSE_DR;
            WriteScan(bPaused ? nPause : STATE_RUN_TEST_IDLE);
            m_bInScan = false;
            m_nFileState = bPaused ? nPause : STATE_RUN_TEST_IDLE;
            m_path.clear();
            if (bPaused)
                m_path = {m_scan.bIr ? STATE_EXIT2_IR : STATE_EXIT2_DR, nState};
            m_bSkipIdle = !bPaused;
        }
        return;
    }
    const bool bStable = nState == STATE_RUN_TEST_IDLE || nState == STATE_TEST_LOGIC_RESET;
    if (bStable && nState == nBefore && m_path.empty() && m_nFileState == nState)
    {
        ++m_nHold;
        return;
    }
    FlushHold();
    m_path.push_back(nState);
    if (bStable)
        FlushPath();
}

void CSvfWriter::FlushHold()
{
    if (m_nHold == 0)
        return;
    const std::string strState = SvfStateName(m_nFileState);
    Line("RUNTEST " + strState + " " + std::to_string(m_nHold) + " TCK ENDSTATE " + strState + ";");
    m_nHold = 0;
}

void CSvfWriter::KeepUpdates()
{
    size_t nKept = m_path.size();
    while (nKept > 0 && m_path[nKept - 1] != STATE_UPDATE_DR && m_path[nKept - 1] != STATE_UPDATE_IR)
        --nKept;
    if (nKept == 0)
        return;
    const std::vector<int> rest(m_path.begin() + static_cast<std::ptrdiff_t>(nKept), m_path.end());
    m_path.resize(nKept);
    m_path.push_back(STATE_RUN_TEST_IDLE);
    FlushPath();
    // The player now stands in Run-Test/Idle; what followed the Update is walked from there.
    m_path = rest;
}

void CSvfWriter::FlushPath()
{
    if (m_path.empty())
        return;
    const int nTo = m_path.back();
    std::vector<int> shortest;
    for (const TapStep& step : ShortestPath(m_nFileState, nTo))
        shortest.push_back(step.nNewState);
    // A path the fewest clocks take is the one every player takes: only the state is said. (No
    // other path reaches Test-Logic-Reset outside a shift, and some players take none given to it.)
    std::string line = "STATE";
    if (shortest == m_path)
    {
        line += std::string(" ") + SvfStateName(nTo);
    }
    else
    {
        for (int nState : m_path)
            line += std::string(" ") + SvfStateName(nState);
    }
    Line(line + ";");
    m_nFileState = nTo;
    m_path.clear();
}

void CSvfWriter::WritePart(const char* pszName, std::string& strLast, const std::string& strText)
{
    if (strText == strLast)
        return;
    Line(std::string(pszName) + " " + strText + ";");
    strLast = strText;
}

void CSvfWriter::WriteScan(int nEnd)
{
    const bool bIr = m_scan.bIr;
    const size_t nLength = m_scan.tdi.size();
    const size_t nHeader = bIr ? m_padding.nIrHeader : m_padding.nDrHeader;
    const size_t nTrailer = bIr ? m_padding.nIrTrailer : m_padding.nDrTrailer;
    // The other devices' parts where the shift is as long as the chain's and, for an instruction,
    // puts them in BYPASS.
    const bool bSplit = nHeader + nTrailer > 0 && nLength > nHeader + nTrailer &&
                        (!bIr || (m_scan.tdi.AllSet(0, nHeader) &&
                                  m_scan.tdi.AllSet(nLength - nTrailer, nTrailer)));
    const size_t nHead = bSplit ? nHeader : 0;
    const size_t nTail = bSplit ? nTrailer : 0;
    WritePart(bIr ? "HIR" : "HDR", bIr ? m_strHir : m_strHdr, ScanText(m_scan.tdi, m_scan.tdo, 0, nHead));
    WritePart(bIr ? "TIR" : "TDR", bIr ? m_strTir : m_strTdr,
              ScanText(m_scan.tdi, m_scan.tdo, nLength - nTail, nTail));
    int& nWrittenEnd = bIr ? m_nEndIr : m_nEndDr;
    if (nWrittenEnd != nEnd)
    {
        Line(std::string(bIr ? "ENDIR " : "ENDDR ") + SvfStateName(nEnd) + ";");
        nWrittenEnd = nEnd;
    }
    Line(std::string(bIr ? "SIR " : "SDR ") + ScanText(m_scan.tdi, m_scan.tdo, nHead, nLength - nHead - nTail) + ";");
}

void CSvfWriter::Finish()
{
    if (!m_bKnown)
    {
        if (m_nSkipped > 0)
            Line("! " + std::to_string(m_nSkipped) + " clocks from a state not known are left out here.");
        m_nSkipped = 0;
        return;
    }
    if (m_bInScan)
    {
        Line("! The session ends inside this shift; it is left in PAUSE, not updated.");
        WriteScan(m_scan.bIr ? STATE_PAUSE_IR : STATE_PAUSE_DR);
        m_bInScan = false;
        return;
    }
    FlushHold();
    KeepUpdates();
    if (!m_path.empty())
    {
        Line("! The session ends in " + std::string(SvfStateName(m_path.back())) +
             ", where SVF cannot stop: its last " + std::to_string(m_path.size()) + " clocks are left out.");
        m_path.clear();
    }
}

std::string CSvfWriter::Take()
{
    std::string text;
    text.swap(m_text);
    return text;
}

bool SaveSvf(const CSessionRecord& session, const std::string& strDate, const SvfPadding& padding,
             const std::string& strPath, std::string& strError)
{
    CSvfWriter writer(padding);
    std::string strHeader = "! MORVA " + std::string(MORVA_VERSION_STRING) + ": the session of " + strDate + "\n";
    if (session.FirstClock() > 0)
        strHeader += "! Its first " + std::to_string(session.FirstClock()) + " clocks were no longer kept.\n";
    return SaveRecord(
        session, strHeader,
        [&](const ClockRecord& clock, std::string& text) {
            writer.Add(clock);
            text += writer.Take();
        },
        [&](std::string& text) {
            writer.Finish();
            text += writer.Take();
        },
        strPath, strError);
}
