// A board's description beside its netlist: which reference designator is which device on the
// chain, the chips' BSDL files, and for a simulated board the faults planted in it. Written as
//
//     [board]
//     chain=U3,U7            ; from TDI (or U3=1 and U7=2, one a line)
//     netlist=board.net      ; relative to this file
//     [bsdl]
//     U3=chipA.bsd
//     [faults]
//     open=U7.12
//     short=SDA,SCL          ; wired-AND; short=SDA,SCL,or for wired-OR
//     stuck0=RESET_N
//     stuck1=LED2
//     pullup=SPARE1          ; pulldown= as well
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "Netlist.h"

enum class PlantedKind
{
    Open,
    Short,
    Stuck0,
    Stuck1,
    Pullup,
    Pulldown,
};

struct PlantedFault
{
    PlantedKind kind;
    std::vector<std::string> names;  // the pin (ref, pin) of an open; the nets of the others
    bool bOr = false;                // a short that is wired-OR
    int nLine = 0;
};

struct BoardFile
{
    std::vector<std::pair<std::string, size_t>> refs;    // "U3", device 1 (from TDI)
    size_t nChainLength = 0;                             // chain= names this many devices; 0: not given
    std::string netlist;                                 // the path, as reachable from here
    std::vector<std::pair<std::string, std::string>> bsdl;  // ref, path as reachable from here
    std::vector<PlantedFault> faults;

    // The device a reference designator is, any case; 0 for none.
    size_t DeviceOf(const std::string& ref) const;
    // The BSDL file given for a reference designator, any case; empty for none.
    std::string BsdlOf(const std::string& ref) const;
};

// The text of a board file named strName, its relative paths taken from strFolder (empty: as
// they are). bRefsOnly: the settings file, of whose sections only [board] is read, and there only
// REF=N. False, with "NAME:LINE: what is wrong", where the text cannot be taken; the file is then
// empty.
bool ParseBoardFile(const std::string& text, const std::string& strName, const std::string& strFolder, bool bRefsOnly,
                    BoardFile& board, std::string& strError);

// The board as strPath describes it (a netlist, or a board file naming one) with its netlist read;
// refs ("U3=1", as --ref gives them) name chips too, and where neither names any, the settings
// file's [board] does. False, with the file, line and what is wrong.
bool ReadBoardDescription(const std::string& strPath, const std::vector<std::string>& refs,
                          const std::string& strSettingsPath, BoardFile& board, Netlist& netlist, std::string& strError);

// "U3=1" as --ref gives it. False, with why.
bool ParseRef(const std::string& text, std::pair<std::string, size_t>& ref, std::string& strError);
// Adds a reference designator to the board; false, with why, where the ref or the device is
// named already for another.
bool AddRef(BoardFile& board, const std::pair<std::string, size_t>& ref, std::string& strError);

// The folder of a path, with its separator ("boards/" for "boards/a.ini"); empty for none.
std::string FolderOf(const std::string& strPath);
// Whether a text is a board file rather than a netlist: its first line that says anything
// starts a section.
bool LooksLikeBoardFile(const std::string& text);
