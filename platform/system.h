// Kernel services the program waits with. A benchmark may count the waits instead of sleeping.
#pragma once

#include <windows.h>

typedef void (*AFX_SLEEP)(DWORD dwMilliseconds);

// Blocks at least dwMilliseconds, unless a replacement is installed.
void AfxSleep(DWORD dwMilliseconds);
// Installs a replacement for the wait; null restores the real one. Returns the one before.
AFX_SLEEP AfxSetSleep(AFX_SLEEP pfnSleep);
