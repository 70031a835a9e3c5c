// How often a click paints each control: at most once, and a reset's six clocks once in all.
#include <gtest/gtest.h>

#include <map>

#include "dialog_runner.h"

namespace {

// Paints seen by the window procedures of this thread: a button's owner-draw request, a static
// text's colour request (sent once by every paint of it, including the one a new text causes
// at once) and the list box's WM_PAINT.
class CPaintSpy
{
public:
    explicit CPaintSpy(CStepperDlg& dlg) : m_dlg(dlg)
    {
        s_pSpy = this;
        m_hHook = ::SetWindowsHookExA(WH_CALLWNDPROC, &Watch, nullptr, ::GetCurrentThreadId());
    }
    ~CPaintSpy()
    {
        ::UnhookWindowsHookEx(m_hHook);
        s_pSpy = nullptr;
    }

    std::map<UINT, int> counts;

private:
    static LRESULT CALLBACK Watch(int nCode, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT* pMessage = reinterpret_cast<const CWPSTRUCT*>(lParam);
        CPaintSpy* pSpy = s_pSpy;
        if (nCode == HC_ACTION && pSpy != nullptr)
        {
            if (pMessage->message == WM_DRAWITEM && pMessage->hwnd == pSpy->m_dlg.m_hWnd)
                ++pSpy->counts[static_cast<UINT>(pMessage->wParam)];
            else if (pMessage->message == WM_CTLCOLORSTATIC && pMessage->hwnd == pSpy->m_dlg.m_hWnd)
                ++pSpy->counts[static_cast<UINT>(::GetDlgCtrlID(reinterpret_cast<HWND>(pMessage->lParam)))];
            else if (pMessage->message == WM_PAINT && pMessage->hwnd == Item<CHistoryListBox>(pSpy->m_dlg, IDC_HISTORY).m_hWnd)
                ++pSpy->counts[IDC_HISTORY];
        }
        return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    }

    static CPaintSpy* s_pSpy;
    CStepperDlg& m_dlg;
    HHOOK m_hHook;
};

CPaintSpy* CPaintSpy::s_pSpy = nullptr;

// Every state, each "1" button, and back to Run-Test/Idle.
const UINT WALK[] = {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR_1, IDC_SHIFT_DR, IDC_EXIT1_DR,
                     IDC_PAUSE_DR,      IDC_EXIT2_DR,  IDC_SHIFT_DR,   IDC_EXIT1_DR_1, IDC_UPDATE_DR, IDC_SELECT_DR,
                     IDC_SELECT_IR,     IDC_CAPTURE_IR, IDC_SHIFT_IR_1, IDC_SHIFT_IR,  IDC_EXIT1_IR,  IDC_PAUSE_IR,
                     IDC_EXIT2_IR,      IDC_SHIFT_IR,  IDC_EXIT1_IR_1, IDC_UPDATE_IR, IDC_RUN_TEST_IDLE};

const UINT ROW_IDS[] = {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3,
                        IDC_TRACE_TMS,   IDC_TRACE_TDI,   IDC_TRACE_TDO};

void ExpectEachPaintedAtMostOnce(const std::map<UINT, int>& counts, const char* pszWhat)
{
    for (const auto& count : counts)
        EXPECT_LE(count.second, 1) << pszWhat << ": control " << count.first << " painted " << count.second << " times";
    for (UINT nID : ROW_IDS)
        EXPECT_EQ(1, counts.count(nID) != 0 ? counts.at(nID) : 0) << pszWhat << ": row " << nID;
    EXPECT_EQ(1, counts.count(IDC_HISTORY) != 0 ? counts.at(IDC_HISTORY) : 0) << pszWhat << ": the history";
}

} // namespace

TEST(RepaintTest, EveryClickOfAWalkPaintsEachControlAtMostOnce)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        {
            CPaintSpy spy(dlg);
            Click(dlg, IDC_TEST_LOGIC_RESET);
            ExpectEachPaintedAtMostOnce(spy.counts, "a reset's six clocks");
            // The reset's own button, highlighted, and RUN-TEST/IDLE, enabled.
            EXPECT_EQ(1, spy.counts[IDC_TEST_LOGIC_RESET]);
            EXPECT_EQ(1, spy.counts[IDC_RUN_TEST_IDLE]);
        }
        for (UINT nID : WALK)
        {
            CPaintSpy spy(dlg);
            Click(dlg, nID);
            ExpectEachPaintedAtMostOnce(spy.counts, "a click");
        }
    });
}
