// A chip's BSDL file (IEEE 1149.1's Boundary-Scan Description Language) as vendors publish it:
// its pins, its instructions and their opcodes, its IDCODE, its data registers and the boundary
// register cell by cell. Bit patterns are kept as the file writes them: the leftmost bit is the
// one nearest TDO's far end, so "0010" reads as MORVA's 4'b0010.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../tap/Bits.h"

enum class BsdlDirection
{
    In,
    Out,
    Inout,
    Buffer,
    Linkage,
};

struct BsdlPort
{
    std::string strName;
    BsdlDirection direction = BsdlDirection::In;
    bool bVector = false;           // bit_vector(nFirst to/downto nLast)
    int nFirst = 0;
    int nLast = 0;
    std::vector<std::string> pins;  // the package's pin for each element, in the range's order
};

enum class BsdlFunction
{
    Input,
    Clock,
    ObserveOnly,
    Output2,
    Output3,
    Control,
    ControlR,
    Bidir,
    Internal,
};

struct BsdlCell
{
    int nNumber = 0;          // 0: nearest TDO, shifted out first
    std::string strCell;      // BC_1, BC_2, ...
    std::string strPort;      // "PA(3)", "RESET_N"; "*" for none
    BsdlFunction function = BsdlFunction::Internal;
    char cSafe = 'X';         // '0', '1' or 'X'
    int nControl = -1;        // the cell that enables this output; -1: none
    char cDisable = 0;        // what the control cell holds to switch the output off
    std::string strResult;    // what the pin then is: Z, WEAK0, PULL1, ...
    int nLine = 0;
    // A merged cell, described twice: the input it also is (input, clock or observe_only) and
    // its port; the description above is the one that drives or controls.
    BsdlFunction alsoFunction = BsdlFunction::Internal;
    std::string strAlsoPort;
};

struct BsdlInstruction
{
    std::string strName;
    std::vector<std::string> opcodes;  // as many bits as the IR each
    std::string strRegister;           // BOUNDARY, BYPASS, DEVICE_ID or the file's own
};

struct BsdlRegister
{
    std::string strName;
    size_t nLength = 0;
};

struct BsdlFile
{
    std::string strPath;
    bool bFromFolder = false;  // found in a BSDL folder, not given by name
    std::string strEntity;
    std::string strPackage;  // PHYSICAL_PIN_MAP's default
    std::vector<BsdlPort> ports;
    size_t nIrLength = 0;
    std::string strIrCapture;                // IR bits, 0, 1 or X
    std::vector<BsdlInstruction> instructions;
    std::string strIdcode;                   // 32 bits with X, bit 31 first; empty: none
    std::string strUsercode;
    std::vector<BsdlRegister> registers;     // every register an instruction selects
    size_t nBoundaryLength = 0;
    std::vector<BsdlCell> cells;             // by cell number
    // COMPLIANCE_PATTERNS: the ports ("TEST_EN", "MODE(1)") the board must hold, and at what, for
    // the boundary register to have the pins; the first pattern the file gives.
    std::vector<std::pair<std::string, char>> compliance;

    // The instruction by name, any case; null for none.
    const BsdlInstruction* Instruction(const std::string& strName) const;
    // The instruction one of whose opcodes the bits are (bit 0 first, as shifted); null for none.
    const BsdlInstruction* InstructionOf(const CBits& bits) const;
    // The length of the register an instruction selects; 0 for none known.
    size_t RegisterLength(const BsdlInstruction& instruction) const;
    // Whether the IDCODE, and the IR capture, are what the file says, X bits matching anything.
    bool MatchesIdcode(uint32_t nIdcode) const;
    bool MatchesIrCapture(const CBits& bits) const;
    // "IDCODE  0010" as the IR list offers the instruction.
    static std::string ListEntry(const BsdlInstruction& instruction);
};

// A name in upper case. VHDL, and so BSDL, is read in any case, and the names of a board's parts,
// pins and nets are compared the same way: in upper case.
std::string UpperCase(std::string text);

// A pattern of 0, 1 and X as the file writes it, leftmost bit last, as bits to shift (bit 0
// first); X becomes 0.
CBits PatternBits(const std::string& strPattern);

enum class NamedInstruction
{
    Found,        // the bits are the instruction's opcode
    NoSuchName,   // the text names none of the file's instructions
    WrongOpcode,  // it names one, with an opcode that is not one of its own: why is said
};
// An instruction as a person gives it: "IDCODE" (its first opcode), or the IR list's line
// "IDCODE  00010" (that opcode of it); any case.
NamedInstruction InstructionByName(const BsdlFile& file, const std::string& text, CBits& bits,
                                   std::string& strError);

// Reads the file's text. False, with "NAME:LINE: what was expected", for a file that cannot be
// read; nothing of it is kept.
bool ParseBsdl(const std::string& strText, const std::string& strName, BsdlFile& file, std::string& strError);

// A whole file's text. False, with "PATH: the file cannot be opened." or "... read.".
bool ReadTextFile(const std::string& strPath, std::string& text, std::string& strError);

// The same from a file on disk.
bool ReadBsdlFile(const std::string& strPath, BsdlFile& file, std::string& strError);

// What --bsdl prints: the entity, IR length, IDCODE, instructions, registers and boundary length,
// one a line.
std::vector<std::string> DescribeBsdl(const BsdlFile& file);
