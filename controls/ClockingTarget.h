// What a window of its own that clocks the TAP (the pin view, the SVF window) asks of the main
// window, whose trace and history show its clocks.
#pragma once

class IClockingTarget
{
public:
    virtual ~IClockingTarget() {}
    // A SEND runs: no clock of another window's meanwhile.
    virtual bool IsBusy() = 0;
    // The clocks of a read, a drive or a step are shown once, at its end.
    virtual void HoldDisplay() = 0;
    virtual void ShowDisplay() = 0;
};
