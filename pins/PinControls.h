// The pin controls left of the history: TMS and TDI drive their level at once, with TCK low, and
// hold it; TCK makes one clock with the levels shown, as a click makes it, and the state shown
// follows the diagram for that TMS; TDO reads the pin now, without a clock. After every step
// they show the levels driven and read.
#pragma once

#include "../controls/ColorButton.h"
#include "../controls/PaintHold.h"
#include "../engine/TapEngine.h"
#include "../platform/wnd.h"

class CPinControls
{
public:
    // A command of many clocks on the engine takes no click meanwhile.
    CPinControls(CTapEngine& tap, CPaintHold& paint) : m_tap(tap), m_paint(paint) {}

    void Exchange(CDataExchange* pDX);
    // Shown, enabled where the cable can hold a level, with the levels driven.
    void Show();
    void ShowLevels();
    // The TDO the last clock read, and the levels it drove.
    void ShowClock(unsigned char nTdo);
    // TCK clocks only where the state is known.
    void ShowStateKnown(bool bKnown);

    void OnTck();
    void OnTms();
    void OnTdi();
    void OnTdo();

private:
    CButton m_btnTck;
    CColorButton m_btnTms;
    CColorButton m_btnTdo;
    CColorButton m_btnTdi;
    void Drive(unsigned char nTms, unsigned char nTdi);

    CTapEngine& m_tap;
    CPaintHold& m_paint;
};
