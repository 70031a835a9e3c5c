// A stand-in for the InpOut library, for tests: it records every port access in a log and
// answers reads with a fixed status byte. Set by the environment:
//   MORVA_STANDIN_LOG     the log's path (lines "loaded <path>", "W 0378 10", "R 0379 7F")
//   MORVA_STANDIN_STATUS  the status byte read back, in hex (default 7F)
//   MORVA_STANDIN_CLOSED  when set, the driver reports itself closed
// Built once whole and once without IsInpOutDriverOpen (STANDIN_WITHOUT_DRIVER_CHECK).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void Log(const char* format, unsigned a, unsigned b)
{
    char path[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("MORVA_STANDIN_LOG", path, MAX_PATH) == 0)
        return;
    FILE* pFile = fopen(path, "a");
    if (pFile == nullptr)
        return;
    fprintf(pFile, format, a, b);
    fclose(pFile);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(hInstance, self, MAX_PATH);
        char path[MAX_PATH] = {};
        if (::GetEnvironmentVariableA("MORVA_STANDIN_LOG", path, MAX_PATH) != 0)
        {
            FILE* pFile = fopen(path, "a");
            if (pFile != nullptr)
            {
                fprintf(pFile, "loaded %s\n", self);
                fclose(pFile);
            }
        }
    }
    return TRUE;
}

__declspec(dllexport) void __stdcall Out32(short address, short value)
{
    Log("W %04X %02X\n", static_cast<unsigned short>(address), static_cast<unsigned char>(value));
}

__declspec(dllexport) short __stdcall Inp32(short address)
{
    char text[16] = {};
    unsigned value = 0x7F;
    if (::GetEnvironmentVariableA("MORVA_STANDIN_STATUS", text, sizeof(text)) != 0)
        value = static_cast<unsigned>(strtoul(text, nullptr, 16)) & 0xFF;
    Log("R %04X %02X\n", static_cast<unsigned short>(address), value);
    return static_cast<short>(value);
}

#ifndef STANDIN_WITHOUT_DRIVER_CHECK
__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen()
{
    char text[8] = {};
    return ::GetEnvironmentVariableA("MORVA_STANDIN_CLOSED", text, sizeof(text)) == 0;
}
#endif
}
