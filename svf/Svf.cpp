#include "Svf.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "../tap/TapStates.h"

struct SvfDigits
{
    // Two digits a byte, the first read in the low half of the first byte, in pieces of
    // PIECE_BYTES: a long value never moves while it grows, and its pieces are let go one by one
    // as its bits are made. A piece is large enough to be memory of its own, given back to the
    // system when it goes, not kept by the heap.
    static const size_t PIECE_BYTES = 1 << 20;
    std::vector<std::vector<uint8_t>> pieces;
    size_t nDigits = 0;
    char cBad = 0;                // the last character that is no hex digit, if any
    std::string strStart;         // the first characters, for messages
};

namespace {

const size_t BUFFER_BYTES = 1 << 16;

struct StateName
{
    const char* pszName;
    int nState;
};

const StateName STATES[] = {
    {"RESET", STATE_TEST_LOGIC_RESET}, {"IDLE", STATE_RUN_TEST_IDLE},   {"DRSELECT", STATE_SELECT_DR},
    {"DRCAPTURE", STATE_CAPTURE_DR},   {"DRSHIFT", STATE_SHIFT_DR},     {"DREXIT1", STATE_EXIT1_DR},
    {"DRPAUSE", STATE_PAUSE_DR},       {"DREXIT2", STATE_EXIT2_DR},     {"DRUPDATE", STATE_UPDATE_DR},
    {"IRSELECT", STATE_SELECT_IR},     {"IRCAPTURE", STATE_CAPTURE_IR}, {"IRSHIFT", STATE_SHIFT_IR},
    {"IREXIT1", STATE_EXIT1_IR},       {"IRPAUSE", STATE_PAUSE_IR},     {"IREXIT2", STATE_EXIT2_IR},
    {"IRUPDATE", STATE_UPDATE_IR},
};
static_assert(sizeof(STATES) / sizeof(STATES[0]) == 16, "one row per state");

struct ScanName
{
    const char* pszName;
    SvfCommandKind kind;
};

const ScanName SCANS[] = {
    {"SIR", SvfCommandKind::Sir}, {"SDR", SvfCommandKind::Sdr}, {"HIR", SvfCommandKind::Hir},
    {"HDR", SvfCommandKind::Hdr}, {"TIR", SvfCommandKind::Tir}, {"TDR", SvfCommandKind::Tdr},
};

// A word of the statement, or a parenthesised value: its first digits, for messages, and where
// its digits are kept.
struct Word
{
    std::string text;
    bool bValue;
    size_t nValue = 0;
};

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

bool SplitWords(const std::string& text, const std::vector<SvfDigits>& values, std::vector<Word>& words,
                std::string& strError)
{
    for (size_t i = 0; i < text.size();)
    {
        const char c = text[i];
        if (isspace(static_cast<unsigned char>(c)) != 0)
            ++i;
        else if (c == '(')
        {
            // "(N)": the statement's N-th value, put there by the reader.
            const size_t nEnd = text.find(')', i);
            if (nEnd == std::string::npos)
            {
                strError = "\")\" was expected after the value";
                return false;
            }
            size_t nValue = 0;
            for (size_t j = i + 1; j < nEnd; ++j)
                nValue = nValue * 10 + static_cast<size_t>(text[j] - '0');
            words.push_back({values[nValue].strStart, true, nValue});
            i = nEnd + 1;
        }
        else
        {
            size_t j = i;
            while (j < text.size() && isspace(static_cast<unsigned char>(text[j])) == 0 && text[j] != '(')
                ++j;
            words.push_back({Upper(text.substr(i, j - i)), false});
            i = j;
        }
    }
    return true;
}

// A real number as SVF writes times and frequencies (1E-3, 0.5, 100): digits, a point, an
// exponent; nothing strtod would take besides (INF, NAN, hex), no byte after it (a NUL among
// them), and finite.
bool Number(const Word& word, double& dValue)
{
    if (word.bValue || word.text.empty() || word.text.size() > 64)
        return false;
    for (char c : word.text)
    {
        if ((c < '0' || c > '9') && c != '.' && c != 'E' && c != '+' && c != '-')
            return false;
    }
    char* pEnd = nullptr;
    dValue = strtod(word.text.c_str(), &pEnd);
    return pEnd == word.text.c_str() + word.text.size() && std::isfinite(dValue) && dValue >= 0;
}

enum class CountRead
{
    Read,
    NotACount,
    TooLarge,
};

// A count as SVF writes lengths and clocks: decimal digits only, at most nLimit.
CountRead Count(const Word& word, unsigned long long nLimit, unsigned long long& nValue)
{
    if (word.bValue || word.text.empty())
        return CountRead::NotACount;
    nValue = 0;
    bool bTooLarge = false;
    for (char c : word.text)
    {
        if (c < '0' || c > '9')
            return CountRead::NotACount;
        const unsigned nDigit = static_cast<unsigned>(c - '0');
        if (bTooLarge || nValue > (nLimit - nDigit) / 10)
            bTooLarge = true;
        else
            nValue = nValue * 10 + nDigit;
    }
    return bTooLarge ? CountRead::TooLarge : CountRead::Read;
}

// The digits as nLength bits, the last digit's lowest bit first. The last piece of digits is
// turned first and let go, so that a value costs its packed size and one piece more.
bool HexBits(SvfDigits& value, size_t nLength, CBits& bits, std::string& strError)
{
    if (value.cBad != 0)
    {
        strError = std::string("a hex digit was expected, not \"") + value.cBad + "\"";
        return false;
    }
    std::vector<uint8_t> bytes((nLength + 7) / 8, 0);
    const size_t nPieceDigits = SvfDigits::PIECE_BYTES * 2;
    // Digit k of the file is bits 4j to 4j+3 of the value, j the digits after it.
    for (size_t k = value.nDigits; k-- > 0;)
    {
        const std::vector<uint8_t>& piece = value.pieces[k / nPieceDigits];
        const size_t nAt = k % nPieceDigits;
        const unsigned nDigit = (piece[nAt / 2] >> (nAt & 1) * 4) & 15u;
        const size_t nBit = (value.nDigits - 1 - k) * 4;
        if (nBit + 4 <= nLength)
            bytes[nBit / 8] = static_cast<uint8_t>(bytes[nBit / 8] | nDigit << (nBit & 7));
        else if (nBit < nLength ? (nDigit >> (nLength - nBit)) != 0 : nDigit != 0)
        {
            strError = "the value has bits set beyond its " + std::to_string(nLength) + " bits";
            return false;
        }
        else if (nBit < nLength)
            bytes[nBit / 8] = static_cast<uint8_t>(bytes[nBit / 8] | nDigit << (nBit & 7));
        if (nAt == 0)
            std::vector<uint8_t>().swap(value.pieces[k / nPieceDigits]);
    }
    bits = CBits::FromPacked(std::move(bytes), nLength);
    return true;
}

bool ReadScan(const std::vector<Word>& words, std::vector<SvfDigits>& values, SvfCommand& command,
              std::string& strError)
{
    unsigned long long nLength = 0;
    const CountRead read = words.size() < 2 ? CountRead::NotACount : Count(words[1], SVF_MAX_SCAN_BITS, nLength);
    if (read == CountRead::TooLarge)
    {
        strError = words[0].text + " " + words[1].text + " is longer than MORVA can hold: a scan takes at most " +
                   std::to_string(SVF_MAX_SCAN_BITS) + " bits";
        return false;
    }
    if (read != CountRead::Read)
    {
        strError = "a length in bits (decimal digits, as 32) was expected after " + words[0].text;
        return false;
    }
    command.scan.nLength = static_cast<size_t>(nLength);
    bool bGiven[4] = {false, false, false, false};
    for (size_t i = 2; i < words.size(); i += 2)
    {
        const std::string& strName = words[i].text;
        CBits* pBits = strName == "TDI"     ? &command.scan.tdi
                                            : strName == "TDO"   ? &command.scan.tdo
                                            : strName == "MASK"  ? &command.scan.mask
                                            : strName == "SMASK" ? &command.scan.smask
                                                                 : nullptr;
        if (words[i].bValue || pBits == nullptr)
        {
            strError = "TDI, TDO, MASK or SMASK was expected, not \"" + strName + "\"";
            return false;
        }
        bool& bKeyword = bGiven[pBits == &command.scan.tdi ? 0 : pBits == &command.scan.tdo ? 1 : pBits == &command.scan.mask ? 2 : 3];
        if (bKeyword)
        {
            strError = strName + " is given twice";
            return false;
        }
        bKeyword = true;
        if (i + 1 >= words.size() || !words[i + 1].bValue)
        {
            strError = "a value in parentheses was expected after " + strName;
            return false;
        }
        if (!HexBits(values[words[i + 1].nValue], command.scan.nLength, *pBits, strError))
        {
            strError = strName + ": " + strError;
            return false;
        }
    }
    return true;
}

bool ReadState(const Word& word, int& nState, std::string& strError)
{
    nState = word.bValue ? -1 : SvfState(word.text);
    if (nState >= 0)
        return true;
    strError = "a state (RESET, IDLE, DRPAUSE, IRPAUSE, ...) was expected, not \"" + word.text + "\"";
    return false;
}

bool IsStable(int nState)
{
    return nState == STATE_TEST_LOGIC_RESET || nState == STATE_RUN_TEST_IDLE || nState == STATE_PAUSE_DR ||
           nState == STATE_PAUSE_IR;
}

bool ReadRunTest(const std::vector<Word>& words, SvfCommand& command, std::string& strError)
{
    command.states = {-1, -1};
    size_t i = 1;
    if (i < words.size() && !words[i].bValue && SvfState(words[i].text) >= 0)
        command.states[0] = SvfState(words[i++].text);
    double dValue = 0;
    bool bAny = false;
    if (i + 1 < words.size() && (words[i + 1].text == "TCK" || words[i + 1].text == "SCK"))
    {
        const CountRead read = Count(words[i], SVF_MAX_RUN_CLOCKS, command.nCount);
        if (read != CountRead::Read)
        {
            strError = read == CountRead::TooLarge
                           ? "RUNTEST's " + words[i].text + " " + words[i + 1].text + " are more clocks than MORVA runs: "
                                 "at most " + std::to_string(SVF_MAX_RUN_CLOCKS)
                           : "RUNTEST's clocks are counted in decimal digits, as 1000 TCK, not \"" + words[i].text + "\"";
            return false;
        }
        command.bSystemClock = words[i + 1].text == "SCK";
        i += 2;
        bAny = true;
    }
    const auto seconds = [&](const Word& word, double& dSeconds) {
        if (!Number(word, dSeconds))
        {
            strError = "a time in seconds, as 1E-3, was expected, not \"" + word.text + "\"";
            return false;
        }
        if (dSeconds > SVF_MAX_SECONDS)
        {
            strError = "RUNTEST's " + word.text + " SEC is longer than MORVA waits: at most " +
                       std::to_string(static_cast<long>(SVF_MAX_SECONDS)) + " SEC";
            return false;
        }
        return true;
    };
    if (i + 1 < words.size() && words[i + 1].text == "SEC")
    {
        if (!seconds(words[i], command.dMinTime))
            return false;
        i += 2;
        bAny = true;
        if (i < words.size() && words[i].text == "MAXIMUM")
        {
            if (i + 2 >= words.size() || words[i + 2].text != "SEC")
            {
                strError = "MAXIMUM's time in seconds, as MAXIMUM 1E-3 SEC, was expected";
                return false;
            }
            if (!seconds(words[i + 1], dValue))
                return false;
            if (dValue < command.dMinTime)
            {
                strError = "MAXIMUM " + words[i + 1].text + " SEC is less than the least time, " + words[i - 2].text +
                           " SEC";
                return false;
            }
            i += 3;
        }
    }
    if (!bAny)
    {
        strError = "RUNTEST's clocks (as 1000 TCK) or time (as 1E-3 SEC) was expected";
        return false;
    }
    if (i < words.size() && words[i].text == "ENDSTATE")
    {
        if (i + 1 >= words.size() || !ReadState(words[i + 1], command.states[1], strError))
            return false;
        i += 2;
    }
    if (i < words.size())
    {
        strError = "the end of RUNTEST was expected, not \"" + words[i].text + "\"";
        return false;
    }
    for (int nState : command.states)
    {
        if (nState >= 0 && !IsStable(nState))
        {
            strError = std::string("RUNTEST takes a stable state (RESET, IDLE, DRPAUSE or IRPAUSE), not ") +
                       SvfStateName(nState);
            return false;
        }
    }
    return true;
}

bool ReadCommand(const std::string& text, std::vector<SvfDigits>& values, SvfCommand& command,
                 std::string& strError)
{
    std::vector<Word> words;
    if (!SplitWords(text, values, words, strError))
        return false;
    if (words.empty() || words[0].bValue)
    {
        strError = "a command was expected";
        return false;
    }
    const std::string& strName = words[0].text;
    for (const ScanName& scan : SCANS)
    {
        if (strName == scan.pszName)
        {
            command.kind = scan.kind;
            return ReadScan(words, values, command, strError);
        }
    }
    if (strName == "ENDIR" || strName == "ENDDR")
    {
        command.kind = strName == "ENDIR" ? SvfCommandKind::EndIr : SvfCommandKind::EndDr;
        int nState = -1;
        if (words.size() != 2 || !ReadState(words[1], nState, strError) || !IsStable(nState))
        {
            strError = strName + " takes one stable state: RESET, IDLE, DRPAUSE or IRPAUSE";
            return false;
        }
        command.states = {nState};
        return true;
    }
    if (strName == "STATE")
    {
        command.kind = SvfCommandKind::State;
        for (size_t i = 1; i < words.size(); ++i)
        {
            int nState = -1;
            if (!ReadState(words[i], nState, strError))
                return false;
            command.states.push_back(nState);
        }
        if (command.states.empty() || !IsStable(command.states.back()))
        {
            strError = "STATE ends in a stable state: RESET, IDLE, DRPAUSE or IRPAUSE";
            return false;
        }
        return true;
    }
    if (strName == "RUNTEST")
    {
        command.kind = SvfCommandKind::RunTest;
        return ReadRunTest(words, command, strError);
    }
    if (strName == "FREQUENCY")
    {
        command.kind = SvfCommandKind::Frequency;
        if (words.size() == 1)
            return true;
        if (words.size() == 3 && Number(words[1], command.dMinTime) && command.dMinTime > 0 && words[2].text == "HZ")
            return true;
        strError = "FREQUENCY's hertz, as FREQUENCY 1E6 HZ, was expected";
        return false;
    }
    if (strName == "TRST")
    {
        command.kind = SvfCommandKind::Trst;
        if (words.size() == 2 && (words[1].text == "ON" || words[1].text == "OFF" || words[1].text == "Z" ||
                                  words[1].text == "ABSENT"))
        {
            command.strWord = words[1].text;
            return true;
        }
        strError = "TRST takes ON, OFF, Z or ABSENT";
        return false;
    }
    if (strName == "PIO" || strName == "PIOMAP")
    {
        strError = strName + " is not played: MORVA drives no parallel vectors, only the TAP";
        return false;
    }
    strError = "an SVF command (SIR, SDR, HIR, HDR, TIR, TDR, ENDIR, ENDDR, STATE, RUNTEST, FREQUENCY, TRST) was "
               "expected, not \"" + strName + "\"";
    return false;
}

} // namespace

const char* SvfScanName(SvfCommandKind kind)
{
    for (const ScanName& scan : SCANS)
    {
        if (scan.kind == kind)
            return scan.pszName;
    }
    return "";
}

const char* SvfStateName(int nState)
{
    for (const StateName& state : STATES)
    {
        if (state.nState == nState)
            return state.pszName;
    }
    return "UNKNOWN";
}

int SvfState(const std::string& strName)
{
    for (const StateName& state : STATES)
    {
        if (Upper(strName) == state.pszName)
            return state.nState;
    }
    return -1;
}

std::string SvfHex(const CBits& bits)
{
    const size_t nDigits = (bits.size() + 3) / 4;
    std::string text(nDigits, '0');
    const uint8_t* pBytes = bits.Bytes();
    for (size_t nDigit = 0; nDigit < nDigits; ++nDigit)
        text[nDigits - 1 - nDigit] = "0123456789ABCDEF"[(pBytes[nDigit / 2] >> (nDigit & 1) * 4) & 15];
    return text;
}


CSvfReader::~CSvfReader()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

bool CSvfReader::Open(const std::string& strPath, std::string& strError)
{
    m_hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        strError = strPath + ": the file cannot be opened.";
        return false;
    }
    return true;
}

void CSvfReader::OpenText(const std::string& text)
{
    m_buffer = text;
    m_bText = true;
}

bool CSvfReader::Fill()
{
    if (m_bText || m_bEnd || m_hFile == INVALID_HANDLE_VALUE)
        return false;
    m_buffer.resize(BUFFER_BYTES);
    DWORD dwRead = 0;
    if (::ReadFile(m_hFile, &m_buffer[0], static_cast<DWORD>(BUFFER_BYTES), &dwRead, nullptr) == FALSE || dwRead == 0)
    {
        m_buffer.clear();
        m_bEnd = true;
        return false;
    }
    m_buffer.resize(dwRead);
    m_nAt = 0;
    return true;
}

int CSvfReader::Get()
{
    if (m_nAt >= m_buffer.size() && !Fill())
        return -1;
    const char c = m_buffer[m_nAt++];
    ++m_nPosition;
    if (c == '\n')
        ++m_nLine;
    return static_cast<unsigned char>(c);
}

bool CSvfReader::SkipComment(int c)
{
    const bool bComment = c == '!' || (c == '/' && m_nAt < m_buffer.size() && m_buffer[m_nAt] == '/') ||
                          (c == '/' && m_nAt >= m_buffer.size() && Fill() && m_buffer[m_nAt] == '/');
    while (bComment && c >= 0 && c != '\n')
        c = Get();
    return bComment;
}

void CSvfReader::ReadValue(SvfDigits& value)
{
    // Up to ')' or, where it is missing, the statement's ';', left for the statement to end on.
    for (;;)
    {
        if (m_nAt >= m_buffer.size() && !Fill())
            return;
        const char cNext = m_buffer[m_nAt];
        if (cNext == ';')
            return;
        const int c = Get();
        if (c == ')' || SkipComment(c) || isspace(c) != 0)
        {
            if (c == ')')
            {
                value.strStart += ')';
                return;
            }
            continue;
        }
        int nDigit = -1;
        if (c >= '0' && c <= '9')
            nDigit = c - '0';
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            nDigit = (c | 0x20) - 'a' + 10;
        if (nDigit < 0)
            value.cBad = static_cast<char>(c);
        if (value.strStart.size() < 32)
            value.strStart += static_cast<char>(c);
        if (nDigit < 0)
            continue;
        if (value.nDigits % (SvfDigits::PIECE_BYTES * 2) == 0)
        {
            // The first piece grows as a short value needs; the others are taken whole.
            value.pieces.emplace_back();
            if (value.pieces.size() > 1)
                value.pieces.back().reserve(SvfDigits::PIECE_BYTES);
        }
        std::vector<uint8_t>& piece = value.pieces.back();
        if ((value.nDigits & 1) == 0)
            piece.push_back(static_cast<uint8_t>(nDigit));
        else
            piece.back() = static_cast<uint8_t>(piece.back() | (nDigit << 4));
        ++value.nDigits;
    }
}

bool CSvfReader::ReadStatement(std::string& text, std::vector<SvfDigits>& values, int& nLine, std::string& strError)
{
    text.clear();
    values.clear();
    nLine = 0;
    for (;;)
    {
        const int c = Get();
        if (c < 0)
        {
            if (nLine != 0)
                strError = std::to_string(nLine) + ": \";\" was expected before the end of the file";
            return false;
        }
        // Comments: ! or // to the end of the line.
        if (SkipComment(c))
        {
            text += ' ';
            continue;
        }
        if (c == ';')
        {
            nLine = nLine != 0 ? nLine : m_nLine;
            return true;
        }
        if (nLine == 0 && isspace(c) == 0)
            nLine = m_nLine;
        if (c == '(')
        {
            values.emplace_back();
            ReadValue(values.back());
            // The closing parenthesis is kept only where the file has it.
            const bool bClosed = !values.back().strStart.empty() && values.back().strStart.back() == ')';
            if (bClosed)
                values.back().strStart.pop_back();
            text += "(" + std::to_string(values.size() - 1) + (bClosed ? ")" : "");
            continue;
        }
        text += static_cast<char>(c);
    }
}

bool CSvfReader::Next(SvfCommand& command, std::string& strError)
{
    strError.clear();
    int nLine = m_nLine;
    try
    {
        std::string text;
        std::vector<SvfDigits> values;
        command = SvfCommand();
        if (!ReadStatement(text, values, nLine, strError))
            return false;
        command.nLine = nLine;
        if (!ReadCommand(text, values, command, strError))
        {
            strError = std::to_string(nLine) + ": " + strError + ".";
            return false;
        }
    }
    catch (const std::bad_alloc&)
    {
        // A statement or value larger than the memory there is: refused where it starts.
        command = SvfCommand();
        strError = std::to_string(nLine) + ": this command needs more memory than MORVA can have.";
        return false;
    }
    return true;
}

namespace {

std::string ValueText(const char* pszName, const CBits& bits)
{
    if (bits.empty())
        return "";
    // Past 32 digits, the last 32: the first bits shifted.
    const std::string hex = bits.size() > 128 ? "..." + SvfHex(bits.Slice(0, 128)) : SvfHex(bits);
    return std::string(" ") + pszName + " (" + hex + ")";
}

std::string StatesText(const std::vector<int>& states)
{
    std::string text;
    for (int nState : states)
        text += std::string(" ") + SvfStateName(nState);
    return text;
}

} // namespace

std::string SvfCommandText(const SvfCommand& command)
{
    switch (command.kind)
    {
    case SvfCommandKind::Sir:
    case SvfCommandKind::Sdr:
    case SvfCommandKind::Hir:
    case SvfCommandKind::Hdr:
    case SvfCommandKind::Tir:
    case SvfCommandKind::Tdr:
        return std::string(SvfScanName(command.kind)) + " " + std::to_string(command.scan.nLength) +
               ValueText("TDI", command.scan.tdi) + ValueText("TDO", command.scan.tdo) +
               ValueText("MASK", command.scan.mask) + ValueText("SMASK", command.scan.smask);
    case SvfCommandKind::EndIr:
        return "ENDIR" + StatesText(command.states);
    case SvfCommandKind::EndDr:
        return "ENDDR" + StatesText(command.states);
    case SvfCommandKind::State:
        return "STATE" + StatesText(command.states);
    case SvfCommandKind::RunTest:
    {
        std::string text = "RUNTEST";
        if (command.states[0] >= 0)
            text += std::string(" ") + SvfStateName(command.states[0]);
        if (command.nCount > 0)
            text += " " + std::to_string(command.nCount) + (command.bSystemClock ? " SCK" : " TCK");
        if (command.dMinTime > 0)
        {
            char time[32];
            snprintf(time, sizeof(time), " %g SEC", command.dMinTime);
            text += time;
        }
        if (command.states[1] >= 0)
            text += std::string(" ENDSTATE ") + SvfStateName(command.states[1]);
        return text;
    }
    case SvfCommandKind::Frequency:
    {
        char text[48];
        snprintf(text, sizeof(text), "FREQUENCY %g HZ", command.dMinTime);
        return command.dMinTime > 0 ? std::string(text) : std::string("FREQUENCY");
    }
    case SvfCommandKind::Trst:
    default:
        return "TRST " + command.strWord;
    }
}
