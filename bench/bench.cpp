// Measures the step in its real window over the simulated board and prints one table:
//   - the cost of one clock step beyond its 5 ms wait (the wait counted, not slept), over
//     100,000 steps of a random walk of legal commands with the window hidden, and over fewer in
//     the visible window, where Wine repaints each changed control through X11 at once;
//   - the wall time of a reset with its real waits, against the 30 ms it must at least take;
//   - memory and GDI and USER objects before and after the 100,000 steps;
//   - the time from starting MORVASIM.EXE to its window being visible;
//   - the step cost with the window hidden over an FTDI cable: the stand-in D2XX library in
//     this process, so the figure is MORVA's own work around a clock's USB transfer;
//   - the wall time of a 32-bit and a 1024-bit SEND-DR in the visible window, with real waits,
//     against their pacing floor: (N + 5) clocks of 5 ms and one repaint of the floor window;
//   - a floor, measured in the same run: a window from the same template that does only the
//     Win32 calls a clock's visible result needs (six row texts, a list line, two enabled
//     changes, one repaint of what changed), with none of MORVA's logic; MORVA's step and reset
//     figures are also given as ratios to it.
// Each figure is the median and the worst of several runs. With --steps NAME only the two step
// costs are measured, their rows named after NAME: scripts/bench.sh runs the Linux program's build
// so and puts its rows into the Windows build's table. With --visible NAME only the visible step
// is, over more runs: through X11 its runs spread widely, and two trees are compared by it.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <memory>

#include "../tests/dialog_runner.h"
#include "../tests/recording_port.h"
#include "../tests/standin/dap_link.h"
#include "../tests/standin/ftd2xx_standin.h"
#include "../tests/net/jtag_server.h"
#include "../ports/port_factory.h"
#include "board/BoardRun.h"
#include "bsdl/Bsdl.h"
#include "bsdl/BsdlLibrary.h"
#include "cable/cable.h"
#include "controls/LogFont.h"
#include "engine/TapEngine.h"
#include "platform/gdi.h"
#include "ports/cmsis_dap.h"
#include "ports/d2xx_port.h"
#include "ports/sim_port.h"
#include "svf/SvfPlayer.h"
#ifdef __WINE__
#include "../tests/linux/libftdi_standin.h"
#include "../tests/linux/ppdev_standin.h"
#include "ports/libftdi_port.h"
#include "ports/ppdev_port.h"
#endif

#ifdef __WINE__
// A command run by the system's shell (unix_command.cpp); its exit status, or -1.
int RunUnixCommand(const std::string& command);
#endif

// Windows 2000's, which some headers hide from a program aimed at NT 4.0.
#ifndef GR_GDIOBJECTS
#define GR_GDIOBJECTS 0
#define GR_USEROBJECTS 1
#endif

namespace {

const int WALK_STEPS = 100000;
const int STEP_RUNS = 3;
const int VISIBLE_ONLY_RUNS = 9;
// In the visible window Wine repaints every control through X11 on each clock, so fewer steps.
const int VISIBLE_STEPS = 1000;
const int RESET_RUNS = 10;
const int START_RUNS = 5;
const int FTDI_STEPS = 20000;
// A clock over the loopback costs some round trips through Wine's server: fewer clocks a run.
const int NET_STEPS = 2000;
const double RESET_MINIMUM_MS = 30.0;
const int SEND_RUNS = 3;

// A line on standard error while a long row is measured, so that a run in progress shows where it is.
void Progress(const char* pszRow, int nRun, int nRuns)
{
    fprintf(stderr, "  ... %s, run %d of %d\n", pszRow, nRun + 1, nRuns);
    fflush(stderr);
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The floor: template 102 as a plain dialog, and a clock's visible result done by hand.
INT_PTR CALLBACK FloorProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class CFloorWindow
{
public:
    CFloorWindow()
    {
        m_hDlg = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MORVA_DIALOG), nullptr,
                                      &FloorProc, 0);
        const LOGFONTA lf = LogFontOf("FixedSys", 15, 8, 400, 0x41);
        m_hFont = ::CreateFontIndirectA(&lf);
        for (int i = 0; i < 6; ++i)
        {
            m_rows[i] = ::GetDlgItem(m_hDlg, ROW_IDS[i]);
            ::SendMessageA(m_rows[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), TRUE);
            m_text[i] = std::string(48, '-');
        }
        m_hList = ::GetDlgItem(m_hDlg, IDC_HISTORY);
        ::UpdateWindow(m_hDlg);
    }
    ~CFloorWindow()
    {
        ::DestroyWindow(m_hDlg);
        ::DeleteObject(m_hFont);
    }
    CFloorWindow(const CFloorWindow&) = delete;
    CFloorWindow& operator=(const CFloorWindow&) = delete;

    HWND Window() const { return m_hDlg; }

    void Clock(int n)
    {
        // A hidden window paints nothing: it needs no hold and no repaint.
        const bool bVisible = ::IsWindowVisible(m_hDlg) != FALSE;
        if (bVisible)
            ::SendMessageA(m_hDlg, WM_SETREDRAW, FALSE, 0);
        for (int i = 0; i < 6; ++i)
        {
            m_text[i] = m_text[i].substr(1) + static_cast<char>('0' + (n + i) % 2);
            ::SetWindowTextA(m_rows[i], m_text[i].c_str());
        }
        if (::SendMessageA(m_hList, LB_GETCOUNT, 0, 0) > 100)
            ::SendMessageA(m_hList, LB_DELETESTRING, 0, 0);
        ::SendMessageA(m_hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n % 2 != 0 ? "011-RTI" : "111-SDS"));
        ::SendMessageA(m_hList, LB_SETTOPINDEX, static_cast<WPARAM>(::SendMessageA(m_hList, LB_GETCOUNT, 0, 0) - 1), 0);
        HWND hButtons[] = {::GetDlgItem(m_hDlg, IDC_SELECT_DR), ::GetDlgItem(m_hDlg, IDC_CAPTURE_DR)};
        for (HWND hButton : hButtons)
            ::EnableWindow(hButton, n % 2 != 0 ? TRUE : FALSE);
        if (!bVisible)
            return;
        ::SendMessageA(m_hDlg, WM_SETREDRAW, TRUE, 0);
        for (HWND hControl : m_rows)
            Repaint(hControl);
        Repaint(m_hList);
        for (HWND hButton : hButtons)
            Repaint(hButton);
    }

    static void Repaint(HWND hControl)
    {
        ::RedrawWindow(hControl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }

private:
    static constexpr int ROW_IDS[6] = {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3,
                                       IDC_TRACE_TMS,   IDC_TRACE_TDI,   IDC_TRACE_TDO};
    HWND m_hDlg;
    HFONT m_hFont;
    HWND m_rows[6];
    std::string m_text[6];
    HWND m_hList;
};

// Microseconds per clock of the floor, visible or hidden.
double FloorStep(bool bVisible, int nClocks)
{
    CFloorWindow floor;
    ::ShowWindow(floor.Window(), bVisible ? SW_SHOW : SW_HIDE);
    ::UpdateWindow(floor.Window());
    const double dStart = Now();
    for (int n = 0; n < nClocks; ++n)
        floor.Clock(n);
    return (Now() - dStart) * 1000.0 / nClocks;
}

// Milliseconds for one repaint of what a clock changes, in the visible floor window.
double FloorRepaint(int nRuns)
{
    CFloorWindow floor;
    ::ShowWindow(floor.Window(), SW_SHOW);
    ::UpdateWindow(floor.Window());
    double dTotal = 0;
    for (int n = 0; n < nRuns; ++n)
    {
        floor.Clock(n);
        const double dStart = Now();
        for (int id : {IDC_TRACE_NAME1, IDC_TRACE_NAME2, IDC_TRACE_NAME3, IDC_TRACE_TMS, IDC_TRACE_TDI, IDC_TRACE_TDO,
                       IDC_HISTORY, IDC_SELECT_DR, IDC_CAPTURE_DR})
            CFloorWindow::Repaint(::GetDlgItem(floor.Window(), id));
        dTotal += Now() - dStart;
    }
    return dTotal / nRuns;
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.size() % 2 == 1 ? values[values.size() / 2]
                                  : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
}

void Print(const Figure& figure)
{
    std::vector<double> sorted = figure.values;
    std::sort(sorted.begin(), sorted.end());
    const double median = Median(sorted);
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

// SEND-DR rows of one cable: MORVA's SENDs of 32 and 1024 bits from RUN-TEST/IDLE in the visible
// window, and their floor: the same clocks' writes and reads made straight on the cable's port in
// one run, with no engine, window or record. Milliseconds of wall time, one value a run.
struct CableSends
{
    std::string strCable;
    Figure send32, send1024, floor32, floor1024;
};

double FloorSendMs(size_t nBits)
{
    // Select-DR, Capture-DR, Shift-DR, the bits (the last into Exit1), Update-DR, Run-Test/Idle.
    const double dStart = Now();
    CBits tms(nBits + 5, false), tdo;
    for (size_t i : {size_t(0), nBits + 2, nBits + 3})
        tms.Set(i, true);
    TestCable().Clocks(tms, CBits(nBits + 5, false), CBits(nBits + 5, true), tdo);
    return Now() - dStart;
}

// False where the cable cannot be opened.
template <class PORT>
bool MeasureSends(PORT& port, CableSends& rows)
{
    CPortScope scope(&port);
    if (!Opened(port))
        return false;
    for (int run = 0; run < SEND_RUNS; ++run)
    {
        CableOn();
        rows.floor32.values.push_back(FloorSendMs(32));
        rows.floor1024.values.push_back(FloorSendMs(1024));
        CableOff();
    }
    const std::string strIni = TempPath("ini");
    CStepperDlg dlg;
    dlg.SetSettingsPath(strIni);
    RunDialog(dlg, [&] {
        ::ShowWindow(dlg.m_hWnd, SW_HIDE);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        for (int run = 0; run < SEND_RUNS; ++run)
        {
            for (Figure* pFigure : {&rows.send32, &rows.send1024})
            {
                const double dStart = Now();
                SendValue(dlg, IDC_DR_VALUE, pFigure == &rows.send32 ? "32'h0" : "1024'h0");
                pFigure->values.push_back(Now() - dStart);
            }
        }
    });
    ::DeleteFileA(strIni.c_str());
    return true;
}

CableName ParsedCableName(const std::string& strText)
{
    CableName cable;
    std::string strError;
    ParseCableName(strText, cable, strError);
    return cable;
}

CableSends SendRows(const std::string& strCable)
{
    return {strCable,
            {"SEND-DR 32 bits, " + strCable + " (ms)", {}},
            {"SEND-DR 1024 bits, " + strCable + " (ms)", {}},
            {"floor: 32 bits, " + strCable + " (ms)", {}},
            {"floor: 1024 bits, " + strCable + " (ms)", {}}};
}

void PrintSends(const std::vector<CableSends>& cables)
{
    for (const CableSends& rows : cables)
    {
        Print(rows.send32);
        Print(rows.send1024);
        Print(rows.floor32);
        Print(rows.floor1024);
    }
}

// MORVA's SEND over each cable against that cable's floor: at most twice the floor, where the
// floor leaves out the window's paint, the value list kept in the settings file and the record.
void PrintSendRatios(const std::vector<CableSends>& cables)
{
    for (const CableSends& rows : cables)
    {
        for (int nBits : {32, 1024})
        {
            const double dRatio = nBits == 32 ? Median(rows.send32.values) / Median(rows.floor32.values)
                                              : Median(rows.send1024.values) / Median(rows.floor1024.values);
            const std::string strName = "SEND-DR " + std::to_string(nBits) + " bits / floor, " + rows.strCable;
            printf("%-52s %12.2f %12s\n", strName.c_str(), dRatio, "");
        }
    }
}

// The cables this build reaches in its own process: the simulated board, the FTDI stand-in, and
// remote_bitbang and XVC servers on the loopback with the simulated board behind them.
std::vector<CableSends> MeasureEveryCable(const std::vector<std::pair<std::string, CParallelPort*>>& extraPorts,
                                          const std::vector<std::pair<std::string, ICable*>>& extraCables)
{
    std::vector<CableSends> cables;
    Progress("SENDs over every cable", 0, 1);
    cables.push_back(SendRows("simulated board"));
    MeasureSends(SimulatedPort(), cables.back());
    {
        CableName cable;
        cable.kind = CableKind::Ftdi;
        CD2xxPort port(cable, FtdiPinMap(), &StandinD2xx());
        cables.push_back(SendRows("FTDI, D2XX stand-in"));
        if (!MeasureSends(port, cables.back()))
            cables.pop_back();
    }
    for (ServerProtocol protocol : {ServerProtocol::RemoteBitbang, ServerProtocol::Xvc})
    {
        CJtagServer server(protocol);
        std::shared_ptr<ICable> port = MakeCable(ParsedCableName(server.Cable()), FtdiPinMap());
        cables.push_back(SendRows(protocol == ServerProtocol::Xvc ? "XVC, loopback" : "remote_bitbang, loopback"));
        if (!MeasureSends(*port, cables.back()))
            cables.pop_back();
    }
    for (const auto& cable : extraCables)
    {
        cables.push_back(SendRows(cable.first));
        if (!MeasureSends(*cable.second, cables.back()))
            cables.pop_back();
    }
    for (const auto& port : extraPorts)
    {
        cables.push_back(SendRows(port.first));
        if (!MeasureSends(*port.second, cables.back()))
            cables.pop_back();
    }
    return cables;
}

#ifdef __WINE__
// The Linux program's own cables, through the stand-ins of libftdi and ppdev in this process.
std::vector<CableSends> MeasureLinuxCables()
{
    CLibftdiPort libftdi(ParsedCableName("ftdi"), FtdiPinMap(), StandinLibftdi());
    CPpdevPort ppdev("/dev/parport0", DATA_PORT, StandinPpdevCalls());
    return MeasureEveryCable({{"parallel port, ppdev stand-in", &ppdev}}, {{"FTDI, libftdi stand-in", &libftdi}});
}

// OpenOCD's drscan of 1024 bits and MORVA's SEND-DR of 1024 bits through the same remote_bitbang
// server, each timed at the server from the first clock of the shift to its last. OpenOCD is
// given an instruction first: 0.12 stops on a drscan of a device it takes to be in BYPASS.
bool MeasurePeer(Figure& morva, Figure& openocd)
{
    for (int run = 0; run < SEND_RUNS; ++run)
    {
        CJtagServer server(ServerProtocol::RemoteBitbang);
        {
            std::shared_ptr<ICable> port = MakeCable(ParsedCableName(server.Cable()), FtdiPinMap());
            CPortScope scope(port.get());
            if (!port->Open())
                return false;
            const std::string strIni = TempPath("ini");
            CStepperDlg dlg;
            dlg.SetSettingsPath(strIni);
            RunDialog(dlg, [&] {
                Click(dlg, IDC_TEST_LOGIC_RESET);
                Click(dlg, IDC_RUN_TEST_IDLE);
                server.TakeShiftDrMs();
                SendValue(dlg, IDC_DR_VALUE, "1024'h0");
                morva.values.push_back(server.TakeShiftDrMs());
            });
            ::DeleteFileA(strIni.c_str());
        }
        const std::string command =
            "openocd -c 'adapter driver remote_bitbang' -c 'remote_bitbang host 127.0.0.1' -c 'remote_bitbang port " +
            std::to_string(server.Port()) +
            "' -c 'transport select jtag' -c 'jtag newtap sim tap -irlen 4' -c init -c 'irscan sim.tap 0x2' "
            "-c 'drscan sim.tap 1024 0' -c shutdown >/dev/null 2>&1";
        server.TakeShiftDrMs();
        if (RunUnixCommand(command) != 0)
            return false;
        openocd.values.push_back(server.TakeShiftDrMs());
    }
    return true;
}
#endif

} // namespace

// A made-up chip of nCells cells: pins each an output cell, a control cell and an input cell; or
// with bInputs, pins each an input cell alone.
std::string GeneratedBsdl(size_t nCells, bool bInputs = false)
{
    const size_t nPerPin = bInputs ? 1 : 3;
    const size_t nPins = nCells / nPerPin;
    const std::string entity = bInputs ? "BIGIN" : "BIG";
    std::string text = "entity " + entity + " is\n  generic (PHYSICAL_PIN_MAP : string := \"BGA\");\n"
                       "  port (TCK, TMS, TDI : in bit; TDO : out bit; P : " + (bInputs ? "in" : "inout") +
                       " bit_vector(0 to " + std::to_string(nPins - 1) + "));\n  use STD_1149_1_2001.all;\n"
                       "  constant BGA : PIN_MAP_STRING := \"TCK:1, TMS:2, TDI:3, TDO:4, P:(\" &\n";
    for (size_t i = 0; i < nPins; ++i)
        text += "    \"" + std::to_string(i + 5) + (i + 1 < nPins ? ",\" &\n" : ")\";\n");
    text += "  attribute INSTRUCTION_LENGTH of " + entity + " : entity is 8;\n"
            "  attribute INSTRUCTION_OPCODE of " + entity + " : entity is \"BYPASS (11111111), EXTEST (00000000), "
            "SAMPLE (00000001), IDCODE (00000010)\";\n"
            "  attribute INSTRUCTION_CAPTURE of " + entity + " : entity is \"XXXXXX01\";\n"
            "  attribute IDCODE_REGISTER of " + entity + " : entity is \"000" + (bInputs ? "1" : "0") +
            "000000000000000100001001011\" & \"1\";\n"
            "  attribute BOUNDARY_LENGTH of " + entity + " : entity is " + std::to_string(nPins * nPerPin) + ";\n"
            "  attribute BOUNDARY_REGISTER of " + entity + " : entity is\n";
    for (size_t i = 0; i < nPins; ++i)
    {
        const std::string strPin = "P(" + std::to_string(i) + ")";
        const size_t nCell = nPerPin * i;
        text += "    \"" + (bInputs ? std::to_string(nCell) + " (BC_4, " + strPin + ", input, X)"
                                    : std::to_string(nCell) + " (BC_1, " + strPin + ", output3, X, " +
                                          std::to_string(nCell + 1) + ", 0, Z), " + std::to_string(nCell + 1) +
                                          " (BC_1, *, control, 0), " + std::to_string(nCell + 2) + " (BC_4, " +
                                          strPin + ", input, X)") +
                (i + 1 < nPins ? ",\" &\n" : "\";\n");
    }
    return text + "end " + entity + ";\n";
}

// A BSDL file of 2,001 cells read whole, and its floor: one pass over its bytes.
void MeasureBsdl()
{
    const std::string text = GeneratedBsdl(2001);
    Figure read = {"BSDL file of 2001 cells read (ms)", {}};
    Figure floor = {"floor: one pass over its bytes (ms)", {}};
    for (int run = 0; run < 9; ++run)
    {
        LARGE_INTEGER frequency, start, middle, end;
        ::QueryPerformanceFrequency(&frequency);
        ::QueryPerformanceCounter(&start);
        BsdlFile file;
        std::string strError;
        if (!ParseBsdl(text, "big.bsd", file, strError) || file.cells.size() != 2001)
        {
            printf("the generated BSDL file was refused: %s\n", strError.c_str());
            return;
        }
        ::QueryPerformanceCounter(&middle);
        size_t nLines = 0;
        for (char c : text)
            nLines += c == '\n' ? 1 : 0;
        ::QueryPerformanceCounter(&end);
        if (nLines == 0)
            return;
        read.values.push_back(1000.0 * static_cast<double>(middle.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
        floor.values.push_back(1000.0 * static_cast<double>(end.QuadPart - middle.QuadPart) / static_cast<double>(frequency.QuadPart));
    }
    Print(read);
    Print(floor);
    const double dRead = Median(read.values);
    printf("%-52s %12.2f %12s %s\n", "BSDL read / floor", dRead / Median(floor.values), "", "");
    printf("%-52s %12.2f %12.2f %s\n", "BSDL read / 100 ms", dRead / 100.0, 1.0, dRead <= 100.0 ? "yes" : "no");
}

// An SVF file of about 200 MB made here, as an FPGA tool writes a bitstream: BYPASS, then SDRs of
// 4,096 bits each, their TDO expected one clock late through BYPASS. Played through the engine on
// the simulated board with the private bytes before, after and at their peak; its floor is the same
// file read through without a clock.
void MeasureSvf()
{
    Progress("SVF: a file of 200 MB written, read through, then played", 0, 1);
    const std::string strPath = TempPath("svf");
    const size_t nBits = 4096;
    unsigned long long nBytes = 0;
    {
        HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
        std::minstd_rand random(1);
        const std::string strMask = SvfHex(CBits(nBits, true));
        std::string chunk = "STATE RESET;\nSIR 4 TDI (F) TDO (1) MASK (F);\n";
        CBits tdi(nBits, false);
        while (nBytes < 200000000ull)
        {
            for (size_t i = 0; i < nBits; ++i)
                tdi.Set(i, (random() & 1) != 0);
            // What comes out is what went in one clock later.
            CBits tdo(1, false);
            tdo.Append(tdi, 0, nBits - 1);
            chunk += "SDR 4096 TDI (" + SvfHex(tdi) + ") TDO (" + SvfHex(tdo) + ") MASK (" + strMask + ");\n";
            if (chunk.size() > 1000000)
            {
                DWORD dwWritten = 0;
                ::WriteFile(hFile, chunk.data(), static_cast<DWORD>(chunk.size()), &dwWritten, nullptr);
                nBytes += dwWritten;
                chunk.clear();
            }
        }
        DWORD dwWritten = 0;
        ::WriteFile(hFile, chunk.data(), static_cast<DWORD>(chunk.size()), &dwWritten, nullptr);
        nBytes += dwWritten;
        ::CloseHandle(hFile);
    }

    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    unsigned long long nCommands = 0;
    {
        CSvfReader reader;
        std::string strError;
        SvfCommand command;
        if (reader.Open(strPath, strError))
        {
            while (reader.Next(command, strError))
                ++nCommands;
        }
    }
    ::QueryPerformanceCounter(&end);
    const double dReadS = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);

    CableTarget pBefore = SetCablePort(&SimulatedPort());
    CableOn();
    const Objects before = Measure();
    CTapEngine engine{&TestCable()};
    engine.SetPaced(false);
    CSvfPlayer player(engine, [](const std::string&) {});
    SvfMismatch mismatch;
    std::string strError;
    ::QueryPerformanceCounter(&start);
    const Outcome played = player.PlayFile(strPath, mismatch, strError);
    ::QueryPerformanceCounter(&end);
    const Objects after = Measure();
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    CableOff();
    SetCablePort(pBefore);
    ::DeleteFileA(strPath.c_str());
    if (played != Ended::Done)
    {
        printf("the generated SVF file was not played whole: line %d %s\n", mismatch.nLine, strError.c_str());
        return;
    }
    const double dPlayS = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const double dClocks = static_cast<double>(engine.Clocks());
    printf("%-52s %12.1f\n", "SVF file generated (MB)", static_cast<double>(nBytes) / 1e6);
    printf("%-52s %12.0f\n", "its commands", static_cast<double>(nCommands));
    printf("%-52s %12.1f\n", "SVF played on the simulated board (s)", dPlayS);
    printf("%-52s %12.0f\n", "clocks a second", dClocks / dPlayS);
    printf("%-52s %12.1f\n", "floor: the file read, no clock (s)", dReadS);
    printf("%-52s %12.2f\n", "SVF played / floor", dPlayS / dReadS);
    printf("%-52s %12.0f\n", "private bytes before (KiB)", before.dPrivateKiB);
    printf("%-52s %12.0f\n", "private bytes after (KiB)", after.dPrivateKiB);
    printf("%-52s %12.0f\n", "private bytes at their peak (KiB)", static_cast<double>(memory.PeakPagefileUsage) / 1024.0);
    // The engine keeps the session's last clocks, ten bytes each, up to its bound: the rest is the player's.
    const double dRecordKiB = static_cast<double>(CSessionRecord::CAPACITY) * sizeof(ClockRecord) / 1024.0;
    printf("%-52s %12.0f\n", "of it the session record, at its bound (KiB)", dRecordKiB);
    printf("%-52s %12.0f\n", "peak growth beyond the record (KiB)",
           static_cast<double>(memory.PeakPagefileUsage) / 1024.0 - before.dPrivateKiB - dRecordKiB);
    printf("%-52s %12.3f\n", "peak growth / file size",
           (static_cast<double>(memory.PeakPagefileUsage) / 1024.0 - before.dPrivateKiB) * 1024.0 /
               static_cast<double>(nBytes));
}

// One SDR of nBits with TDI, TDO and MASK, as the single long scan of an FPGA bitstream file,
// through BYPASS on the simulated board: its TDO is its TDI a clock late. The bits come from their
// index, so that the file is written a megabyte at a time from its last bit shifted, as SVF puts
// it first. Private bytes before, at their peak and after the play; its floor is the same file read
// through without a clock.
uint32_t BitHash(uint64_t i, uint32_t nSeed)
{
    uint64_t x = (i + 1) * 0x9E3779B97F4A7C15ull ^ nSeed;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    return static_cast<uint32_t>(x >> 29);
}

int SdrTdi(uint64_t i) { return static_cast<int>(BitHash(i, 1) & 1); }
int SdrTdo(uint64_t i) { return i == 0 ? 0 : SdrTdi(i - 1); }
int SdrMask(uint64_t i) { return (BitHash(i, 2) & 3) != 0 ? 1 : 0; }

void WriteSdrValue(HANDLE hFile, const char* pszName, uint64_t nBits, int (*bit)(uint64_t))
{
    std::string text = std::string(" ") + pszName + " (";
    for (uint64_t nDigit = (nBits + 3) / 4; nDigit-- > 0;)
    {
        int nValue = 0;
        for (uint64_t b = 0; b < 4 && nDigit * 4 + b < nBits; ++b)
            nValue |= bit(nDigit * 4 + b) << b;
        text += "0123456789ABCDEF"[nValue];
        if (text.size() >= 1000000 || nDigit == 0)
        {
            if (nDigit == 0)
                text += ")";
            DWORD dwWritten = 0;
            ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
            text.clear();
        }
    }
}

// The private bytes' highest, sampled every millisecond by a thread of its own while a play runs:
// the system's own peak figure is not kept under Wine.
struct PeakSampler
{
    volatile LONG bStop = 0;
    volatile double dPeakKiB = 0;
    HANDLE hThread = nullptr;

    static DWORD WINAPI Run(LPVOID pvSelf)
    {
        PeakSampler& self = *static_cast<PeakSampler*>(pvSelf);
        while (::InterlockedCompareExchange(&self.bStop, 0, 0) == 0)
        {
            const double dKiB = Measure().dPrivateKiB;
            if (dKiB > self.dPeakKiB)
                self.dPeakKiB = dKiB;
            ::Sleep(1);
        }
        return 0;
    }
    void Start() { hThread = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    double Stop()
    {
        ::InterlockedExchange(&bStop, 1);
        ::WaitForSingleObject(hThread, INFINITE);
        ::CloseHandle(hThread);
        return dPeakKiB;
    }
};

// A file of BYPASS selected and one SDR of nBits through it: its TDI, and where bExpect, the TDO
// BYPASS gives back and a MASK. Its path.
std::string WriteSdrFile(uint64_t nBits, bool bExpect)
{
    const std::string strPath = TempPath("sdr");
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    const std::string strHead = std::string("STATE RESET;\nSIR 4 TDI (F)") + (bExpect ? " TDO (1) MASK (F)" : "") +
                                ";\nSDR " + std::to_string(nBits);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, strHead.data(), static_cast<DWORD>(strHead.size()), &dwWritten, nullptr);
    WriteSdrValue(hFile, "TDI", nBits, SdrTdi);
    if (bExpect)
    {
        WriteSdrValue(hFile, "TDO", nBits, SdrTdo);
        WriteSdrValue(hFile, "MASK", nBits, SdrMask);
    }
    ::WriteFile(hFile, ";\n", 2, &dwWritten, nullptr);
    ::CloseHandle(hFile);
    return strPath;
}

void MeasureSvfSdr(uint64_t nBits)
{
    const std::string strPath = WriteSdrFile(nBits, true);
    CableTarget pBefore = SetCablePort(&SimulatedPort());
    CableOn();
    const Objects before = Measure();
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    Outcome played = Ended::Refused;
    std::string strError;
    double dPlayS = 0;
    PeakSampler sampler;
    double dPeakKiB = 0;
    {
        CTapEngine engine{&TestCable()};
        engine.SetPaced(false);
        CSvfPlayer player(engine, [](const std::string&) {});
        SvfMismatch mismatch;
        sampler.Start();
        ::QueryPerformanceCounter(&start);
        played = player.PlayFile(strPath, mismatch, strError);
        ::QueryPerformanceCounter(&end);
        dPeakKiB = sampler.Stop();
        dPlayS = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        if (played == Ended::Differs)
            strError = "line " + std::to_string(mismatch.nLine) + ": TDO differs";
    }
    const Objects after = Measure();
    CableOff();
    SetCablePort(pBefore);

    ::QueryPerformanceCounter(&start);
    std::string strCheck;
    CSvfPlayer::CheckFile(strPath, strCheck);
    ::QueryPerformanceCounter(&end);
    const double dReadS = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    ::DeleteFileA(strPath.c_str());
    const std::string strSize = nBits >= 1000000 ? std::to_string(nBits / 1000000) + " Mbit" : std::to_string(nBits) + " bits";
    if (played != Ended::Done)
    {
        printf("SDR %s was not played whole: %s\n", strSize.c_str(), strError.c_str());
        return;
    }
    const double dPeakMiB = (dPeakKiB - before.dPrivateKiB) / 1024.0;
    printf("%-12s %10.2f %10.2f %8.2f %10.1f %10.1f %10.1f %8.2f %s\n", strSize.c_str(), dPlayS, dReadS,
           dPlayS / dReadS, before.dPrivateKiB / 1024.0, dPeakMiB, (after.dPrivateKiB - before.dPrivateKiB) / 1024.0,
           dPeakMiB / 64.0, dPeakMiB <= 64.0 ? "yes" : "no");
}

#ifdef __WINE__
// One shift through FTDI's JTAG engine: a SEND-DR from the engine, or an SVF file's SDR played,
// through the libftdi stand-in's simulated FT2232H in MPSSE mode, the chip's writes kept; then
// the floor: the same bytes written to a fresh simulated chip by a loop that does nothing else,
// each answer read as the chip gives it.
struct MpsseShift
{
    size_t nWrites = 0, nWrittenBytes = 0, nReads = 0;
    double dSeconds = 0, dFloorSeconds = 0;
    bool bDone = false;
};

MpsseShift MeasureMpsseShift(uint64_t nBits, bool bSvf)
{
    MpsseShift shift;
    // As a vendor's configuration file has it: a long SDR of TDI alone.
    const std::string strPath = bSvf ? WriteSdrFile(nBits, false) : std::string();
    CLibftdiPort port(ParsedCableName("ftdi"), FtdiPinMap(), StandinLibftdi());
    Libftdi().nType = FTDI_TYPE_2232H;
    Libftdi().nPiece = static_cast<size_t>(1) << 30;
    CPortScope scope(&port);
    if (!port.Open() || !port.InMpsse())
        return shift;
    CableOn();
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    {
        CTapEngine engine{&TestCable()};
        engine.SetPaced(false);
        engine.Reset();
        // BYPASS: the instruction register's ones.
        engine.Shift(TAP_IR, CBits(4, true), [](size_t) { return false; });
        CBits value(static_cast<size_t>(nBits), false);
        for (uint64_t i = 0; i < nBits; ++i)
            value.Set(static_cast<size_t>(i), SdrTdi(i) != 0);
        Libftdi().Take();
        Libftdi().bQuiet = true;
        ::QueryPerformanceCounter(&start);
        if (bSvf)
        {
            CSvfPlayer player(engine, [](const std::string&) {});
            SvfMismatch mismatch;
            std::string strError;
            shift.bDone = player.PlayFile(strPath, mismatch, strError) == Ended::Done;
        }
        else
            shift.bDone = engine.Shift(TAP_DR, value, [](size_t) { return false; }) == Ended::Done;
        ::QueryPerformanceCounter(&end);
    }
    LibftdiStandin& standin = Libftdi();
    standin.bQuiet = false;
    shift.dSeconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    shift.nWrites = standin.nWrites;
    shift.nWrittenBytes = standin.nWrittenBytes;
    shift.nReads = standin.nReads;
    CableOff();
    if (bSvf)
        ::DeleteFileA(strPath.c_str());

    CFtdiChip chip;
    chip.SetBitMode(0, CFtdiChip::MODE_MPSSE);
    std::vector<unsigned char> answer(static_cast<size_t>(nBits / 8 + 4096));
    ::QueryPerformanceCounter(&start);
    for (const std::vector<unsigned char>& bytes : standin.kept)
    {
        chip.Write(bytes.data(), bytes.size());
        chip.Read(answer.data(), answer.size());
    }
    ::QueryPerformanceCounter(&end);
    shift.dFloorSeconds =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    return shift;
}

// The MPSSE rows: for a SEND-DR of 1,024 bits and an SVF SDR of 10 Mbit, the bytes written over
// the data's N/8 (target: 1.02, and 3 bytes of command per 64 KiB), the writes and reads per
// 64 KiB of data (target: one each), and the wall time over the floor's.
void MeasureMpsse()
{
    printf("%-34s %10s %10s %8s %8s %10s %10s %8s\n", "MPSSE, FT2232H simulated", "bytes/N/8", "target", "writes",
           "reads", "per 64KiB", "time (ms)", "/ floor");
    for (const std::pair<uint64_t, bool>& row : {std::make_pair(uint64_t(1024), false), std::make_pair(uint64_t(10000000), true)})
    {
        const uint64_t nBits = row.first;
        std::vector<double> times, floors;
        MpsseShift shift;
        for (int run = 0; run < 3; ++run)
        {
            shift = MeasureMpsseShift(nBits, row.second);
            if (!shift.bDone)
                break;
            times.push_back(shift.dSeconds * 1000);
            floors.push_back(shift.dFloorSeconds * 1000);
        }
        const std::string strName = row.second ? "SVF SDR 10 Mbit" : "SEND-DR 1024 bits";
        if (!shift.bDone)
        {
            printf("%-34s not done through the simulated chip\n", strName.c_str());
            continue;
        }
        const double dData = static_cast<double>(nBits) / 8;
        const double dPieces = std::ceil(dData / 65536.0);
        const double dTarget = 1.02 + 3 * dPieces / dData;
        printf("%-34s %10.4f %10.4f %8zu %8zu %10.1f %10.2f %8.2f\n", strName.c_str(),
               static_cast<double>(shift.nWrittenBytes) / dData, dTarget, shift.nWrites, shift.nReads,
               static_cast<double>(shift.nWrites + shift.nReads) / dPieces, Median(times),
               Median(times) / Median(floors));
    }
}
#endif

// A SEND-DR of 1,024 bits through the simulated CMSIS-DAP probe: the packets the cable used
// against the fewest its packet size allows for the same clocks, and the wall time against a
// minimal loop that hands the same packets to a fresh probe and takes its answers.
struct DapShift
{
    size_t nPackets = 0, nFewest = 0;
    double dSeconds = 0, dFloorSeconds = 0;
    bool bDone = false;
};

// The fewest packets of nPacketSize bytes that carry the clocks of these DAP_JTAG_Sequence
// commands: each stretch of steady TMS as sequences of 64 clocks, every clock's TDO captured, the
// command bytes and the answer bytes each filling whole packets after their two bytes of header.
size_t FewestDapPackets(const std::vector<std::vector<uint8_t>>& commands, size_t nPacketSize)
{
    std::vector<std::pair<bool, size_t>> runs;  // TMS, clocks
    for (const std::vector<uint8_t>& command : commands)
    {
        for (size_t nAt = 2, i = 0; i < command[1] && nAt < command.size(); ++i)
        {
            const size_t nClocks = (command[nAt] & 0x3F) == 0 ? 64 : command[nAt] & 0x3F;
            const bool bTms = (command[nAt] & 0x40) != 0;
            if (!runs.empty() && runs.back().first == bTms)
                runs.back().second += nClocks;
            else
                runs.emplace_back(bTms, nClocks);
            nAt += 1 + (nClocks + 7) / 8;
        }
    }
    size_t nCommand = 0, nAnswer = 0;
    for (const auto& run : runs)
    {
        const size_t nSequences = (run.second + 63) / 64;
        nCommand += nSequences + (run.second + 7) / 8;
        nAnswer += (run.second + 7) / 8;
    }
    const size_t nRoom = nPacketSize - 2;
    return std::max((nCommand + nRoom - 1) / nRoom, (nAnswer + nRoom - 1) / nRoom);
}

DapShift MeasureDapShift(uint16_t nPacketSize)
{
    DapShift shift;
    CDapProbe::Identity identity;
    identity.nPacketSize = nPacketSize;
    CDapProbe probe(identity);
    auto pLink = std::make_unique<CProbeLink>(probe);
    CProbeLink& link = *pLink;
    CDapCable cable(std::move(pLink), 0);
    CTapEngine engine(&cable);
    if (!cable.Open() || !engine.Switch(true) || !engine.Reset())
        return shift;
    CBits value(1024, false);
    for (size_t i = 0; i < value.size(); i += 3)
        value.Set(i, true);
    link.commands.clear();
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    shift.bDone = engine.Shift(TAP_DR, value, [](size_t) { return false; }) == Ended::Done;
    ::QueryPerformanceCounter(&end);
    shift.dSeconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    shift.nPackets = link.commands.size();
    shift.nFewest = FewestDapPackets(link.commands, nPacketSize);

    // The floor: the same packets to a probe in the same state, their answers taken, nothing else.
    CDapProbe floor(identity);
    const std::vector<uint8_t> connect = DapConnectJtag();
    floor.Answer(connect.data(), connect.size());
    size_t nAnswered = 0;
    ::QueryPerformanceCounter(&start);
    for (const std::vector<uint8_t>& command : link.commands)
        nAnswered += floor.Answer(command.data(), command.size()).size();
    ::QueryPerformanceCounter(&end);
    shift.dFloorSeconds =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    shift.bDone = shift.bDone && nAnswered > 0;
    return shift;
}

void MeasureDap()
{
    printf("%-34s %10s %10s %10s %10s %8s\n", "CMSIS-DAP, simulated probe", "packets", "fewest", "time (us)",
           "floor (us)", "/ floor");
    for (uint16_t nPacketSize : {uint16_t(64), uint16_t(512)})
    {
        std::vector<double> times, floors;
        DapShift shift;
        for (int run = 0; run < 5; ++run)
        {
            shift = MeasureDapShift(nPacketSize);
            if (!shift.bDone)
                break;
            times.push_back(shift.dSeconds * 1e6);
            floors.push_back(shift.dFloorSeconds * 1e6);
        }
        const std::string strName = "SEND-DR 1024 bits, " + std::to_string(nPacketSize) + "-byte packets";
        if (!shift.bDone)
        {
            printf("%-34s not done through the simulated probe\n", strName.c_str());
            continue;
        }
        printf("%-34s %10zu %10zu %10.1f %10.1f %8.2f\n", strName.c_str(), shift.nPackets, shift.nFewest, Median(times),
               Median(floors), Median(times) / Median(floors));
    }
}

// The board test of a board of 500 nets between two made-up chips, one driving each net and the
// other reading it, with one short planted: its patterns against the 2 log2(N) + 2 bound, its
// clocks and time against the floor, the same shifts sent bare through the same engine.
void MeasureBoard()
{
    const size_t nNets = 500;
    const std::string strFolder = TempPath("brd") + ".d";
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    std::string netlist = "net,ref,pin\n";
    for (size_t k = 0; k < nNets; ++k)
        netlist += "N" + std::to_string(k) + ",U1," + std::to_string(k + 5) + "\nN" + std::to_string(k) + ",U2," +
                   std::to_string(k + 5) + "\n";
    const std::pair<const char*, std::string> files[] = {
        {"a.bsd", GeneratedBsdl(3 * nNets)},
        {"b.bsd", GeneratedBsdl(nNets, true)},
        {"board.csv", netlist},
        {"board.ini", "[board]\nchain=U1,U2\nnetlist=board.csv\n[bsdl]\nU1=a.bsd\nU2=b.bsd\n[faults]\nshort=N7,N300\n"},
    };
    for (const auto& file : files)
    {
        HANDLE hFile = ::CreateFileA((strFolder + "\\" + file.first).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD dwWritten = 0;
        ::WriteFile(hFile, file.second.data(), static_cast<DWORD>(file.second.size()), &dwWritten, nullptr);
        ::CloseHandle(hFile);
    }
    const std::string strBoard = strFolder + "\\board.ini";
    printf("%-40s %9s %9s %7s %9s %9s %7s %9s %9s %7s\n", "board test, simulated board", "patterns", "bound",
           "/ bound", "clocks", "floor", "/ floor", "time (ms)", "floor (ms)", "/ floor");
    std::vector<double> times, floors;
    BoardPlan plan;
    BoardReport report;
    uint64_t nClocks = 0, nFloorClocks = 0;
    for (int run = 0; run < 5; ++run)
    {
        CParallelCable cable(MakeBoardSimulatedPort(strBoard), 0x378);
        CTapEngine engine(&cable);
        engine.SetPaced(false);
        BoardFile board;
        Netlist nets;
        std::string strError;
        CBsdlLibrary library;
        ChainScan scan;
        if (!cable.Open() || !engine.Switch(true) || !ReadBoardDescription(strBoard, {}, "", board, nets, strError) ||
            !AddBoardFiles(board, library, strError) || ScanChain(engine, {}, scan, &library) != Ended::Done)
        {
            printf("the board of %zu nets could not be scanned: %s\n", nNets, strError.c_str());
            return;
        }
        const Outcome planned = PlanBoard(scan, board, nets, library, plan);
        if (planned != Ended::Done)
        {
            printf("the board of %zu nets could not be tested: %s\n", nNets, planned.Message().c_str());
            return;
        }
        LARGE_INTEGER frequency, start, middle, end;
        ::QueryPerformanceFrequency(&frequency);
        const uint64_t nBefore = engine.Clocks();
        ::QueryPerformanceCounter(&start);
        const Outcome tested = RunBoardTest(engine, scan, plan, report);
        ::QueryPerformanceCounter(&middle);
        nClocks = engine.Clocks() - nBefore;
        // The floor: the same IR and DR shifts, as bare SENDs of bits already made, and the reset.
        const size_t nIr = 16, nDr = 3 * nNets + nNets;
        CBits ir(nIr, false), dr(nDr, false);
        bool bFloor = engine.Shift(TAP_IR, ir, [](size_t) { return false; }) == Ended::Done;
        for (size_t k = 0; bFloor && k <= plan.Patterns(); ++k)
            bFloor = engine.Shift(TAP_DR, dr, [](size_t) { return false; }) == Ended::Done;
        bFloor = bFloor && engine.Shift(TAP_IR, ir, [](size_t) { return false; }) == Ended::Done && engine.Reset();
        ::QueryPerformanceCounter(&end);
        nFloorClocks = engine.Clocks() - nBefore - nClocks;
        if (tested != Ended::Done || !bFloor)
        {
            printf("the board test did not run: %s\n", tested.Message().c_str());
            return;
        }
        times.push_back(1000.0 * static_cast<double>(middle.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
        floors.push_back(1000.0 * static_cast<double>(end.QuadPart - middle.QuadPart) / static_cast<double>(frequency.QuadPart));
    }
    const double dBound = 2.0 * std::log2(static_cast<double>(nNets)) + 2.0;
    const std::string strName = std::to_string(plan.Tested()) + " nets, " + std::to_string(plan.passes.size()) +
                                " pass" + (plan.passes.size() == 1 ? "" : "es");
    printf("%-40s %9zu %9.2f %7.3f %9llu %9llu %7.3f %9.1f %9.1f %7.2f\n", strName.c_str(), plan.Patterns(), dBound,
           static_cast<double>(plan.Patterns()) / dBound, static_cast<unsigned long long>(nClocks),
           static_cast<unsigned long long>(nFloorClocks), static_cast<double>(nClocks) / static_cast<double>(nFloorClocks),
           Median(times), Median(floors), Median(times) / Median(floors));
    printf("found: %s; planted: one short, N7 and N300\n", report.Summary().c_str());
    for (const std::string& line : report.faults)
        printf("  %s\n", line.c_str());
}

int main(int argc, char** argv)
{
    // Each table goes out as soon as it is measured, through a pipe too.
    setvbuf(stdout, nullptr, _IONBF, 0);
    // --svf-sdr N: one SDR of N bits, a row of the SDR table; --svf-sdr-head: its head.
    if (argc > 1 && std::string(argv[1]) == "--svf-sdr-head")
    {
        printf("%-12s %10s %10s %8s %10s %10s %10s %8s %s\n", "one SDR", "play (s)", "floor (s)", "ratio",
               "idle (MiB)", "peak +MiB", "after +MiB", "/ 64 MiB", "within");
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--svf-sdr")
    {
        MeasureSvfSdr(std::stoull(argv[2]));
        return 0;
    }
    // --svf: only the SVF rows.
    if (argc > 1 && std::string(argv[1]) == "--svf")
    {
        MeasureSvf();
        return 0;
    }
    // --bsdl: only the BSDL rows.
    if (argc > 1 && std::string(argv[1]) == "--bsdl")
    {
        printf("%-52s %12s %12s %6s\n", "figure", "median", "worst", "runs");
        MeasureBsdl();
        return 0;
    }
    // --send: only the SEND rows.
    if (argc > 1 && std::string(argv[1]) == "--send")
    {
        const std::vector<CableSends> cables = MeasureEveryCable({}, {});
        printf("%-52s %12s %12s %6s\n", "figure", "median", "worst", "runs");
        PrintSends(cables);
        printf("\n");
        PrintSendRatios(cables);
        return 0;
    }
    // --board: the board test's row.
    if (argc > 1 && std::string(argv[1]) == "--board")
    {
        MeasureBoard();
        return 0;
    }
    // --dap: the CMSIS-DAP rows, through the simulated probe.
    if (argc > 1 && std::string(argv[1]) == "--dap")
    {
        MeasureDap();
        return 0;
    }
#ifdef __WINE__
    // --mpsse: the rows of FTDI's JTAG engine, through the simulated chip.
    if (argc > 1 && std::string(argv[1]) == "--mpsse")
    {
        MeasureMpsse();
        return 0;
    }
    // --linux-sends: the SEND rows of the Linux program's cables, and OpenOCD beside it.
    if (argc > 1 && std::string(argv[1]) == "--linux-sends")
    {
        const std::vector<CableSends> cables = MeasureLinuxCables();
        Figure morva = {"morva (Linux): SEND-DR 1024 at an rbb server (ms)", {}};
        Figure openocd = {"OpenOCD 0.12 drscan 1024 at the same server (ms)", {}};
        const bool bPeer = MeasurePeer(morva, openocd);
        PrintSends(cables);
        if (bPeer)
        {
            Print(morva);
            Print(openocd);
        }
        printf("\n");
        PrintSendRatios(cables);
        if (bPeer)
        {
            const double dRatio = Median(morva.values) / Median(openocd.values);
            printf("%-52s %12.2f %12.2f %s\n", "SEND-DR 1024 / OpenOCD drscan, at the server", dRatio, 1.0,
                   dRatio <= 1.0 ? "yes" : "no");
        }
        else
            printf("OpenOCD could not be run (scripts/deps.sh bench installs it): no peer rows.\n");
        return 0;
    }
#endif
    const bool bVisibleOnly = argc > 2 && std::string(argv[1]) == "--visible";
    const bool bStepsOnly = bVisibleOnly || (argc > 2 && std::string(argv[1]) == "--steps");
    // --steps-table: the steps' table alone, without the SEND, BSDL and SVF rows.
    const bool bStepsTable = argc > 1 && std::string(argv[1]) == "--steps-table";
    Figure stepCost = {"step cost, window hidden (us)", {}};
    Figure workingBefore = {"working set before the steps (KiB)", {}}, workingAfter = {"working set after (KiB)", {}};
    Figure privateBefore = {"private bytes before the steps (KiB)", {}}, privateAfter = {"private bytes after (KiB)", {}};
    Figure gdiBefore = {"GDI objects before the steps", {}}, gdiAfter = {"GDI objects after", {}};
    Figure userBefore = {"USER objects before the steps", {}}, userAfter = {"USER objects after", {}};
    bool bGdiReported = true, bUserReported = true;

    Figure visibleCost = {"step cost, window visible (us)", {}};
    Figure recordPerClock = {"session record, bytes a clock (private bytes growth)", {}};
    std::mt19937 random(1);
    // Steps of a random walk of legal commands; returns microseconds per clock beyond the wait.
    auto walk = [&](CStepperDlg& dlg, int nSteps) {
        CCountedWaits::Reset();
        const double dStart = Now();
        while (CCountedWaits::Count() < nSteps)
            Click(dlg, RandomLegalButton(dlg, random));
        return (Now() - dStart) * 1000.0 / static_cast<double>(CCountedWaits::Count());
    };
    const int nStepRuns = bVisibleOnly ? VISIBLE_ONLY_RUNS : STEP_RUNS;
    for (int run = 0; run < nStepRuns; ++run)
    {
        Progress("step cost, window visible and hidden", run, nStepRuns);
        CCountedWaits waits;
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            Click(dlg, IDC_TEST_LOGIC_RESET);
            visibleCost.values.push_back(walk(dlg, VISIBLE_STEPS));
            if (bVisibleOnly)
                return;
            ::ShowWindow(dlg.m_hWnd, SW_HIDE);
            const Objects before = Measure();
            stepCost.values.push_back(walk(dlg, WALK_STEPS));
            const Objects after = Measure();
            workingBefore.values.push_back(before.dWorkingSetKiB);
            workingAfter.values.push_back(after.dWorkingSetKiB);
            privateBefore.values.push_back(before.dPrivateKiB);
            privateAfter.values.push_back(after.dPrivateKiB);
            recordPerClock.values.push_back((after.dPrivateKiB - before.dPrivateKiB) * 1024.0 / WALK_STEPS);
            bGdiReported = bGdiReported && before.nGdiReported > 0;
            bUserReported = bUserReported && before.nUserReported > 0;
            gdiBefore.values.push_back(bGdiReported ? before.nGdiReported : before.nGdiCounted);
            gdiAfter.values.push_back(bGdiReported ? after.nGdiReported : after.nGdiCounted);
            userBefore.values.push_back(bUserReported ? before.nUserReported : before.nWindows);
            userAfter.values.push_back(bUserReported ? after.nUserReported : after.nWindows);
        });
    }

    if (bStepsOnly)
    {
        stepCost.name = std::string(argv[2]) + ": " + stepCost.name;
        visibleCost.name = std::string(argv[2]) + ": " + visibleCost.name;
        if (!bVisibleOnly)
            Print(stepCost);
        Print(visibleCost);
        return 0;
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

    const std::vector<CableSends> cables = bStepsTable ? std::vector<CableSends>() : MeasureEveryCable({}, {});

    Figure floorVisible = {"floor: clock, window visible (us)", {}};
    Figure floorHidden = {"floor: clock, window hidden (us)", {}};
    Figure floorRepaint = {"floor: one repaint of a clock's changes (ms)", {}};
    for (int run = 0; run < STEP_RUNS; ++run)
    {
        Progress("floor", run, STEP_RUNS);
        floorVisible.values.push_back(FloorStep(true, VISIBLE_STEPS));
        floorHidden.values.push_back(FloorStep(false, WALK_STEPS / 10));
        floorRepaint.values.push_back(FloorRepaint(100));
    }

    // A reset, then that many clocks in the hidden window over another cable; false where the
    // cable cannot be opened.
    auto hiddenWalkOver = [&](ICable& port, int nSteps, Figure& figure) {
        CPortScope scope(&port);
        if (!port.Open())
            return false;
        CCountedWaits waits;
        CStepperDlg dlg;
        RunDialog(dlg, [&] {
            ::ShowWindow(dlg.m_hWnd, SW_HIDE);
            Click(dlg, IDC_TEST_LOGIC_RESET);
            figure.values.push_back(walk(dlg, nSteps));
        });
        return true;
    };

    Figure ftdiCost = {"step cost over FTDI stand-in, window hidden (us)", {}};
    for (int run = 0; run < STEP_RUNS; ++run)
    {
        Progress("step cost over FTDI", run, STEP_RUNS);
        CableName cable;
        cable.kind = CableKind::Ftdi;
        CD2xxPort port(cable, FtdiPinMap(), &StandinD2xx());
        if (!hiddenWalkOver(port, FTDI_STEPS, ftdiCost))
            break;
    }

    // The network cables against servers on the loopback, the simulated board behind each.
    Figure rbbCost = {"step cost over remote_bitbang, loopback, hidden (us)", {}};
    Figure xvcCost = {"step cost over XVC, loopback, hidden (us)", {}};
    for (Figure* pFigure : {&rbbCost, &xvcCost})
    {
        CJtagServer server(pFigure == &rbbCost ? ServerProtocol::RemoteBitbang : ServerProtocol::Xvc);
        CableName cable;
        std::string strError;
        ParseCableName(server.Cable(), cable, strError);
        for (int run = 0; run < STEP_RUNS; ++run)
        {
            Progress(pFigure->name.c_str(), run, STEP_RUNS);
            if (!hiddenWalkOver(*MakeCable(cable, FtdiPinMap()), NET_STEPS, *pFigure))
                break;
        }
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
    Print(recordPerClock);
    Print(gdiBefore);
    Print(gdiAfter);
    Print(userBefore);
    Print(userAfter);
    Print(start);
    Print(ftdiCost);
    Print(rbbCost);
    Print(xvcCost);
    PrintSends(cables);
    Print(floorVisible);
    Print(floorHidden);
    Print(floorRepaint);

    const double dFloorVisible = Median(floorVisible.values), dFloorHidden = Median(floorHidden.values);
    const double dResetAllowed = 1.2 * RESET_MINIMUM_MS + Median(floorRepaint.values);
    const double dVisibleRatio = Median(visibleCost.values) / dFloorVisible;
    const double dHiddenRatio = Median(stepCost.values) / dFloorHidden;
    const double dResetRatio = Median(reset.values) * RESET_MINIMUM_MS / dResetAllowed;
    printf("\n%-52s %12s %12s %s\n", "against the floor", "ratio", "target", "met");
    printf("%-52s %12.2f %12.2f %s\n", "step, window visible / floor", dVisibleRatio, 1.5, dVisibleRatio <= 1.5 ? "yes" : "no");
    printf("%-52s %12.2f %12.2f %s\n", "step, window hidden / floor", dHiddenRatio, 1.2, dHiddenRatio <= 1.2 ? "yes" : "no");
    printf("%-52s %12.2f %12.2f %s\n", "reset / (1.2 x 30 ms + one floor repaint)", dResetRatio, 1.0,
           dResetRatio <= 1.0 ? "yes" : "no");
    PrintSendRatios(cables);
    if (!bStepsTable)
    {
        printf("\n");
        MeasureBsdl();
        printf("\n");
        MeasureSvf();
    }
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
    printf("Session record: %u bytes a clock kept; the growth also counts the record's spare capacity,\n"
           "which doubles as it grows.\n",
           static_cast<unsigned>(sizeof(ClockRecord)));
    printf("FTDI: %d hidden clocks a run through the D2XX calls to a simulated chip in this process; a real\n"
           "cable adds its USB round trip to each clock, which no machine here can measure.\n",
           FTDI_STEPS);
    printf("Network: %d hidden clocks a run through remote_bitbang and XVC servers on the loopback (a thread of\n"
           "this process, the simulated board behind it), beside the parallel port's step cost above. A server\n"
           "across a network adds its round trip to each clock.\n",
           NET_STEPS);
    return 0;
}
