#include "files.h"

#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The file name box of the explorer-style dialog.
const int FILE_NAME_EDIT = edt1;
const int FILE_NAME_COMBO = cmb13;

WNDPROC s_pfnDialogProc = nullptr;

std::string DosPath(const std::string& strUnix)
{
    WCHAR* pszDos = wine_get_dos_file_name(strUnix.c_str());
    if (pszDos == nullptr)
        return std::string();
    char path[MAX_PATH * 2] = {};
    const int nLength = ::WideCharToMultiByte(CP_ACP, 0, pszDos, -1, path, sizeof(path), nullptr, nullptr);
    ::HeapFree(::GetProcessHeap(), 0, pszDos);
    return nLength > 0 ? std::string(path) : std::string();
}

// "/tmp/run.vcd" and "~/run.vcd" become the Windows paths that reach them.
void TakeLinuxPath(HWND hDialog)
{
    for (int nID : {FILE_NAME_EDIT, FILE_NAME_COMBO})
    {
        HWND hName = ::GetDlgItem(hDialog, nID);
        if (hName == nullptr)
            continue;
        char text[MAX_PATH * 2] = {};
        ::GetWindowTextA(hName, text, sizeof(text));
        std::string strTyped = text;
        const char* pszHome = getenv("HOME");
        if (strTyped.compare(0, 2, "~/") == 0 && pszHome != nullptr)
            strTyped = pszHome + strTyped.substr(1);
        if (strTyped.empty() || strTyped[0] != '/')
            continue;
        const std::string strDos = DosPath(strTyped);
        if (!strDos.empty())
            ::SetWindowTextA(hName, strDos.c_str());
    }
}

LRESULT CALLBACK DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_COMMAND && LOWORD(wParam) == IDOK)
        TakeLinuxPath(hWnd);
    return ::CallWindowProcA(s_pfnDialogProc, hWnd, nMsg, wParam, lParam);
}

// The hook's own dialog is a child of the file dialog: the file dialog's OK is seen before the
// dialog reads the name.
UINT_PTR CALLBACK Hook(HWND hChild, UINT nMsg, WPARAM, LPARAM)
{
    if (nMsg == WM_INITDIALOG)
    {
        HWND hDialog = ::GetParent(hChild);
        s_pfnDialogProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hDialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogProc)));
    }
    return 0;
}

} // namespace

bool AskForFileName(OPENFILENAMEA& ofn, bool bSave)
{
    std::string strStart;
    if (ofn.lpstrInitialDir == nullptr)
    {
        char folder[4096] = {};
        if (getcwd(folder, sizeof(folder)) != nullptr)
            strStart = DosPath(folder);
        if (!strStart.empty())
            ofn.lpstrInitialDir = strStart.c_str();
    }
    if ((ofn.Flags & OFN_ENABLEHOOK) == 0)
    {
        ofn.Flags |= OFN_ENABLEHOOK | OFN_EXPLORER;
        ofn.lpfnHook = &Hook;
    }
    // Listing the disks, Wine says on standard error that it cannot read the root file system's
    // label: a note for nobody, kept off the terminal while the dialog is open.
    fflush(stderr);
    const int nSaved = dup(STDERR_FILENO);
    const int nNull = open("/dev/null", O_WRONLY);
    if (nSaved >= 0 && nNull >= 0)
        dup2(nNull, STDERR_FILENO);
    if (nNull >= 0)
        close(nNull);
    const bool bChosen = (bSave ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn)) != FALSE;
    if (nSaved >= 0)
    {
        dup2(nSaved, STDERR_FILENO);
        close(nSaved);
    }
    ofn.lpstrInitialDir = nullptr;
    return bChosen;
}
