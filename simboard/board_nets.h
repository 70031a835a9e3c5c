// The wiring of a simulated board: nets joining the devices' pins, so that one device's output
// cell drives what another's input cell reads, and the faults a board can have planted in it: a
// pin lifted off its net, two nets shorted (wired-AND or wired-OR), a net stuck at 0 or 1, a
// pull-up or pull-down. A net nothing drives floats: what it reads changes from one capture to
// the next without a pattern.
#pragma once

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "jtag_device.h"

struct SimNetPin
{
    size_t nDevice;
    int nInput;   // the cell that reads the pin; -1: none
    int nOutput;  // the cell that drives it; -1: none
};

class CSimNets
{
public:
    // A new net, and a pin joined to it; the pin's number on the board is returned.
    size_t AddNet();
    size_t AddPin(size_t nNet, const SimNetPin& pin);

    void Lift(size_t nPin) { m_pins[nPin].bOpen = true; }
    void Short(size_t nNet, size_t nOther, bool bOr);
    void Stick(size_t nNet, bool bLevel) { m_nets[nNet].nStuck = bLevel ? 1 : 0; }
    void Pull(size_t nNet, bool bUp) { m_nets[nNet].nPull = bUp ? 1 : 0; }

    // The board's devices read their pins through the nets from now on; the nets must outlive
    // that use.
    void Wire(CJtagDevice& board);
    // What an input cell reads: 0 or 1, or -1 for a cell on no net.
    int Level(const CJtagDevice& board, size_t nDevice, size_t nCell) const;

private:
    struct Pin
    {
        SimNetPin pin;
        size_t nNet;
        bool bOpen = false;
    };
    struct Net
    {
        std::vector<size_t> pins;
        size_t nJoined;    // the first net of those shorted together: itself when none
        std::vector<size_t> joined;  // the first net's: every net shorted to it, itself first
        bool bOr = false;  // shorted as wired-OR
        int nStuck = -1;
        int nPull = -1;
    };

    size_t Joined(size_t nNet) const;

    std::vector<Pin> m_pins;
    std::vector<Net> m_nets;
    std::map<std::pair<size_t, int>, size_t> m_byInput;  // (device, input cell): pin
};
