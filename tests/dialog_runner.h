// Runs the main window modally, as the program does, and a test body inside its message loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "stepper/StepperDlg.h"

// Runs body once the window is up, then closes it as Escape does. Returns DoModal's result.
INT_PTR RunDialog(CStepperDlg& dlg, const std::function<void()>& body);

// A button's notification as the button itself sends it.
void Click(CStepperDlg& dlg, UINT nID, UINT nCode = BN_CLICKED);

std::string WindowText(HWND hWnd);
std::vector<std::string> HistoryLines(CStepperDlg& dlg);
