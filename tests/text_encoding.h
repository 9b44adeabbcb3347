// Encoding code points by hand, for tests that check the library's own
// encoders against something written apart from them.
#ifndef JXEL_TESTS_TEXT_ENCODING_H
#define JXEL_TESTS_TEXT_ENCODING_H

#include <cstdint>
#include <string>

namespace jxel::test {

// Appends one code point as UTF-8. A surrogate code point gives its 3-byte
// form, which is how the JVM writes each half of a pair.
inline void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

inline std::string utf8Of(std::uint32_t code) {
    std::string out;
    appendUtf8(out, code);
    return out;
}

}  // namespace jxel::test

#endif  // JXEL_TESTS_TEXT_ENCODING_H
