// The program's own texts in code page 932, shared by the windows that show them.
#pragma once

// "エラー": the caption of every error message.
inline constexpr char ERROR_CAPTION[] = "\x83\x47\x83\x89\x81\x5b";
