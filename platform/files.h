// The system's dialog for a file to open or to save. In the Linux program it also takes a Linux
// path typed into it (/tmp/run.vcd, ~/run.vcd), starts in the folder the program was started in,
// and keeps Wine's notes about the disks it lists off the terminal.
#pragma once

#include <windows.h>

#include <commdlg.h>

// GetOpenFileName or GetSaveFileName on ofn; the path it gives reaches the file with the
// program's own file calls. False where the person cancelled.
bool AskForFileName(OPENFILENAMEA& ofn, bool bSave);
