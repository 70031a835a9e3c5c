// Measures the step in its real window over the simulated board and prints one table:
//   - the cost of one clock step beyond its 5 ms wait (the wait counted, not slept), over
//     100,000 steps of a random walk of legal commands with the window hidden, and over fewer in
//     the visible window, where Wine repaints each changed control through X11 at once;
//   - the wall time of a reset with its real waits, against the 30 ms it must at least take;
//   - memory and GDI and USER objects before and after the 100,000 steps;
//   - the time from starting MORVASIM.EXE to its window being visible;
//   - the step cost with the window hidden over an FTDI cable: the stand-in D2XX library in
//     this process, so the figure is MORVA's own work around a clock's USB transfer.
// Each figure is the median and the worst of several runs.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../tests/dialog_runner.h"
#include "../tests/recording_port.h"
#include "../tests/standin/ftd2xx_standin.h"
#include "platform/gdi.h"
#include "ports/d2xx_port.h"

namespace {

const int WALK_STEPS = 100000;
const int STEP_RUNS = 3;
// In the visible window Wine repaints every control through X11 on each clock, so fewer steps.
const int VISIBLE_STEPS = 1000;
const int RESET_RUNS = 10;
const int START_RUNS = 5;
const int FTDI_STEPS = 20000;
const double RESET_MINIMUM_MS = 30.0;

double Now()
{
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Objects
{
    double dWorkingSetKiB;
    double dPrivateKiB;
    long nGdiReported;
    long nUserReported;
    long nGdiCounted;
    long nWindows;
};

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam)
{
    ++*reinterpret_cast<long*>(lParam);
    ::EnumChildWindows(hWnd, &CountWindow, lParam);
    return TRUE;
}

Objects Measure()
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    Objects objects = {};
    objects.dWorkingSetKiB = static_cast<double>(memory.WorkingSetSize) / 1024.0;
    objects.dPrivateKiB = static_cast<double>(memory.PagefileUsage) / 1024.0;
    objects.nGdiReported = static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    objects.nUserReported = static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    objects.nGdiCounted = AfxGdiObjectCount();
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&objects.nWindows));
    return objects;
}

struct Figure
{
    std::string name;
    std::vector<double> values;
    bool bHigherIsWorse = true;
};

void Print(const Figure& figure)
{
    std::vector<double> sorted = figure.values;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2 == 1 ? sorted[sorted.size() / 2]
                                                 : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    const double worst = figure.bHigherIsWorse ? sorted.back() : sorted.front();
    printf("%-52s %12.2f %12.2f %6u\n", figure.name.c_str(), median, worst, static_cast<unsigned>(sorted.size()));
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of("\\/"));
    return folder.substr(0, folder.find_last_of("\\/") + 1);  // the programs lie one folder up
}

// From CreateProcess to a visible window captioned MORVA, in milliseconds; the program is closed after.
double TimeToWindow(const std::string& program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + program + "\"";
    const double dStart = Now();
    if (!::CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    double dVisible = -1;
    while (Now() - dStart < 60000)
    {
        HWND hWnd = ::FindWindowA(nullptr, "MORVA");
        if (hWnd != nullptr && ::IsWindowVisible(hWnd))
        {
            dVisible = Now() - dStart;
            ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
            break;
        }
        ::Sleep(1);
    }
    if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return dVisible;
}

} // namespace

int main()
{
    Figure stepCost = {"step cost, window hidden (us)", {}};
    Figure workingBefore = {"working set before the steps (KiB)", {}}, workingAfter = {"working set after (KiB)", {}};
    Figure privateBefore = {"private bytes before the steps (KiB)", {}}, privateAfter = {"private bytes after (KiB)", {}};
    Figure gdiBefore = {"GDI objects before the steps", {}}, gdiAfter = {"GDI objects after", {}};
    Figure userBefore = {"USER objects before the steps", {}}, userAfter = {"USER objects after", {}};
    bool bGdiReported = true, bUserReported = true;

    Figure visibleCost = {"step cost, window visible (us)", {}};
    std::mt19937 random(1);
    // Steps of a random walk of legal commands; returns microseconds per clock beyond the wait.
    auto walk = [&](CStepperDlg& dlg, int nSteps) {
        CCountedWaits::Reset();
        const double dStart = Now();
        while (CCountedWaits::Count() < nSteps)
            Click(dlg, RandomLegalButton(dlg, random));
        return (Now() - dStart) * 1000.0 / static_cast<double>(CCountedWaits::Count());
    };
    for (int run = 0; run < STEP_RUNS; ++run)
    {
        CCountedWaits waits;
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            visibleCost.values.push_back(walk(dlg, VISIBLE_STEPS));
            ::ShowWindow(dlg.m_hWnd, SW_HIDE);
            const Objects before = Measure();
            stepCost.values.push_back(walk(dlg, WALK_STEPS));
            const Objects after = Measure();
            workingBefore.values.push_back(before.dWorkingSetKiB);
            workingAfter.values.push_back(after.dWorkingSetKiB);
            privateBefore.values.push_back(before.dPrivateKiB);
            privateAfter.values.push_back(after.dPrivateKiB);
            bGdiReported = bGdiReported && before.nGdiReported > 0;
            bUserReported = bUserReported && before.nUserReported > 0;
            gdiBefore.values.push_back(bGdiReported ? before.nGdiReported : before.nGdiCounted);
            gdiAfter.values.push_back(bGdiReported ? after.nGdiReported : after.nGdiCounted);
            userBefore.values.push_back(bUserReported ? before.nUserReported : before.nWindows);
            userAfter.values.push_back(bUserReported ? after.nUserReported : after.nWindows);
        });
    }

    Figure reset = {"reset wall time / 30 ms (real waits)", {}};
    {
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            for (int run = 0; run < RESET_RUNS; ++run)
            {
                const double dStart = Now();
                Click(dlg, IDC_TEST_LOGIC_RESET);
                reset.values.push_back((Now() - dStart) / RESET_MINIMUM_MS);
            }
        });
    }

    Figure ftdiCost = {"step cost over FTDI stand-in, window hidden (us)", {}};
    for (int run = 0; run < STEP_RUNS; ++run)
    {
        CableSpec spec;
        spec.kind = CableKind::Ftdi;
        CD2xxPort port(spec, FtdiPinMap(), &StandinD2xx());
        CPortScope scope(&port);
        if (!port.IsAccessible())
            break;
        CCountedWaits waits;
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            ::ShowWindow(dlg.m_hWnd, SW_HIDE);
            Click(dlg, IDC_TEST_LOGIC_RESET);
            ftdiCost.values.push_back(walk(dlg, FTDI_STEPS));
        });
    }

    Figure start = {"MORVASIM.EXE start to visible window (ms)", {}};
    for (int run = 0; run < START_RUNS; ++run)
        start.values.push_back(TimeToWindow(ProgramFolder() + "MORVASIM.EXE"));

    printf("%-52s %12s %12s %6s\n", "figure", "median", "worst", "runs");
    Print(stepCost);
    Print(visibleCost);
    Print(reset);
    Print(workingBefore);
    Print(workingAfter);
    Print(privateBefore);
    Print(privateAfter);
    Print(gdiBefore);
    Print(gdiAfter);
    Print(userBefore);
    Print(userAfter);
    Print(start);
    Print(ftdiCost);
    printf("\nGDI objects: %s. USER objects: %s.\n",
           bGdiReported ? "the system's count (GetGuiResources)"
                        : "the system reports none; the program's own fonts, brushes and device contexts, "
                          "counted by its platform layer",
           bUserReported ? "the system's count (GetGuiResources)"
                         : "the system reports none; the windows of the program's thread, counted by enumeration");
    printf("Step cost: beyond the 5 ms wait, which is counted, not slept; %d clocks a run with the window\n"
           "hidden (no painting), then %d in the visible window. Memory and objects: before and after the\n"
           "%d hidden clocks.\n",
           WALK_STEPS, VISIBLE_STEPS, WALK_STEPS);
    printf("FTDI: %d hidden clocks a run through the D2XX calls to a simulated chip in this process; a real\n"
           "cable adds its USB round trip to each clock, which no machine here can measure.\n",
           FTDI_STEPS);
    return 0;
}
