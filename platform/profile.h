// Values of the settings file (MORVA.INI, morva.ini) as a person writes them.
#pragma once

#include <string>

// The value without a comment after it: whitespace, then ';', ends the value ("value=0x10 ;
// the buffer's enable" is 0x10), as the guide's examples write it; a value that starts with ';'
// is only a comment.
std::string WithoutComment(const std::string& value);

// KEY= of [SECTION] in the file, without its comment. False when the line is longer than nMax
// characters: the profile call would cut it without a word.
bool ReadProfileValue(const std::string& strPath, const char* pszSection, const char* pszKey, size_t nMax,
                      std::string& value);

// Writes KEY=VALUE into [SECTION] of the file, making the folders it lies in where they are
// missing. False, with the file and the system's reason, when the file could not be written.
bool WriteProfileValue(const std::string& strPath, const char* pszSection, const char* pszKey, const std::string& value,
                       std::string& strError);
// The whole section at once: "key=value" lines, each ended by a NUL, then a NUL.
bool WriteProfileSectionText(const std::string& strPath, const char* pszSection, const std::string& text,
                             std::string& strError);
