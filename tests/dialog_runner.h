// Runs the main window modally, as the program does, and a test body inside its message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "stepper/StepperDlg.h"

// Runs body once the window is up, then closes it as Escape does. Returns DoModal's result.
INT_PTR RunDialog(CStepperDlg& dlg, const std::function<void()>& body);

// A button's notification as the button itself sends it.
void Click(CStepperDlg& dlg, UINT nID, UINT nCode = BN_CLICKED);

// Types the value into a value list (IDC_DR_VALUE or IDC_IR_VALUE), as the edit field tells of
// it, and clicks that list's SEND.
void SendValue(CStepperDlg& dlg, UINT nList, const char* pszValue);

// While it lives, answers each message box that a command opens inside its own loop with OK (a
// question with Yes), and keeps the box's caption and text.
struct AnsweredBox
{
    std::string strCaption;
    std::string strText;
};
class CBoxAnswerer
{
public:
    explicit CBoxAnswerer(CStepperDlg& dlg);
    ~CBoxAnswerer();
    CBoxAnswerer(const CBoxAnswerer&) = delete;
    CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;

private:
    UINT_PTR m_nTimer;
};
// The boxes answered since the last CBoxAnswerer was made.
std::vector<AnsweredBox>& AnsweredBoxes();

// A state button one clock can reach now, chosen at random; the reset only now and then.
UINT RandomLegalButton(CStepperDlg& dlg, std::mt19937& random);

// Counts the 5 ms waits instead of sleeping them, for the life of the object.
class CCountedWaits
{
public:
    CCountedWaits();
    ~CCountedWaits();
    static long Count();
    static void Reset();
};

std::string WindowText(HWND hWnd);

// The window's controls found by their IDs, as the window made them.
template <class T = CWnd>
T& Item(CStepperDlg& dlg, UINT nID)
{
    return *static_cast<T*>(CWnd::FromHandlePermanent(::GetDlgItem(dlg.m_hWnd, nID)));
}
// A trace row as it is shown (IDC_TRACE_NAME1 ... IDC_TRACE_NAME3), one column a clock.
CString Row(CStepperDlg& dlg, UINT nID);
// How many clocks the trace rows show.
int TraceWidth(CStepperDlg& dlg);
// The values a value list (IDC_DR_VALUE or IDC_IR_VALUE) offers, in its order.
std::vector<std::string> ListItems(CStepperDlg& dlg, UINT nID);
// Whether the state button has the highlight colour.
bool IsHighlighted(CStepperDlg& dlg, UINT nID);
// A new empty file in the temporary folder, its name starting with the prefix.
std::string TempPath(const char* pszPrefix);
std::vector<std::string> HistoryLines(CStepperDlg& dlg);

// A reset, then the data register shifted out as a person clicks it (32 clocks in Shift-DR),
// ending in Exit1-DR.
void ClickIdcodeWalk(CStepperDlg& dlg);
// The same walk in a window of its own; gives the device's IDCODE as the TDO row shows it.
uint32_t ClickOutIdcode();
