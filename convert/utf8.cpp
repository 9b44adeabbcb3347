#include "utf8.h"

#include <cstdint>
#include <cstring>

// JXEL_UTF8_NO_VECTOR builds the byte-wise code alone, the reference the
// vector code (utf8_avx2.h) is checked against by tests/utf8_vector_check.cpp.
#if !defined(JXEL_UTF8_NO_VECTOR) && (defined(__GNUC__) || defined(__clang__)) && \
    (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include "utf8_avx2.h"
#define JXEL_UTF8_AVX2 1
#endif

namespace jxel {
namespace {

using Byte = unsigned char;

constexpr Byte kReplacement[] = {0xEF, 0xBF, 0xBD};  // U+FFFD

// Index of the first byte at or after `from` that is not ASCII, or `length`.
std::size_t skipAscii(const Byte* s, std::size_t from, std::size_t length) {
    std::size_t i = from;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) break;
    }
    while (i < length && s[i] < 0x80) ++i;
    return i;
}

bool isContinuation(Byte b) { return (b & 0xC0) == 0x80; }

struct Sequence {
    std::size_t length;  // bytes taken: the sequence, or its maximal invalid subpart
    bool valid;
};

// Reads one standard UTF-8 sequence at `i` (s[i] >= 0x80). An invalid
// sequence yields its maximal subpart, the unit that gets one U+FFFD.
Sequence readSequence(const Byte* s, std::size_t i, std::size_t length) {
    const Byte lead = s[i];
    if (lead < 0xC2 || lead > 0xF4) return {1, false};
    const std::size_t continuations = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    // The first continuation's range: no overlong forms, no surrogates, nothing above U+10FFFF.
    const Byte low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const Byte high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (i + 1 >= length || s[i + 1] < low || s[i + 1] > high) return {1, false};
    for (std::size_t j = i + 2; j <= i + continuations; ++j) {
        if (j >= length || !isContinuation(s[j])) return {j - i, false};
    }
    return {continuations + 1, true};
}

// A surrogate's 3-byte form at i: ED, then A_ (high half) or B_ (low half) as `top`.
bool isSurrogateAt(const Byte* s, std::size_t i, std::size_t length, Byte top) {
    return i + 2 < length && s[i] == 0xED && (s[i + 1] & 0xF0) == top && isContinuation(s[i + 2]);
}

// The 10 payload bits of a 3-byte surrogate sequence.
std::uint32_t surrogateBits(const Byte* s) {
    return (static_cast<std::uint32_t>(s[1] & 0x0F) << 6) | (s[2] & 0x3F);
}

void putSurrogate(std::uint32_t unit, Byte* out) {
    out[0] = static_cast<Byte>(0xE0 | (unit >> 12));
    out[1] = static_cast<Byte>(0x80 | ((unit >> 6) & 0x3F));
    out[2] = static_cast<Byte>(0x80 | (unit & 0x3F));
}

// Walks standard UTF-8 from `from`, handing each piece of the modified form to `sink`:
// sink(bytes, count).
template <typename Sink>
void walkToModified(const Byte* s, std::size_t from, std::size_t length, Sink&& sink) {
    std::size_t i = from;
    while (true) {
        const std::size_t end = skipAscii(s, i, length);
        if (end > i) sink(s + i, end - i);
        i = end;
        if (i == length) break;
        const Sequence sequence = readSequence(s, i, length);
        if (!sequence.valid) {
            sink(kReplacement, sizeof kReplacement);
        } else if (sequence.length == 4) {
            const std::uint32_t code = ((s[i] & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                                       ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            Byte pair[6] = {};
            putSurrogate(0xD800 + ((code - 0x10000) >> 10), pair);
            putSurrogate(0xDC00 + ((code - 0x10000) & 0x3FF), pair + 3);
            sink(pair, sizeof pair);
        } else {
            sink(s + i, sequence.length);
        }
        i += sequence.length;
    }
}

// Shorter ASCII texts, the commonest, are told by one test before anything else.
constexpr std::size_t kShort = 32;

// Reads Java's form byte by byte: its form and, when `o` is not null, unless the text is
// kUnrepresentable, its standard form written there (pairs joined, NUL-terminated), of
// `written` bytes before the NUL.
JavaTextForm javaBytewise(const Byte* s, std::size_t length, Byte* o, std::size_t& written) {
    JavaTextForm form = JavaTextForm::kStandard;
    written = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t end = skipAscii(s, i, length);
        if (o != nullptr) std::memcpy(o + written, s + i, end - i);
        written += end - i;
        i = end;
        if (i == length) break;
        if (isSurrogateAt(s, i, length, 0xA0)) {
            if (!isSurrogateAt(s, i + 3, length, 0xB0)) return JavaTextForm::kUnrepresentable;
            const std::uint32_t code =
                0x10000 + ((surrogateBits(s + i) << 10) | surrogateBits(s + i + 3));
            const Byte joined[] = {static_cast<Byte>(0xF0 | (code >> 18)),
                                   static_cast<Byte>(0x80 | ((code >> 12) & 0x3F)),
                                   static_cast<Byte>(0x80 | ((code >> 6) & 0x3F)),
                                   static_cast<Byte>(0x80 | (code & 0x3F))};
            if (o != nullptr) std::memcpy(o + written, joined, sizeof joined);
            written += sizeof joined;
            form = JavaTextForm::kSurrogatePairs;
            i += 6;
        } else {
            // A lone low surrogate, C0 80 (U+0000) and every other invalid
            // sequence fail here; valid 4-byte sequences from native callers pass.
            const Sequence sequence = readSequence(s, i, length);
            if (!sequence.valid) return JavaTextForm::kUnrepresentable;
            if (o != nullptr) std::memcpy(o + written, s + i, sequence.length);
            written += sequence.length;
            i += sequence.length;
        }
    }
    if (o != nullptr) o[written] = '\0';
    return form;
}

}  // namespace

std::size_t modifiedUtf8Unchanged(const char* text, std::size_t length) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    std::size_t i = 0;
    if (length < kShort && skipAscii(s, 0, length) == length) return length;
#if defined(JXEL_UTF8_AVX2)
    if (avx2::kHasAvx2) {
        const std::size_t stop = avx2::firstWindowToRewrite(s, length);
        if (stop >= length) return length;
        // What stopped the pass may start up to 3 bytes before its window, inside a
        // character; the byte-wise code finds it from the start of that character.
        const std::size_t from = stop < 3 ? 0 : stop - 3;
        for (i = from; i > 0 && from - i < 3 && isContinuation(s[i]);) --i;
    }
#endif
    while ((i = skipAscii(s, i, length)) < length) {
        const Sequence sequence = readSequence(s, i, length);
        if (!sequence.valid || sequence.length == 4) return i;
        i += sequence.length;
    }
    return length;
}

JavaTextForm classifyJavaText(const char* text, std::size_t length) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    if (length < kShort && skipAscii(s, 0, length) == length) return JavaTextForm::kStandard;
#if defined(JXEL_UTF8_AVX2)
    Byte* end = nullptr;
    const JavaTextForm form =
        avx2::kHasAvx2 ? avx2::checkAndJoin<avx2::Pass::kCheckJava>(s, length, nullptr, end)
                       : JavaTextForm::kUnrepresentable;
    if (form != JavaTextForm::kUnrepresentable) return form;
#endif
    std::size_t written = 0;
    return javaBytewise(s, length, nullptr, written);
}

std::size_t joinSurrogatePairs(const char* text, std::size_t length, char* out) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    auto* o = reinterpret_cast<Byte*>(out);
#if defined(JXEL_UTF8_AVX2)
    Byte* end = nullptr;
    if (avx2::kHasAvx2 && avx2::checkAndJoin<avx2::Pass::kJoin>(s, length, o, end) !=
                              JavaTextForm::kUnrepresentable) {
        return static_cast<std::size_t>(end - o);
    }
#endif
    std::size_t written = 0;
    javaBytewise(s, length, o, written);
    return written;
}

JavaTextForm standardFromJavaText(const char* text, std::size_t length, char* out) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    auto* o = reinterpret_cast<Byte*>(out);
    if (length < kShort && skipAscii(s, 0, length) == length) {
        std::memcpy(o, s, length);
        o[length] = '\0';
        return JavaTextForm::kStandard;
    }
#if defined(JXEL_UTF8_AVX2)
    Byte* end = nullptr;
    const JavaTextForm form = avx2::kHasAvx2
                                  ? avx2::checkAndJoin<avx2::Pass::kJoin>(s, length, o, end)
                                  : JavaTextForm::kUnrepresentable;
    if (form != JavaTextForm::kUnrepresentable) return form;
#endif
    std::size_t written = 0;
    return javaBytewise(s, length, o, written);
}

std::size_t modifiedUtf8Size(const char* text, std::size_t length) {
    const std::size_t unchanged = modifiedUtf8Unchanged(text, length);
    if (unchanged == length) return 0;
    std::size_t size = unchanged + 1;
    walkToModified(reinterpret_cast<const Byte*>(text), unchanged, length,
                   [&size](const Byte*, std::size_t count) { size += count; });
    return size;
}

void writeModifiedUtf8(const char* text, std::size_t length, char* out) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    auto* o = reinterpret_cast<Byte*>(out);
#if defined(JXEL_UTF8_AVX2)
    if (avx2::kHasAvx2 && avx2::splitFourByte(s, length, o)) return;
#endif
    walkToModified(s, 0, length, [&o](const Byte* bytes, std::size_t count) {
        std::memcpy(o, bytes, count);
        o += count;
    });
    *o = '\0';
}

}  // namespace jxel
