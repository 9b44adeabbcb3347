// codeset_iconv.cpp - text conversion with iconv, and the code set of the locale.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <utility>

#include "agent.h"

namespace xelagt {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// The descriptors one thread opened, by (target, source): opening one is costly, and one
// must not be used by two threads at once.
struct Descriptors {
    std::map<std::pair<int32_t, int32_t>, iconv_t> open;
    ~Descriptors() {
        for (auto& entry : open) iconv_close(entry.second);
    }
};

iconv_t descriptor(int32_t target, int32_t source) {
    thread_local Descriptors descriptors;
    const auto key = std::make_pair(target, source);
    auto it = descriptors.open.find(key);
    if (it != descriptors.open.end()) return it->second;
    iconv_t cd = iconv_open(find_codeset(target)->iconv_name, find_codeset(source)->iconv_name);
    if (cd == kNoDescriptor) return cd;
    try {
        descriptors.open.emplace(key, cd);
    } catch (...) {
        iconv_close(cd);
        return kNoDescriptor;
    }
    return cd;
}

// The code set of a locale name such as "ja_JP.SJIS@euro": the part between '.' and '@'.
int32_t codeset_of_locale(const char* locale) {
    const char* dot = std::strchr(locale, '.');
    if (dot == nullptr) return 0;
    char name[32] = {};
    for (size_t n = 0; dot[n + 1] != '\0' && dot[n + 1] != '@' && n + 1 < sizeof name; ++n) {
        name[n] = dot[n + 1];
    }
    return codeset_from_name(name);
}

}  // namespace

// Reads the locale variables rather than asking the C library, whose answer depends on
// setlocale: loading the agent must not change the process's locale.
int32_t platform_locale_codeset() noexcept {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* locale = std::getenv(variable);
        if (locale == nullptr || *locale == '\0') continue;
        const int32_t codeset = codeset_of_locale(locale);
        // A locale without a code set ("C", "POSIX", "en_US") is left to the default quietly.
        if (codeset == 0 && std::strchr(locale, '.') != nullptr) {
            report_unknown_codeset(variable, locale, XELAGT_CODESET_UTF8, "(UTF-8), the default,");
        }
        return codeset;
    }
    return 0;
}

// The four code sets have no shift states, so nothing is pending after the input.
int32_t platform_convert(int32_t target, int32_t source, const char* input,
                         char** output) noexcept {
    iconv_t cd = descriptor(target, source);
    if (cd == kNoDescriptor) return XELAGT_ERR_UNKNOWN_CODESET;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // after a conversion that failed half-way

    size_t in_left = std::strlen(input);
    size_t capacity = in_left * 2 + 16;
    char* buffer = static_cast<char*>(std::malloc(capacity));
    if (buffer == nullptr) return XELAGT_ERR_OUT_OF_MEMORY;
    char* in = const_cast<char*>(input);
    char* out = buffer;
    size_t out_left = capacity - 1;  // room for the NUL
    while (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
        const bool full = errno == E2BIG;
        const size_t used = static_cast<size_t>(out - buffer);
        char* grown = full && capacity < SIZE_MAX / 2
                          ? static_cast<char*>(std::realloc(buffer, capacity * 2))
                          : nullptr;
        if (grown == nullptr) {
            std::free(buffer);
            return full ? XELAGT_ERR_OUT_OF_MEMORY : XELAGT_ERR_CONVERSION;
        }
        buffer = grown;
        capacity *= 2;
        out = buffer + used;
        out_left = capacity - 1 - used;
    }
    *out = '\0';
    *output = buffer;
    return XELAGT_OK;
}

}  // namespace xelagt
