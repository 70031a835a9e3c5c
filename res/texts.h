// The program's texts that differ by language: in the resources' string tables, one for each
// language (morva.rc), named here by ID.
#pragma once

#include <string>

#include "../platform/language.h"
#include "resource.h"

// The caption of every error message ("エラー" in Japanese).
inline std::string ErrorCaption()
{
    return LoadText(IDS_ERROR_CAPTION);
}
