// SVF (Serial Vector Format) files read as a stream, one command at a time: a file of hundreds of
// megabytes is never held whole, only the command being read.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "../tap/Bits.h"

enum class SvfCommandKind
{
    Sir,
    Sdr,
    Hir,
    Hdr,
    Tir,
    Tdr,
    EndIr,
    EndDr,
    State,
    RunTest,
    Frequency,
    Trst,
};

// What a file may ask, beyond which it is refused at its line: a scan's bits (each value is held
// whole, packed: 32 MB a value at most), RUNTEST's clocks and its time in seconds.
const size_t SVF_MAX_SCAN_BITS = size_t(1) << 28;
const unsigned long long SVF_MAX_RUN_CLOCKS = 1ull << 48;
const double SVF_MAX_SECONDS = 1e6;

// One of SIR, SDR, HIR, HDR, TIR, TDR: its length and the values it gives, as bits (bit 0 the
// first shifted); a value not given is empty.
struct SvfScan
{
    size_t nLength = 0;
    CBits tdi, tdo, mask, smask;
};

struct SvfCommand
{
    SvfCommandKind kind = SvfCommandKind::State;
    int nLine = 0;     // where the command starts
    SvfScan scan;
    std::vector<int> states;  // STATE's path, ENDIR's and ENDDR's state; RUNTEST's run and end state (-1: not given)
    unsigned long long nCount = 0;  // RUNTEST's clocks
    bool bSystemClock = false;      // RUNTEST counts SCK, not TCK
    double dMinTime = 0;            // RUNTEST's seconds; FREQUENCY's hertz (0: the cable's own)
    std::string strWord;            // TRST's ON, OFF, Z or ABSENT
};

// A value's hex digits as read, before its command says how many bits it has.
struct SvfDigits;

class CSvfReader
{
public:
    CSvfReader() = default;
    ~CSvfReader();
    CSvfReader(const CSvfReader&) = delete;
    CSvfReader& operator=(const CSvfReader&) = delete;

    // False, with why, where the file cannot be opened.
    bool Open(const std::string& strPath, std::string& strError);
    // Reads from text instead of a file (tests, small files).
    void OpenText(const std::string& text);
    // The next command. False at the end (strError empty) or for a command that cannot be read
    // (strError: "LINE: what was expected").
    bool Next(SvfCommand& command, std::string& strError);
    // How many bytes were read so far.
    unsigned long long Position() const { return m_nPosition; }

private:
    // The next character, or -1 at the end; the line counted.
    int Get();
    bool Fill();
    // The command's text up to its ';', comments left out, with the line it starts on. Each value
    // in parentheses is read into values, packed, and stands in the text as "(N)", N its index.
    bool ReadStatement(std::string& text, std::vector<SvfDigits>& values, int& nLine, std::string& strError);
    void ReadValue(SvfDigits& value);
    // After c: whether a comment starts (! or //); if so, it is skipped to the end of its line.
    bool SkipComment(int c);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::string m_buffer;
    size_t m_nAt = 0;
    bool m_bEnd = false;
    bool m_bText = false;
    int m_nLine = 1;
    unsigned long long m_nPosition = 0;
};

// "SIR", "SDR", "HIR", "HDR", "TIR" or "TDR": a scan command's name.
const char* SvfScanName(SvfCommandKind kind);
// The SVF name of a state ("IDLE", "DRPAUSE"), and the state of a name (-1 for none).
const char* SvfStateName(int nState);
int SvfState(const std::string& strName);
// Bits as SVF writes them: hex, the first shifted the lowest.
std::string SvfHex(const CBits& bits);
// A command as a line for a person: its name and values as SVF writes them, a value past 32 hex
// digits cut short with its length said.
std::string SvfCommandText(const SvfCommand& command);
