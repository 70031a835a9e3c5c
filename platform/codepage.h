// The program keeps its Japanese texts in code page 932. On the NT family they are shown through
// the wide-character calls, converted from 932 whatever the system's code page is; the 95/98
// family, which lacks most wide-character calls, shows them through the ANSI calls as they are.
#pragma once

#include <windows.h>

#include <string>

bool UsesWideWindows();

// A text in the wide characters Windows calls take (WCHAR: 16 bits on every build).
typedef std::basic_string<WCHAR> CWideText;

CWideText WideFromCodePage932(LPCSTR psz);
std::string CodePage932FromWide(LPCWSTR psz);

// Both show a text the code built in English in the program's language (InProgramLanguage).
int MessageBoxCp932(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// A control's text in code page 932, shown as MessageBoxCp932 shows a message.
BOOL SetWindowTextCp932(HWND hWnd, LPCSTR lpText);

// A line added to a list box in code page 932, as it is: names and values a list shows are not
// translated.
void AddListLineCp932(HWND hList, const std::string& text);
