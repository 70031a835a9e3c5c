// The screenshots' reference: MORVASIM.EXE with every change painted at once, as the window
// system paints it when nothing holds the painting. Linked in place of the program's own hold.
#include "controls/PaintHold.h"

void CPaintHold::Hold()
{
}

void CPaintHold::MarkChanged(CWnd&)
{
}

void CPaintHold::Release()
{
}
