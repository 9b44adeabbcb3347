// agent.h - what the stand-in's sources share (internal).
#ifndef XELAGT_AGENT_H
#define XELAGT_AGENT_H

#include <cstdint>
#include <string>

#include "standin.h"
#include "xelagt_operations.h"

// The project builds with hidden visibility, so every exported function is marked. On
// Windows the operations leave by ordinal only, through the generated .def: dllexport
// would add their names too. Test control is exported by name everywhere.
#if defined(_WIN32)
#define XELAGT_EXPORT
#define XELAGT_EXPORT_NAMED __declspec(dllexport)
#else
#define XELAGT_EXPORT __attribute__((visibility("default")))
#define XELAGT_EXPORT_NAMED __attribute__((visibility("default")))
#endif

namespace xelagt {

// A code set the stand-in knows, with its names on each platform.
struct Codeset {
    int32_t number;
    const char* iconv_name;
    unsigned code_page;  // Windows
};
// The known code sets, or nullptr for a number that is not one of them.
const Codeset* find_codeset(int32_t number) noexcept;

// The code set of the process's locale (Linux: the locale variables; Windows: the ANSI
// code page), or 0 when it is not one the stand-in knows. A locale that names a code set
// the stand-in does not know is reported with report_unknown_codeset.
int32_t platform_locale_codeset() noexcept;
// The one line on standard error for a setting that names no known code set:
// "xelagtapi stand-in: VARIABLE=value names no code set it knows (...); using code set
// <instead> <origin> instead".
void report_unknown_codeset(const char* variable, const char* value, int32_t instead,
                            const char* origin) noexcept;
// The code set a name stands for (UTF-8, ISO-8859-1, LATIN1, WINDOWS-1252, CP1252,
// SHIFT_JIS, SJIS, CP932; case, '-' and '_' ignored), or 0.
int32_t codeset_from_name(const char* name) noexcept;

// Converts the NUL-terminated input between two different known code sets. On success
// *output is a new text from malloc. Returns XELAGT_OK, XELAGT_ERR_CONVERSION,
// XELAGT_ERR_UNKNOWN_CODESET (not available on this system) or XELAGT_ERR_OUT_OF_MEMORY.
int32_t platform_convert(int32_t target, int32_t source, const char* input, char** output) noexcept;

// True when an injected failure is due for op (an ordinal); *status gets its status.
bool take_failure(int32_t op, int32_t* status) noexcept;
// True when this successful conversion is to give no output (takes one from the count).
bool take_no_output() noexcept;

// Copies text into the calling thread's buffer and returns it: valid until the thread's
// next call that hands out a text. May throw std::bad_alloc.
char* hand_out(const std::string& text);

}  // namespace xelagt

#endif  // XELAGT_AGENT_H
