// An SVF file played through the engine: every command's clocks recorded as a click's are, each
// TDO the file expects compared under its mask.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Svf.h"

class CTapEngine;

// Where the TDO read differs from what the file expects.
struct SvfMismatch
{
    int nLine = 0;
    std::string strCommand;  // "SDR 32"
    std::vector<unsigned char> expected, read, mask;  // the whole scan's bits, header and trailer with it
};

enum class SvfEnd
{
    Matched,    // every command played, every TDO as expected
    Mismatch,   // stopped after the command whose TDO differed
    Refused,    // a command that cannot be played: nothing of it was clocked
    Lost,       // the cable was lost; the engine told its listener
};

class CSvfPlayer
{
public:
    // Says what is noted and not done (FREQUENCY, TRST on a cable without the line), once each.
    typedef std::function<void(const std::string& strNote)> NOTE;

    CSvfPlayer(CTapEngine& tap, NOTE note) : m_tap(tap), m_note(std::move(note)) {}

    // Plays one command from where the TAP is. Refused, with why, for a move the diagram does
    // not allow.
    SvfEnd Play(const SvfCommand& command, SvfMismatch& mismatch, std::string& strError);
    // The whole file: a reset first, then each command; the file is read once before any clock,
    // so that one that cannot be read is refused at its line without a clock.
    SvfEnd PlayFile(const std::string& strPath, SvfMismatch& mismatch, std::string& strError);

    unsigned long long Commands() const { return m_nCommands; }

private:
    struct Padding
    {
        SvfScan scan;  // TDI kept from one command to the next while the length stays
    };

    SvfEnd Scan(const SvfCommand& command, SvfMismatch& mismatch);
    SvfEnd MoveTo(int nState);
    SvfEnd Walk(const std::vector<int>& path, std::string& strError);
    SvfEnd RunTest(const SvfCommand& command);
    // The last value of a kind, kept for the next command of the same kind and length.
    static void Carry(SvfScan& kept, const SvfScan& given);

    CTapEngine& m_tap;
    NOTE m_note;
    SvfScan m_sir, m_sdr, m_hir, m_hdr, m_tir, m_tdr;
    int m_nEndIr = 1;   // Run-Test/Idle
    int m_nEndDr = 1;
    int m_nRunState = 1;
    bool m_bFrequencyNoted = false;
    bool m_bTrstNoted = false;
    unsigned long long m_nCommands = 0;
};
