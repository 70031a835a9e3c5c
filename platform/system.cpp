#include "system.h"

namespace {

AFX_SLEEP g_pfnSleep = nullptr;

} // namespace

void AfxSleep(DWORD dwMilliseconds)
{
    if (g_pfnSleep != nullptr)
        g_pfnSleep(dwMilliseconds);
    else
        ::Sleep(dwMilliseconds);
}

AFX_SLEEP AfxSetSleep(AFX_SLEEP pfnSleep)
{
    AFX_SLEEP pfnBefore = g_pfnSleep;
    g_pfnSleep = pfnSleep;
    return pfnBefore;
}
