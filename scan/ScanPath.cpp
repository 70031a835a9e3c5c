#include "ScanPath.h"

#include <algorithm>

#include "../res/resource.h"
#include "../stepper/TapTable.h"
#include "ScanValue.h"

const ScanRegister SCAN_DR = {"SEND-DR",
                              "PAUSE-DR",
                              STATE_SHIFT_DR,
                              {IDC_SHIFT_DR, IDC_SHIFT_DR_1},
                              {IDC_EXIT1_DR, IDC_EXIT1_DR_1},
                              IDC_PAUSE_DR,
                              IDC_UPDATE_DR};
const ScanRegister SCAN_IR = {"SEND-IR",
                              "PAUSE-IR",
                              STATE_SHIFT_IR,
                              {IDC_SHIFT_IR, IDC_SHIFT_IR_1},
                              {IDC_EXIT1_IR, IDC_EXIT1_IR_1},
                              IDC_PAUSE_IR,
                              IDC_UPDATE_IR};

namespace {

const int SEND_STARTS[] = {STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE, STATE_PAUSE_DR,
                           STATE_PAUSE_IR,         STATE_UPDATE_DR,     STATE_UPDATE_IR};

bool IsCompanion(UINT nID)
{
    return nID == IDC_SHIFT_DR_1 || nID == IDC_EXIT1_DR_1 || nID == IDC_SHIFT_IR_1 || nID == IDC_EXIT1_IR_1;
}

} // namespace

bool IsSendStart(int nState)
{
    return std::find(std::begin(SEND_STARTS), std::end(SEND_STARTS), nState) != std::end(SEND_STARTS);
}

std::vector<UINT> ShortestPath(int nFrom, int nTo)
{
    // Breadth first over the buttons each state enables: the panel's own picture of the diagram.
    // TEST-LOGIC-RESET is a sequence of its own, never a step on the way.
    struct Visit
    {
        int nState;
        int nPrevious;  // index into the visits, -1 for the start
        UINT nButton;
    };
    std::vector<Visit> visits = {{nFrom, -1, 0}};
    for (size_t nNext = 0; nNext < visits.size(); ++nNext)
    {
        if (visits[nNext].nState == nTo)
        {
            std::vector<UINT> path;
            for (int i = static_cast<int>(nNext); visits[static_cast<size_t>(i)].nPrevious >= 0;
                 i = visits[static_cast<size_t>(i)].nPrevious)
                path.insert(path.begin(), visits[static_cast<size_t>(i)].nButton);
            return path;
        }
        const TapStateRow* pRow = FindTapState(visits[nNext].nState);
        if (pRow == nullptr)
            continue;
        for (UINT nID : pRow->anEnabled)
        {
            const StepCommandRow* pCommand = FindStepCommand(nID);
            if (nID == 0 || pCommand == nullptr || IsCompanion(nID))
                continue;
            const bool bSeen = std::any_of(visits.begin(), visits.end(),
                                           [&](const Visit& v) { return v.nState == pCommand->nNewState; });
            if (!bSeen)
                visits.push_back({pCommand->nNewState, static_cast<int>(nNext), nID});
        }
    }
    return {};
}

bool CShiftOut::OnClock(int nFrom, int nTo, unsigned char tdo)
{
    // The bit a clock shifts out is the one TDO shows while the clock starts in Shift.
    if (nFrom == STATE_SHIFT_DR)
        m_dr.push_back(tdo != 0 ? 1 : 0);
    else if (nFrom == STATE_SHIFT_IR)
        m_ir.push_back(tdo != 0 ? 1 : 0);

    if (nTo == STATE_CAPTURE_DR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
        m_dr.clear();
    if (nTo == STATE_CAPTURE_IR || nTo == STATE_UNKNOWN || nTo == STATE_TEST_LOGIC_RESET)
        m_ir.clear();

    if (nTo == STATE_EXIT1_DR && !m_dr.empty())
        m_strShown = FormatSizedHex(m_dr);
    else if (nTo == STATE_EXIT1_IR && !m_ir.empty())
        m_strShown = FormatSizedHex(m_ir);
    else
        return false;
    return true;
}
