// codeset_win32.cpp - text conversion with the Windows code page functions.
//
// Converts through UTF-16. Invalid input fails on the way in (MB_ERR_INVALID_CHARS); on
// the way out, best-fit mapping is off and any use of the default character fails, so a
// text is never silently changed.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codeset.h"
#include "standin.h"

namespace xelagt {

namespace {

UINT code_page(int32_t codeset) noexcept {
    switch (codeset) {
        case XELAGT_CODESET_UTF8:
            return CP_UTF8;
        case XELAGT_CODESET_ISO_8859_1:
            return 28591;
        case XELAGT_CODESET_WINDOWS_1252:
            return 1252;
        case XELAGT_CODESET_SHIFT_JIS:
            return 932;
        default:
            return 0;
    }
}

}  // namespace

// The ANSI code page is the local code set of a Windows process.
int32_t platform_locale_codeset() noexcept {
    switch (GetACP()) {
        case CP_UTF8:
            return XELAGT_CODESET_UTF8;
        case 28591:
            return XELAGT_CODESET_ISO_8859_1;
        case 1252:
            return XELAGT_CODESET_WINDOWS_1252;
        case 932:
            return XELAGT_CODESET_SHIFT_JIS;
        default:
            return 0;
    }
}

int32_t platform_convert(int32_t target, int32_t source, const char* input,
                         char** output) noexcept {
    const UINT to = code_page(target);
    const UINT from = code_page(source);
    if (to == 0 || from == 0 || !IsValidCodePage(to) || !IsValidCodePage(from)) {
        return XELAGT_ERR_UNKNOWN_CODESET;
    }
    const size_t length = std::strlen(input);
    if (length > static_cast<size_t>(INT_MAX)) return XELAGT_ERR_OUT_OF_MEMORY;
    if (length == 0) {
        // The API functions reject empty input.
        char* empty = static_cast<char*>(std::malloc(1));
        if (empty == nullptr) return XELAGT_ERR_OUT_OF_MEMORY;
        *empty = '\0';
        *output = empty;
        return XELAGT_OK;
    }

    const int in_length = static_cast<int>(length);
    const int wide_length =
        MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input, in_length, nullptr, 0);
    if (wide_length <= 0) return XELAGT_ERR_CONVERSION;
    std::vector<wchar_t> wide;
    try {
        wide.resize(static_cast<size_t>(wide_length));
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
    if (MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input, in_length, wide.data(),
                            wide_length) != wide_length) {
        return XELAGT_ERR_CONVERSION;
    }

    // UTF-8 takes neither the best-fit flag nor a default character; it can only fail on a
    // lone surrogate.
    const bool utf8 = to == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used_default_out = utf8 ? nullptr : &used_default;
    const int out_length = WideCharToMultiByte(to, flags, wide.data(), wide_length, nullptr, 0,
                                               nullptr, used_default_out);
    if (out_length <= 0 || used_default) return XELAGT_ERR_CONVERSION;
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(out_length) + 1));
    if (buffer == nullptr) return XELAGT_ERR_OUT_OF_MEMORY;
    if (WideCharToMultiByte(to, flags, wide.data(), wide_length, buffer, out_length, nullptr,
                            used_default_out) != out_length ||
        used_default) {
        std::free(buffer);
        return XELAGT_ERR_CONVERSION;
    }
    buffer[out_length] = '\0';
    *output = buffer;
    return XELAGT_OK;
}

}  // namespace xelagt
