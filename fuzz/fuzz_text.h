// Reference encoders and checks for the fuzz targets, written apart from
// convert/utf8.cpp so that the two can disagree.
#ifndef JXEL_FUZZ_FUZZ_TEXT_H
#define JXEL_FUZZ_FUZZ_TEXT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text_encoding.h"

namespace jxel::fuzz {

// Stops the run with a message; libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char* what, const std::string& detail = "") {
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
    std::abort();
}

inline void appendUnit3(std::string& out, std::uint32_t unit) {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
}

// One code point (no surrogates) as standard UTF-8.
inline void appendStandard(std::string& out, std::uint32_t code) { test::appendUtf8(out, code); }

// UTF-16 code units as the JVM's modified UTF-8 (U+0000 as C0 80, every
// unit on its own, surrogates as 3-byte sequences).
inline std::string modifiedFromUnits(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (std::uint16_t u : units) {
        if (u == 0) {
            out += "\xC0\x80";
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            appendUnit3(out, u);
        }
    }
    return out;
}

// UTF-16 code units, well formed, as standard UTF-8.
inline std::string standardFromUnits(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00u);
        }
        appendStandard(out, code);
    }
    return out;
}

// Strict standard UTF-8 (no overlongs, surrogates, or code points above U+10FFFF).
inline bool isStandardUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t code;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1;
            code = b & 0x1Fu;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2;
            code = b & 0x0Fu;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3;
            code = b & 0x07u;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;  // truncated
        for (std::size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            code = (code << 6) | (c & 0x3Fu);
        }
        static const std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

}  // namespace jxel::fuzz

#endif  // JXEL_FUZZ_FUZZ_TEXT_H
