// The session as a value change dump (IEEE 1364 VCD): wires TCK, TMS, TDI and TDO under the
// scope "jtag", and the TAP state as a four-bit code on the wires "STATE [3]" to "STATE [0]":
// every VCD reader takes single wires (sigrok's takes no wider ones), and GTKWave joins them into
// the vector STATE, whose codes the states file beside the dump names for its translate filter. One microsecond a time unit: only changes are written, so the
// 5 ms between clocks costs a number, not lines.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "SessionRecord.h"

// The states file of a dump: "trace.vcd" has "trace.states.txt"; and what it holds.
std::string StatesFilePath(const std::string& strVcdPath);
std::string StatesFileText();
// GTKWave's save file of a dump, "trace.gtkw": the dump, its wires, and STATE by name.
std::string GtkwaveFilePath(const std::string& strVcdPath);
std::string GtkwaveFileText(const std::string& strVcdPath);
// How a path is written into the save file, for GTKWave on this system to find it (a Windows
// path becomes a Linux one in the Linux program); as it is, until set.
typedef std::string (*SHOWN_PATH)(const std::string& strPath);
void SetShownPath(SHOWN_PATH pfnShownPath);

class CVcdWriter
{
public:
    // The header: the date the session began and the number of the first clock written.
    static std::string Header(const std::string& strDate, uint64_t nFirstClock);
    // What changes on one clock, after the clocks written before it.
    std::string Clock(const ClockRecord& clock);

private:
    bool m_bStarted = false;
    int m_nTms = 0;
    int m_nTdi = 0;
    int m_nTdo = 0;
    uint64_t m_nLastTime = 0;
};

// The whole record as one file, written under a temporary name beside the target and renamed,
// so that a failed save leaves nothing behind. False with what failed.
bool SaveVcd(const CSessionRecord& record, const std::string& strDate, const std::string& strPath,
             std::string& strError);

// Any file made of the record the same way: the header, then what each clock adds, then what the
// end adds. The text is written in pieces as it grows.
typedef std::function<void(const ClockRecord& clock, std::string& text)> RECORD_TEXT;
bool SaveRecord(const CSessionRecord& record, const std::string& strHeader, const RECORD_TEXT& clockText,
                const std::function<void(std::string& text)>& endText, const std::string& strPath,
                std::string& strError);

// The same file written while the session goes on, complete and flushed after every clock.
class CLiveVcd
{
public:
    CLiveVcd() = default;
    ~CLiveVcd() { Close(); }
    CLiveVcd(const CLiveVcd&) = delete;
    CLiveVcd& operator=(const CLiveVcd&) = delete;

    bool Open(const std::string& strPath, const std::string& strDate, std::string& strError);
    bool Append(const ClockRecord& clock, std::string& strError);
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    void Close();

private:
    std::string m_strPath;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CVcdWriter m_writer;
};

// Moves the file strFrom over strTo, replacing it. Without MoveFileEx (Windows 95 to Me) the old
// file is kept until the new one is in place: false leaves strTo as it was.
bool MoveOver(const std::string& strFrom, const std::string& strTo, bool bHasMoveFileEx);
