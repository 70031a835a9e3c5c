#include "Vcd.h"

#include <windows.h>

#include "../platform/codepage.h"
#include "../tap/TapStates.h"
#include "version.h"

namespace {

std::string Describe(const char* pszWhat, const std::string& strPath)
{
    const DWORD dwError = ::GetLastError();
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0, text,
                     sizeof(text), nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    if (reason.empty())
        reason = "error " + std::to_string(dwError);
    return std::string(pszWhat) + " " + strPath + ": " + reason + ".";
}

bool WriteAll(HANDLE hFile, const std::string& text)
{
    DWORD dwWritten = 0;
    return ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr) != FALSE &&
           dwWritten == text.size();
}

// The state as a four-bit register, coded as the example controller of IEEE 1149.1 codes it, so
// that every reader of VCD takes it; GTKWave names the codes through the states file.
int StateCode(int nState)
{
    switch (nState)
    {
    case STATE_TEST_LOGIC_RESET: return 0xF;
    case STATE_RUN_TEST_IDLE: return 0xC;
    case STATE_SELECT_DR: return 0x7;
    case STATE_CAPTURE_DR: return 0x6;
    case STATE_SHIFT_DR: return 0x2;
    case STATE_EXIT1_DR: return 0x1;
    case STATE_PAUSE_DR: return 0x3;
    case STATE_EXIT2_DR: return 0x0;
    case STATE_UPDATE_DR: return 0x5;
    case STATE_SELECT_IR: return 0x4;
    case STATE_CAPTURE_IR: return 0xE;
    case STATE_SHIFT_IR: return 0xA;
    case STATE_EXIT1_IR: return 0x9;
    case STATE_PAUSE_IR: return 0xB;
    case STATE_EXIT2_IR: return 0x8;
    case STATE_UPDATE_IR: return 0xD;
    default: return -1;
    }
}

// The four wires of STATE, bit 3 first: "STATE [3]" to "STATE [0]", identifiers % & ' (.
const char STATE_IDS[] = "%&'(";

std::string StateValue(int nState)
{
    const int nCode = StateCode(nState);
    std::string text;
    for (int nBit = 3; nBit >= 0; --nBit)
        text += std::string(1, nCode < 0 ? 'x' : (nCode >> nBit) & 1 ? '1' : '0') + STATE_IDS[3 - nBit] + "\n";
    return text;
}

SHOWN_PATH s_pfnShownPath = nullptr;

std::string Shown(const std::string& strPath)
{
    return s_pfnShownPath != nullptr ? s_pfnShownPath(strPath) : strPath;
}

bool WriteSmallFile(const std::string& strPath, const std::string& text, std::string& strError)
{
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        strError = Describe("Could not create", strPath);
        return false;
    }
    const bool bWritten = WriteAll(hFile, text);
    if (::CloseHandle(hFile) == FALSE || !bWritten)
    {
        strError = Describe("Could not write", strPath);
        ::DeleteFileA(strPath.c_str());
        return false;
    }
    return true;
}

// The states file and GTKWave's save file beside the dump.
bool WriteCompanions(const std::string& strVcdPath, std::string& strError)
{
    return WriteSmallFile(StatesFilePath(strVcdPath), StatesFileText(), strError) &&
           WriteSmallFile(GtkwaveFilePath(strVcdPath), GtkwaveFileText(strVcdPath), strError);
}

} // namespace

void SetShownPath(SHOWN_PATH pfnShownPath)
{
    s_pfnShownPath = pfnShownPath;
}

std::string CompanionPath(const std::string& strVcdPath, const char* pszExtension)
{
    const size_t nDot = strVcdPath.size() >= 4 ? strVcdPath.size() - 4 : std::string::npos;
    if (nDot != std::string::npos && lstrcmpiA(strVcdPath.c_str() + nDot, ".vcd") == 0)
        return strVcdPath.substr(0, nDot) + pszExtension;
    return strVcdPath + pszExtension;
}

std::string StatesFilePath(const std::string& strVcdPath)
{
    return CompanionPath(strVcdPath, ".states.txt");
}

std::string GtkwaveFilePath(const std::string& strVcdPath)
{
    return CompanionPath(strVcdPath, ".gtkw");
}

std::string GtkwaveFileText(const std::string& strVcdPath)
{
    // The wires one a row, then the four state wires joined into STATE, in hex (0x22) and named
    // through translate file 1 (0x2000).
    return "[dumpfile] \"" + Shown(strVcdPath) + "\"\n"
           "[savefile] \"" + Shown(GtkwaveFilePath(strVcdPath)) + "\"\n"
           "@28\njtag.TCK\njtag.TMS\njtag.TDI\njtag.TDO\n"
           "@2022\n"
           "^1 " + Shown(StatesFilePath(strVcdPath)) + "\n"
           "#{jtag.STATE} jtag.STATE[3] jtag.STATE[2] jtag.STATE[1] jtag.STATE[0]\n";
}

std::string StatesFileText()
{
    std::string text = "# The TAP states of STATE in a MORVA trace, for GTKWave: select STATE, then\n"
                       "# Edit > Data Format > Translate Filter File > Enable and Select, and add this file.\n";
    for (int nState = STATE_TEST_LOGIC_RESET; nState <= STATE_UPDATE_IR; ++nState)
    {
        const int nCode = StateCode(nState);
        if (nCode >= 0)
            text += std::string(1, "0123456789ABCDEF"[nCode]) + " " + TapStateName(nState) + "\n";
    }
    return text;
}

std::string CVcdWriter::Header(const std::string& strDate, uint64_t nFirstClock)
{
    return "$date " + strDate + " $end\n" + "$version MORVA " + MORVA_VERSION_STRING + " $end\n" +
           "$comment the session from clock " + std::to_string(nFirstClock) + " on $end\n" +
           "$comment STATE [3] to STATE [0]: the TAP state coded as in IEEE 1149.1's example controller; "
           "the .states.txt file beside this one names the codes, and GTKWave shows them by name with the "
           ".gtkw file $end\n" +
           "$timescale 1 us $end\n"
           "$scope module jtag $end\n"
           "$var wire 1 ! TCK $end\n"
           "$var wire 1 \" TMS $end\n"
           "$var wire 1 # TDI $end\n"
           "$var wire 1 $ TDO $end\n"
           "$var wire 1 % STATE [3] $end\n"
           "$var wire 1 & STATE [2] $end\n"
           "$var wire 1 ' STATE [1] $end\n"
           "$var wire 1 ( STATE [0] $end\n"
           "$upscope $end\n"
           "$enddefinitions $end\n"
           // TCK rests low; what the pins held before the first clock written is not known.
           "#0\n"
           "$dumpvars\n0!\nx\"\nx#\nx$\nx%\nx&\nx'\nx(\n$end\n";
}

std::string CVcdWriter::Clock(const ClockRecord& clock)
{
    // Times only move forward, a microsecond at least between changes.
    uint64_t nFall = clock.FallUs();
    if (nFall <= m_nLastTime)
        nFall = m_nLastTime + 1;
    const uint64_t nRise = nFall + (clock.nRiseUs > 0 ? clock.nRiseUs : 1);
    // A last time stamp after the rise: readers that sample the file see the level TCK rose to.
    m_nLastTime = nRise + 1;

    // TMS and TDI go out with TCK low; the device drives TDO on the falling edge, and the state
    // changes on the rising one.
    std::string text = "#" + std::to_string(nFall) + "\n0!\n";
    if (!m_bStarted || clock.Tms() != m_nTms)
        text += std::to_string(clock.Tms()) + "\"\n";
    if (!m_bStarted || clock.Tdi() != m_nTdi)
        text += std::to_string(clock.Tdi()) + "#\n";
    if (!m_bStarted || clock.Tdo() != m_nTdo)
        text += std::to_string(clock.Tdo()) + "$\n";
    text += "#" + std::to_string(nRise) + "\n1!\n" + StateValue(clock.nState) + "#" + std::to_string(m_nLastTime) + "\n";
    m_bStarted = true;
    m_nTms = clock.Tms();
    m_nTdi = clock.Tdi();
    m_nTdo = clock.Tdo();
    return text;
}

bool SaveVcd(const CSessionRecord& record, const std::string& strDate, const std::string& strPath,
             std::string& strError)
{
    CVcdWriter writer;
    if (!WriteCompanions(strPath, strError))
        return false;
    return SaveRecord(record, CVcdWriter::Header(strDate, record.FirstClock()),
                      [&](const ClockRecord& clock, std::string& text) { text += writer.Clock(clock); },
                      [](std::string&) {}, strPath, strError);
}

bool SaveRecord(const CSessionRecord& record, const std::string& strHeader, const RECORD_TEXT& clockText,
                const std::function<void(std::string& text)>& endText, const std::string& strPath,
                std::string& strError)
{
    const std::string strTemporary = strPath + ".part";
    HANDLE hFile = ::CreateFileA(strTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        strError = Describe("Could not create", strTemporary);
        return false;
    }
    bool bWritten = WriteAll(hFile, strHeader);
    std::string chunk;
    for (size_t i = 0; bWritten && i <= record.Count(); ++i)
    {
        if (i < record.Count())
            clockText(record.At(i), chunk);
        else
            endText(chunk);
        if (chunk.size() > 60000 || i == record.Count())
        {
            bWritten = WriteAll(hFile, chunk);
            chunk.clear();
        }
    }
    if (!bWritten)
        strError = Describe("Could not write", strTemporary);
    if (::CloseHandle(hFile) == FALSE && bWritten)
    {
        strError = Describe("Could not write", strTemporary);
        bWritten = false;
    }
    if (!bWritten)
    {
        ::DeleteFileA(strTemporary.c_str());
        return false;
    }
    if (!MoveOver(strTemporary, strPath, UsesWideWindows()))
    {
        strError = Describe("Could not replace", strPath);
        ::DeleteFileA(strTemporary.c_str());
        return false;
    }
    return true;
}

bool MoveOver(const std::string& strFrom, const std::string& strTo, bool bHasMoveFileEx)
{
    if (bHasMoveFileEx)
        return ::MoveFileExA(strFrom.c_str(), strTo.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    // Windows 95 has no MoveFileEx, and MoveFile moves onto no file: the old file steps aside
    // until the new one is in place, and comes back if it cannot be.
    const std::string strAside = strFrom + ".old";
    ::DeleteFileA(strAside.c_str());
    const bool bAside = ::MoveFileA(strTo.c_str(), strAside.c_str()) != FALSE;
    if (::MoveFileA(strFrom.c_str(), strTo.c_str()) == FALSE)
    {
        if (bAside)
            ::MoveFileA(strAside.c_str(), strTo.c_str());
        return false;
    }
    if (bAside)
        ::DeleteFileA(strAside.c_str());
    return true;
}

// Written through the system's own file calls, as the saved file is, so that a name means the
// same file to both; each clock is handed to the system at once.
bool CLiveVcd::Open(const std::string& strPath, const std::string& strDate, std::string& strError)
{
    m_hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        strError = Describe("Could not create the trace file", strPath);
        return false;
    }
    m_strPath = strPath;
    if (!WriteAll(m_hFile, CVcdWriter::Header(strDate, 0)))
    {
        strError = Describe("Could not write the trace file", strPath);
        Close();
        return false;
    }
    if (!WriteCompanions(strPath, strError))
    {
        Close();
        return false;
    }
    return true;
}

bool CLiveVcd::Append(const ClockRecord& clock, std::string& strError)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return true;
    if (!WriteAll(m_hFile, m_writer.Clock(clock)))
    {
        strError = Describe("Could not write the trace file", m_strPath) +
                   " It holds the session up to the clock before; nothing more is written to it.";
        Close();
        return false;
    }
    return true;
}

void CLiveVcd::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
