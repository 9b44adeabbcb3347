// Modified UTF-8 <-> standard UTF-8 (convert/utf8.h).
//
// 1. Whatever Java can hand over (valid modified UTF-8 without U+0000 or
//    unpaired surrogates, built here from fuzzer-chosen UTF-16 code units)
//    is classified as passable, joined to the standard form, and comes back
//    from writeModifiedUtf8 byte for byte.
// 2. Arbitrary bytes: classifyJavaText agrees with a reference reading, and
//    writeModifiedUtf8 always writes valid modified UTF-8 of exactly the size
//    modifiedUtf8Size announced. Buffers are heap blocks of exactly that
//    size, so AddressSanitizer sees any write past them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fake_jni.h"
#include "fuzz_text.h"
#include "utf8.h"

using jxel::JavaTextForm;
using jxel::fuzz::fail;

namespace {

std::string join(const std::string& text) {
    std::unique_ptr<char[]> out(new char[text.size() + 1]);
    const std::size_t n = jxel::joinSurrogatePairs(text.c_str(), text.size(), out.get());
    if (n > text.size() || out[n] != '\0') fail("join: length");
    return std::string(out.get(), n);
}

// The modified form of `text`, or `text` itself when the function says it passes as it is.
std::string toModified(const std::string& text) {
    const std::size_t size = jxel::modifiedUtf8Size(text.c_str(), text.size());
    if (size == 0) return text;
    std::unique_ptr<char[]> out(new char[size]);
    jxel::writeModifiedUtf8(text.c_str(), text.size(), out.get());
    if (std::strlen(out.get()) + 1 != size) fail("write: size differs from modifiedUtf8Size");
    return std::string(out.get(), size - 1);
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Reference: surrogate pairs as 3+3 bytes joined into 4-byte sequences, byte by byte.
std::string referenceJoin(const std::string& s, bool* joinedAny) {
    std::string out;
    *joinedAny = false;
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    for (std::size_t i = 0; i < s.size();) {
        if (i + 5 < s.size() && b(i) == 0xED && b(i + 1) >= 0xA0 && b(i + 1) <= 0xAF &&
            isContinuation(b(i + 2)) && b(i + 3) == 0xED && b(i + 4) >= 0xB0 && b(i + 4) <= 0xBF &&
            isContinuation(b(i + 5))) {
            const std::uint32_t high = ((b(i + 1) & 0x0Fu) << 6) | (b(i + 2) & 0x3Fu);
            const std::uint32_t low = ((b(i + 4) & 0x0Fu) << 6) | (b(i + 5) & 0x3Fu);
            jxel::fuzz::appendStandard(out, 0x10000 + ((high << 10) | low));
            *joinedAny = true;
            i += 6;
        } else {
            out += s[i++];
        }
    }
    return out;
}

void javaTextRoundTrips(const std::uint8_t* data, std::size_t size) {
    // Code units from byte pairs; U+0000 and unpaired surrogates are what Java
    // can hold but no NUL-terminated text can, so they are left out here.
    std::vector<std::uint16_t> raw;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        raw.push_back(static_cast<std::uint16_t>(data[i] | (data[i + 1] << 8)));
    }
    std::vector<std::uint16_t> units;
    bool pairs = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::uint16_t u = raw[i];
        if (u == 0 || (u >= 0xDC00 && u <= 0xDFFF)) continue;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < raw.size() && raw[i + 1] >= 0xDC00 && raw[i + 1] <= 0xDFFF) {
                units.push_back(u);
                units.push_back(raw[++i]);
                pairs = true;
            }
            continue;
        }
        units.push_back(u);
    }
    const std::string modified = jxel::fuzz::modifiedFromUnits(units);
    const std::string standard = jxel::fuzz::standardFromUnits(units);

    const JavaTextForm form = jxel::classifyJavaText(modified.c_str(), modified.size());
    if (form != (pairs ? JavaTextForm::kSurrogatePairs : JavaTextForm::kStandard)) {
        fail("classify: Java text", modified);
    }
    const std::string joined = pairs ? join(modified) : modified;
    if (joined != standard) fail("join: differs from the standard form", modified);
    if (toModified(joined) != modified) fail("Java text did not come back", modified);
}

void arbitraryBytes(const std::uint8_t* data, std::size_t size) {
    // Texts are NUL-terminated: take the bytes before the first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));

    bool joinedAny = false;
    const std::string reference = referenceJoin(text, &joinedAny);
    JavaTextForm expected = JavaTextForm::kUnrepresentable;
    if (jxel::fuzz::isStandardUtf8(reference)) {
        expected = joinedAny ? JavaTextForm::kSurrogatePairs : JavaTextForm::kStandard;
    }
    const JavaTextForm form = jxel::classifyJavaText(text.c_str(), text.size());
    if (form != expected) fail("classify: arbitrary bytes", text);
    if (form == JavaTextForm::kSurrogatePairs && join(text) != reference) {
        fail("join: arbitrary bytes", text);
    }

    const std::string modified = toModified(text);
    if (!jxel::test::isValidModifiedUtf8(modified)) fail("write: invalid modified UTF-8", text);
    if (jxel::fuzz::isStandardUtf8(text) && jxel::test::modifiedToStandard(modified) != text) {
        fail("write: valid text changed", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    javaTextRoundTrips(data, size);
    arbitraryBytes(data, size);
    return 0;
}
