// The board test: which of the netlist's nets the chips' boundary registers can drive and read,
// the patterns that give every such net a code of its own (the counting sequence, then its
// complement), and what the captures say of each net: good, open, shorted to another, or stuck.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../bsdl/BoundaryPins.h"
#include "Netlist.h"

// A chip on the chain that has a BSDL file: its reference designator on the board.
struct BoardChip
{
    std::string ref;     // "U3"
    size_t nDevice = 0;  // on the chain, 1 nearest TDI
    std::shared_ptr<const BsdlFile> pFile;
};

// One of a chip's pins, as BoundaryPins lists them.
struct BoardPin
{
    size_t nChip;
    size_t nPin;
};

enum class NetVerdict
{
    NotTested,
    Good,
    Open,
    Short,
    Stuck0,
    Stuck1,
};

struct BoardNet
{
    std::string name;
    std::vector<BoardPin> drivers;    // the scan pins that drive it, one at a time
    std::vector<BoardPin> receivers;  // the scan pins that read it
    std::string why;                  // why it is not tested; empty: tested
    uint32_t nCode = 0;               // its code over the patterns
    char cHold = 0;                   // '0' or '1': held there for a chip's compliance pin
    NetVerdict result = NetVerdict::NotTested;
    // What the test found on it, a phrase each: "DRIVER U1.11 -> RECEIVER U2.5", "shorted to SCL
    // (wired-AND)", "stuck at 0", "pulled up: reads 1 with nothing driving it".
    std::vector<std::string> findings;
};

struct BoardPlan
{
    std::vector<BoardChip> chips;
    std::vector<std::vector<BoundaryPin>> pins;  // each chip's
    std::vector<BoardNet> nets;                  // the netlist's, in its order
    size_t nCodeBits = 0;
    // For each pass, each net's driver (an index into its drivers), or -1 where it floats.
    std::vector<std::vector<int>> passes;

    size_t PatternsPerPass() const { return 2 * nCodeBits; }
    size_t Patterns() const { return passes.size() * PatternsPerPass(); }
    size_t Tested() const;
    // "U7.12" as the netlist names a chip's pin.
    std::string PinName(const BoardPin& pin) const;
};

// The plan for this netlist and these chips: each net's scan pins, whether it can be tested and
// why not, the codes and the passes. False, with why, where a chip's pins cannot be driven as the
// plan needs (a file whose safe values leave a driver's level to a guess).
bool PlanBoardTest(const Netlist& netlist, const std::vector<BoardChip>& chips, BoardPlan& plan, std::string& strError);

// The boundary register's bits of every chip for pattern nPattern (counted over all passes): the
// driven nets at their code's bit, every other cell at its safe value, receivers switched off.
bool PatternBoundaries(const BoardPlan& plan, size_t nPattern, std::vector<CBits>& bits, std::string& strError);
// Every chip's cells at their safe values, no pin driven: what goes in once the patterns are read.
std::vector<CBits> SafeBoundaries(const BoardPlan& plan);

struct BoardReport
{
    std::vector<std::string> faults;  // "open  NET  DRIVER U3.5 -> RECEIVER U7.12", ...
    std::vector<std::string> notes;   // pull-ups and pull-downs seen on undriven nets
    std::vector<BoardNet> nets;       // the plan's nets with their result
    size_t nTested = 0;
    size_t nUntestable = 0;

    // "N nets tested, M faults, K nets not testable".
    std::string Summary() const;
    // The nets as the window lists them: faulty first, then good, then those not tested.
    std::vector<const BoardNet*> NetsFaultyFirst() const;
};

// What the captures say: captures[k][c] is chip c's boundary register as captured after pattern k.
BoardReport DiagnoseBoard(const BoardPlan& plan, const std::vector<std::vector<CBits>>& captures);

// "open", "short", "stuck0", "stuck1", "good" or "not tested".
const char* NetVerdictName(NetVerdict result);
