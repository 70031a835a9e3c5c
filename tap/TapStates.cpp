#include "TapStates.h"

#include <algorithm>
#include <iterator>

namespace {

struct TapStateInfo
{
    int nIndex;
    const char* pszCode;
    const char* pszName;
    int anNext[2];  // the state entered with TMS 0 and with TMS 1
    int nTdi;       // what a plain step into this state drives on TDI
};

const TapStateInfo STATES[] = {
    {STATE_TEST_LOGIC_RESET, "TLR", "TEST-LOGIC-RESET", {STATE_RUN_TEST_IDLE, STATE_TEST_LOGIC_RESET}, 1},
    {STATE_RUN_TEST_IDLE, "RTI", "RUN-TEST/IDLE", {STATE_RUN_TEST_IDLE, STATE_SELECT_DR}, 1},
    {STATE_SELECT_DR, "SDS", "SELECT-DR-SCAN", {STATE_CAPTURE_DR, STATE_SELECT_IR}, KEEP_TDI},
    {STATE_CAPTURE_DR, "CDR", "CAPTURE-DR", {STATE_SHIFT_DR, STATE_EXIT1_DR}, KEEP_TDI},
    {STATE_SHIFT_DR, "SDR", "SHIFT-DR", {STATE_SHIFT_DR, STATE_EXIT1_DR}, 0},
    {STATE_EXIT1_DR, "E1D", "EXIT1-DR", {STATE_PAUSE_DR, STATE_UPDATE_DR}, 0},
    {STATE_PAUSE_DR, "PDR", "PAUSE-DR", {STATE_PAUSE_DR, STATE_EXIT2_DR}, 1},
    {STATE_EXIT2_DR, "E2D", "EXIT2-DR", {STATE_SHIFT_DR, STATE_UPDATE_DR}, KEEP_TDI},
    {STATE_UPDATE_DR, "UDR", "UPDATE-DR", {STATE_RUN_TEST_IDLE, STATE_SELECT_DR}, 1},
    {STATE_SELECT_IR, "SIS", "SELECT-IR-SCAN", {STATE_CAPTURE_IR, STATE_TEST_LOGIC_RESET}, KEEP_TDI},
    {STATE_CAPTURE_IR, "CIR", "CAPTURE-IR", {STATE_SHIFT_IR, STATE_EXIT1_IR}, KEEP_TDI},
    {STATE_SHIFT_IR, "SIR", "SHIFT-IR", {STATE_SHIFT_IR, STATE_EXIT1_IR}, 0},
    {STATE_EXIT1_IR, "E1I", "EXIT1-IR", {STATE_PAUSE_IR, STATE_UPDATE_IR}, 0},
    {STATE_PAUSE_IR, "RIR", "PAUSE-IR", {STATE_PAUSE_IR, STATE_EXIT2_IR}, 1},
    {STATE_EXIT2_IR, "E2I", "EXIT2-IR", {STATE_SHIFT_IR, STATE_UPDATE_IR}, KEEP_TDI},
    {STATE_UPDATE_IR, "UIR", "UPDATE-IR", {STATE_RUN_TEST_IDLE, STATE_SELECT_DR}, 1},
};
static_assert(std::size(STATES) == 16, "the diagram has sixteen states");

const int SHIFT_STARTS[] = {STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE, STATE_PAUSE_DR,
                            STATE_PAUSE_IR,         STATE_UPDATE_DR,     STATE_UPDATE_IR};

const TapStateInfo* FindState(int nIndex)
{
    const auto it = std::find_if(std::begin(STATES), std::end(STATES),
                                 [nIndex](const TapStateInfo& state) { return state.nIndex == nIndex; });
    return it != std::end(STATES) ? it : nullptr;
}

} // namespace

const char* TapStateCode(int nIndex)
{
    if (nIndex == STATE_UNKNOWN)
        return "***";
    const TapStateInfo* pState = FindState(nIndex);
    return pState != nullptr ? pState->pszCode : nullptr;
}

const char* TapStateName(int nIndex)
{
    const TapStateInfo* pState = FindState(nIndex);
    return pState != nullptr ? pState->pszName : "UNKNOWN";
}

int NextTapState(int nIndex, int nTms)
{
    const TapStateInfo* pState = FindState(nIndex);
    return pState != nullptr ? pState->anNext[nTms != 0 ? 1 : 0] : STATE_UNKNOWN;
}

TapStep StepInto(int nFrom, int nTo)
{
    const TapStateInfo* pTo = FindState(nTo);
    const unsigned char nTms = NextTapState(nFrom, 1) == nTo && NextTapState(nFrom, 0) != nTo ? 1 : 0;
    return {nTms, pTo != nullptr ? pTo->nTdi : KEEP_TDI, nTo};
}

std::vector<TapStep> ShortestPath(int nFrom, int nTo)
{
    struct Visit
    {
        int nState;
        int nPrevious;  // index into the visits, -1 for the start
    };
    std::vector<Visit> visits = {{nFrom, -1}};
    for (size_t nNext = 0; nNext < visits.size(); ++nNext)
    {
        if (visits[nNext].nState == nTo)
        {
            std::vector<TapStep> path;
            for (size_t i = nNext; visits[i].nPrevious >= 0; i = static_cast<size_t>(visits[i].nPrevious))
            {
                const int nBefore = visits[static_cast<size_t>(visits[i].nPrevious)].nState;
                path.insert(path.begin(), StepInto(nBefore, visits[i].nState));
            }
            return path;
        }
        const TapStateInfo* pState = FindState(visits[nNext].nState);
        if (pState == nullptr)
            continue;
        for (int nState : pState->anNext)
        {
            const bool bSeen = std::any_of(visits.begin(), visits.end(),
                                           [&](const Visit& v) { return v.nState == nState; });
            if ((nState != STATE_TEST_LOGIC_RESET || nState == nTo) && !bSeen)
                visits.push_back({nState, static_cast<int>(nNext)});
        }
    }
    return {};
}

bool IsShiftStart(int nState)
{
    return std::find(std::begin(SHIFT_STARTS), std::end(SHIFT_STARTS), nState) != std::end(SHIFT_STARTS);
}
