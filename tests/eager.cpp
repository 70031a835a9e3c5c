// The screenshots' reference: MORVASIM.EXE with every change painted at once, as the window
// system paints it when nothing holds the painting.
#include "stepper/StepperDlg.h"

namespace {

const bool s_bPaintEachChange = (CStepperDlg::s_bHoldPainting = false, true);

} // namespace
