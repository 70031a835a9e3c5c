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
