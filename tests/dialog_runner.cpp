#include "dialog_runner.h"

#include "recording_port.h"
#include "platform/system.h"
#include "ports/sim_port.h"
#include "panel/TapTable.h"

namespace {

// The windows the tests open drive the simulated board unless a test installs another port.
const bool s_bSimulatedBoard = (SetCablePort(&SimulatedPort()), true);

struct PendingRun
{
    CStepperDlg* pDlg;
    const std::function<void()>* pBody;
    UINT_PTR nTimer;
};

PendingRun g_run;
long g_nWaits = 0;
std::vector<AnsweredBox> g_boxes;
HWND g_hMain = nullptr;

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
{
    // A message box's text is the control 0xFFFF; the main window and the chain window have
    // statics of that ID too.
    if (hWnd != g_hMain && ::IsWindowVisible(hWnd) != FALSE && ::GetDlgItem(hWnd, 0xFFFF) != nullptr &&
        ::GetDlgItem(hWnd, IDC_CHAIN_LIST) == nullptr && ::GetDlgItem(hWnd, IDC_PINS_LIST) == nullptr)
        *reinterpret_cast<HWND*>(lParam) = hWnd;
    return TRUE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND hBox = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&hBox));
    if (hBox == nullptr)
        return;
    g_boxes.push_back({WindowText(hBox), WindowText(::GetDlgItem(hBox, 0xFFFF))});
    // A question is answered yes.
    ::PostMessageW(hBox, WM_COMMAND, ::GetDlgItem(hBox, IDYES) != nullptr ? IDYES : IDOK, 0);
}

void CountWait(DWORD)
{
    ++g_nWaits;
}

void CALLBACK RunBody(HWND, UINT, UINT_PTR, DWORD)
{
    ::KillTimer(nullptr, g_run.nTimer);
    (*g_run.pBody)();
    g_run.pDlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace

INT_PTR RunDialog(CStepperDlg& dlg, const std::function<void()>& body)
{
    g_run.pDlg = &dlg;
    g_run.pBody = &body;
    // A window no cable was handed to drives the tests' cable.
    if (&dlg.Tap().Cable() == &NoCable())
        dlg.Tap().SetCable(&TestCable());
    // A thread timer fires from the dialog's own loop, after the window is shown and idle.
    g_run.nTimer = ::SetTimer(nullptr, 0, 1, &RunBody);
    return dlg.DoModal();
}

void Click(CStepperDlg& dlg, UINT nID, UINT nCode)
{
    HWND hButton = ::GetDlgItem(dlg.m_hWnd, static_cast<int>(nID));
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(nID, nCode), reinterpret_cast<LPARAM>(hButton));
}

void SendValue(CStepperDlg& dlg, UINT nList, const char* pszValue)
{
    CComboBox& list = nList == IDC_DR_VALUE ? Item<CComboBox>(dlg, IDC_DR_VALUE) : Item<CComboBox>(dlg, IDC_IR_VALUE);
    list.SetWindowText(pszValue);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(nList, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(list.m_hWnd));
    Click(dlg, nList == IDC_DR_VALUE ? IDC_SEND_DR : IDC_SEND_IR);
}

std::string TempPath(const char* pszPrefix)
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    char file[MAX_PATH] = {};
    ::GetTempFileNameA(folder, pszPrefix, 0, file);
    return file;
}

std::string WindowText(HWND hWnd)
{
    char buffer[1024] = {};
    ::GetWindowTextA(hWnd, buffer, sizeof(buffer));
    return buffer;
}

CString Row(CStepperDlg& dlg, UINT nID)
{
    return CString(WindowText(::GetDlgItem(dlg.m_hWnd, nID)).c_str());
}

int TraceWidth(CStepperDlg& dlg)
{
    return Row(dlg, IDC_TRACE_TMS).GetLength();
}

std::vector<std::string> ListItems(CStepperDlg& dlg, UINT nID)
{
    std::vector<std::string> items;
    CComboBox& list = Item<CComboBox>(dlg, nID);
    for (int i = 0; i < list.GetCount(); ++i)
    {
        char buffer[1024] = {};
        list.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        items.push_back(buffer);
    }
    return items;
}

bool IsHighlighted(CStepperDlg& dlg, UINT nID)
{
    return Item<CColorButton>(dlg, nID).m_crFace == ::GetSysColor(COLOR_ACTIVECAPTION);
}

void ClickIdcodeWalk(CStepperDlg& dlg)
{
    Click(dlg, IDC_TEST_LOGIC_RESET);
    for (UINT nID : {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR})
        Click(dlg, nID);
    for (int i = 0; i < 32; ++i)
        Click(dlg, IDC_SHIFT_DR);
    Click(dlg, IDC_EXIT1_DR);
}

uint32_t ClickOutIdcode()
{
    CStepperDlg dlg;
    std::string tdo;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        ClickIdcodeWalk(dlg);
        tdo = std::string(Row(dlg, IDC_TRACE_TDO));
    });
    // The clock into Shift-DR shows the bit before the shift; the next 32 show the IDCODE.
    uint32_t idcode = 0;
    for (int bit = 0; bit < 32; ++bit)
        idcode |= static_cast<uint32_t>(tdo[tdo.size() - 32 + static_cast<size_t>(bit)] == '1') << bit;
    return idcode;
}

std::vector<std::string> HistoryLines(CStepperDlg& dlg)
{
    std::vector<std::string> lines;
    const int nCount = Item<CHistoryListBox>(dlg, IDC_HISTORY).GetCount();
    for (int i = 0; i < nCount; ++i)
    {
        char buffer[64] = {};
        Item<CHistoryListBox>(dlg, IDC_HISTORY).SendMessage(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        lines.push_back(buffer);
    }
    return lines;
}

UINT RandomLegalButton(CStepperDlg& dlg, std::mt19937& random)
{
    std::vector<UINT> enabled;
    for (UINT nID : STATE_BUTTONS)
    {
        if (nID != IDC_TEST_LOGIC_RESET && Item<CColorButton>(dlg, nID).IsWindowEnabled())
            enabled.push_back(nID);
    }
    if (enabled.empty() || random() % 50 == 0)
        return IDC_TEST_LOGIC_RESET;
    return enabled[random() % enabled.size()];
}

CBoxAnswerer::CBoxAnswerer(CStepperDlg& dlg)
{
    g_boxes.clear();
    g_hMain = dlg.m_hWnd;
    m_nTimer = ::SetTimer(nullptr, 0, 20, &AnswerBox);
}

CBoxAnswerer::~CBoxAnswerer()
{
    ::KillTimer(nullptr, m_nTimer);
}

std::vector<AnsweredBox>& AnsweredBoxes()
{
    return g_boxes;
}

CCountedWaits::CCountedWaits()
{
    AfxSetSleep(&CountWait);
}

CCountedWaits::~CCountedWaits()
{
    AfxSetSleep(nullptr);
}

long CCountedWaits::Count()
{
    return g_nWaits;
}

void CCountedWaits::Reset()
{
    g_nWaits = 0;
}
