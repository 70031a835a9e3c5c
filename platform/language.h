// The language the program speaks: Japanese where the user's language for menus and messages is
// Japanese, English everywhere else. Its texts that differ by language are in the resources, one
// string table and About box per language; the code names them by ID. The messages the code
// builds in English are translated through a catalog, one for each other language.
#pragma once

#include <windows.h>

#include <string>

// Decided once, from the system's UI language (GetUserDefaultUILanguage on Windows 2000 and
// later and under Wine, the user's locale on Windows 95 to Me and NT 4.0).
LANGID ProgramLanguage();

// The string resource nID in the program's language, in code page 932; empty if there is none.
std::string LoadText(UINT nID);

// The dialog template nID in the program's language (or in any, if it has none in it).
LPCDLGTEMPLATE FindDialogTemplate(UINT nID);

// A text the code built in English, in the program's language, in code page 932: through the
// catalog of messages; as it is where the program speaks English or the catalog has no entry.
std::string InProgramLanguage(const std::string& english);
