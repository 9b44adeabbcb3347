// codeset.h - code sets and the platform's text conversion (internal).
//
// The conversion itself lives in one file per platform (codeset_iconv.cpp, and
// codeset_win32.cpp on Windows); everything around it is shared.
#ifndef XELAGT_CODESET_H
#define XELAGT_CODESET_H

#include <cstdint>

namespace xelagt {

// True for the code sets the stand-in knows: UTF-8, ISO-8859-1, Windows-1252, Shift_JIS.
bool codeset_known(int32_t codeset) noexcept;

// The code set a name stands for (UTF-8, ISO-8859-1, LATIN1, WINDOWS-1252, CP1252,
// SHIFT_JIS, SJIS, CP932; case, '-' and '_' ignored), or 0 when the name is not known.
int32_t codeset_from_name(const char* name) noexcept;

// The code set of the process's locale, found without changing the locale, or 0 when it
// is not one the stand-in knows.
int32_t platform_locale_codeset() noexcept;

// Converts the NUL-terminated input between two different known code sets. On success
// *output is a new NUL-terminated text from malloc; on failure it is left untouched.
// Returns XELAGT_OK, XELAGT_ERR_CONVERSION, XELAGT_ERR_UNKNOWN_CODESET (not available on
// this system) or XELAGT_ERR_OUT_OF_MEMORY.
int32_t platform_convert(int32_t target, int32_t source, const char* input, char** output) noexcept;

}  // namespace xelagt

#endif  // XELAGT_CODESET_H
