// A session written as SVF: the clocks MORVA made, turned back into the commands any SVF player
// takes, so that the player brings the same TAP through the same states with the same bits and
// expects the TDO MORVA read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "../session/SessionRecord.h"
#include "../tap/Bits.h"

// The other devices of a chain around the one a person speaks to: the bits of their registers
// nearer TDO (the header, shifted first) and nearer TDI (the trailer).
struct SvfPadding
{
    size_t nIrHeader = 0;
    size_t nIrTrailer = 0;
    size_t nDrHeader = 0;
    size_t nDrTrailer = 0;
};

class CChainAddress;

// The padding around the device an address speaks to, as its other devices' registers stand now;
// none for the whole chain (null).
SvfPadding SvfPaddingOf(const CChainAddress* pAddress);

class CSvfWriter
{
public:
    explicit CSvfWriter(const SvfPadding& padding = SvfPadding()) : m_padding(padding) {}

    // The clocks in the order they were made. Nothing is written until a clock enters
    // Test-Logic-Reset: SVF starts from a state both sides know.
    void Add(const ClockRecord& clock);
    // What the last clocks leave open: a shift the session ended inside, or a walk that stopped
    // in a state SVF cannot end in. Then the text is whole.
    void Finish();
    // The text written so far; taken, it is written on from empty.
    std::string Take();

private:
    struct Scan
    {
        bool bIr = false;
        CBits tdi, tdo;
        bool bPaused = false;  // the TAP passed Pause since the last bit
    };

    void Line(const std::string& line) { m_text += line + "\n"; }
    void FlushHold();
    void FlushPath();
    // A walk through Update-DR or Update-IR loaded a register even without a shift: the part of
    // the path up to the last Update is written, on to Run-Test/Idle, where SVF can stop.
    void KeepUpdates();
    // The scan collected, with the other devices' parts and its end state where they change.
    void WriteScan(int nEnd);
    void WritePart(const char* pszName, std::string& strLast, const std::string& strText);

    SvfPadding m_padding;
    std::string m_text;
    bool m_bKnown = false;     // the file's TAP is where the session's is
    unsigned long long m_nSkipped = 0;  // clocks left out while the state was not known
    int m_nState = -1;         // the state the last clock entered
    int m_nFileState = -1;     // the stable state a player of the file is in
    std::vector<int> m_path;   // states passed since then, outside a shift
    unsigned long long m_nHold = 0;  // clocks that stayed in the file's state
    bool m_bSkipIdle = false;  // the scan written ends in Run-Test/Idle: the session's next clock may be that one
    bool m_bInScan = false;
    Scan m_scan;
    int m_nEndIr = 1, m_nEndDr = 1;  // the ENDIR and ENDDR written
    std::string m_strHir = "0", m_strTir = "0", m_strHdr = "0", m_strTdr = "0";
};

// The session's clocks kept by the engine, written to a file. False, with why, where it cannot be
// written; nothing half-written is left then.
bool SaveSvf(const CSessionRecord& session, const std::string& strDate, const SvfPadding& padding,
             const std::string& strPath, std::string& strError);
