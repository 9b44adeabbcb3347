// codeset_win32.cpp - text conversion with the Windows code page functions, through
// UTF-16, and the code set of the ANSI code page.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent.h"

namespace xelagt {

int32_t platform_locale_codeset() noexcept {
    const UINT code_page = GetACP();
    for (int32_t codeset : {XELAGT_CODESET_UTF8, XELAGT_CODESET_ISO_8859_1,
                            XELAGT_CODESET_WINDOWS_1252, XELAGT_CODESET_SHIFT_JIS}) {
        if (find_codeset(codeset)->code_page == code_page) return codeset;
    }
    return 0;
}

// Invalid input fails on the way in (MB_ERR_INVALID_CHARS). A character the target
// lacks becomes its default character on the way out, which the caller's conversion
// back finds.
int32_t platform_convert(int32_t target, int32_t source, const char* input,
                         char** output) noexcept {
    const UINT to = find_codeset(target)->code_page;
    const UINT from = find_codeset(source)->code_page;
    if (!IsValidCodePage(to) || !IsValidCodePage(from)) return XELAGT_ERR_UNKNOWN_CODESET;
    const size_t length = std::strlen(input);
    if (length > static_cast<size_t>(INT_MAX)) return XELAGT_ERR_OUT_OF_MEMORY;
    const int in_length = static_cast<int>(length);
    std::wstring wide;
    int wide_length = 0;
    if (in_length > 0) {  // the functions refuse empty input
        wide_length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input, in_length, nullptr, 0);
        if (wide_length <= 0) return XELAGT_ERR_CONVERSION;
        try {
            wide.resize(static_cast<size_t>(wide_length));
        } catch (...) {
            return XELAGT_ERR_OUT_OF_MEMORY;
        }
        MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input, in_length, &wide[0], wide_length);
    }
    const int out_length = wide_length == 0 ? 0
                                            : WideCharToMultiByte(to, 0, wide.data(), wide_length,
                                                                  nullptr, 0, nullptr, nullptr);
    if (wide_length > 0 && out_length <= 0) return XELAGT_ERR_CONVERSION;
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(out_length) + 1));
    if (buffer == nullptr) return XELAGT_ERR_OUT_OF_MEMORY;
    if (out_length > 0) {
        WideCharToMultiByte(to, 0, wide.data(), wide_length, buffer, out_length, nullptr, nullptr);
    }
    buffer[out_length] = '\0';
    *output = buffer;
    return XELAGT_OK;
}

}  // namespace xelagt
