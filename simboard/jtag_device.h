// A simulated board: a chain of IEEE 1149.1 devices behind the parallel-port cable, one of them
// unless told otherwise.
//
// The devices see the data register's pins only while the cable-enable bit is set. It changes
// TAP state on rising TCK edges, drives TDO on falling edges in Shift-IR and Shift-DR only, and
// otherwise leaves TDO to its pull-up, so it reads 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>
#include <utility>

enum class TapState
{
    TestLogicReset,
    RunTestIdle,
    SelectDrScan,
    CaptureDr,
    ShiftDr,
    Exit1Dr,
    PauseDr,
    Exit2Dr,
    UpdateDr,
    SelectIrScan,
    CaptureIr,
    ShiftIr,
    Exit1Ir,
    PauseIr,
    Exit2Ir,
    UpdateIr,
};

const int TAP_STATE_COUNT = 16;

// The TAP controller's transition on one rising TCK edge.
TapState NextTapState(TapState state, bool tms);

// One TAP of a simulated chain.
struct SimTap
{
    int nIrLength;         // 2 to 64 bits
    uint64_t nIrCapture;   // what Capture-IR loads; bits 1..0 are 01 as 1149.1 asks
    uint64_t nIrIdcode;    // the IDCODE instruction, selected by a reset; every other code is BYPASS
    uint32_t nIdcode;      // 0: the device has no IDCODE register, and a reset selects BYPASS
};

// What a chip described cell by cell has beyond an IDCODE and BYPASS: instructions selecting
// registers of any length, and a boundary register on its pins. Its inputs change in a pattern,
// one step a capture: the k-th input reads bit k of how many captures there were.
enum class SimRegister
{
    Bypass,
    Idcode,
    Usercode,
    Boundary,  // SAMPLE and PRELOAD: the pins stay with the chip's own logic
    Extest,    // the boundary register, its latches driving the pins
    Data,      // a register of the chip's own, nLength bits, captured as zeros
};

struct SimInstruction
{
    uint64_t nOpcode;
    SimRegister reg;
    size_t nLength;  // Data only
};

struct SimCell
{
    enum Kind
    {
        Input,
        Output,
        Bidir,          // reads its pin and drives it
        Control,
        Internal,
    } kind;
    int nControl;       // Output, Bidir: the control cell, or -1 for always on
    bool bDisable;      // Control: the value that switches its outputs off
    int nDrivenBy;      // Input: the output cell on the same pin, or -1
    bool bCapturesLogic = false;  // Output, Control: a BC_1 cell, which captures the chip's own logic
                                  // (0 here), not the level its latch drives, as a BC_2 does
};

struct SimBoundary
{
    std::vector<SimInstruction> instructions;  // every other opcode selects BYPASS
    uint32_t nUsercode = 0;
    std::vector<SimCell> cells;  // cell 0 nearest TDO
};

class CJtagDevice
{
public:
    // Version 1, part 0x4D56, manufacturer 0x2A5 (all made up), and the mandatory 1 in bit 0.
    static constexpr uint32_t IDCODE = 0x14D5654B;

    static constexpr int IR_LENGTH = 4;
    static constexpr uint8_t IR_CAPTURE = 0x1;  // binary 0001: the two low bits 01 as 1149.1 asks
    static constexpr uint8_t IR_IDCODE = 0x2;
    static constexpr uint8_t IR_BYPASS = 0xF;   // every code but IR_IDCODE selects BYPASS

    // The cable's data-register bits the board takes (TDI, TCK, TMS, and the enable without which
    // it sees none of them), and the status bit its TDO drives.
    static constexpr uint8_t DATA_TDI = 0x01, DATA_TCK = 0x02, DATA_TMS = 0x04, DATA_ENABLE = 0x10;
    static constexpr uint8_t STATUS_TDO = 0x10;
    // Other status-register bits as an idle port with nothing but this cable on it reads them:
    // bits 0-3 (unused, nError) and 5-6 (paper out, nAck) high, bit 7 (inverted busy) low.
    static constexpr uint8_t STATUS_IDLE = 0x6F;

    // The one device above.
    CJtagDevice();
    // These devices, the first one's TDI the cable's, the last one's TDO the cable's.
    explicit CJtagDevice(const std::vector<SimTap>& chain);

    void WriteData(uint8_t value);
    uint8_t ReadStatus() const;

    TapState State() const { return m_state; }
    // The instruction of a device, counted from the TDI side from 0.
    uint64_t Instruction(size_t nDevice = 0) const { return m_taps[nDevice].instruction; }
    // Whether the last device drives TDO.
    bool TdoDriven() const { return m_taps.back().bDriven; }

    // Gives a device instructions and a boundary register; it is reset.
    void SetBoundary(size_t nDevice, const SimBoundary& boundary);
    // What an output cell puts on its pin: '0', '1', or 'Z' where its driver is off or the chip's
    // own logic (which drives nothing here) has the pins.
    char PinDriven(size_t nDevice, size_t nCell) const;
    // How many times the device's boundary register captured its pins.
    uint32_t Captures(size_t nDevice) const { return m_taps[nDevice].nCaptures; }
    size_t Devices() const { return m_taps.size(); }

    // What an input cell of a device reads where the board joins its pin to others: 0 or 1, or
    // -1 where the cell's pin is on no net (the device's own pattern then, as without a board).
    typedef std::function<int(size_t nDevice, size_t nCell)> PIN_LEVEL;
    void SetPinLevels(PIN_LEVEL level) { m_pinLevel = std::move(level); }

private:
    struct Tap
    {
        SimTap chip;
        SimBoundary boundary;
        uint64_t instruction = 0;
        uint64_t ir = 0;
        std::vector<unsigned char> dr;  // bit 0 nearest TDO
        std::vector<unsigned char> latches;  // the boundary cells' update latches
        uint32_t nCaptures = 0;
        bool bTdo = true;
        bool bDriven = false;
        SimInstruction Selected() const;
        void Capture(const std::function<int(size_t nCell)>& level);
        bool Enabled(size_t nCell) const;
    };

    void RisingEdge(bool tms, bool tdi);
    void FallingEdge();
    void Reset();

    TapState m_state = TapState::TestLogicReset;
    std::vector<Tap> m_taps;
    PIN_LEVEL m_pinLevel;
    bool m_enabled = false;
    bool m_tck = false;
};
