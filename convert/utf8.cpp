#include "utf8.h"

#include <cstdint>
#include <cstring>

// JXEL_UTF8_NO_VECTOR builds the byte-wise code alone, the reference the
// vector path is checked against (bench/native/utf8_check.cpp). Not on
// Windows: GCC there does not align the stack for 32-byte spills.
#if !defined(JXEL_UTF8_NO_VECTOR) && (defined(__GNUC__) || defined(__clang__)) && \
    (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include <immintrin.h>
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
    int continuations = 2;
    Byte low = 0x80;
    Byte high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
    } else if (lead == 0xE0) {
        low = 0xA0;  // no overlong forms
    } else if (lead == 0xED) {
        high = 0x9F;  // no surrogates
    } else if (lead >= 0xE1 && lead <= 0xEF) {
        // the full continuation range
    } else if (lead == 0xF0) {
        continuations = 3;
        low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        continuations = 3;
    } else if (lead == 0xF4) {
        continuations = 3;
        high = 0x8F;  // nothing above U+10FFFF
    } else {
        return {1, false};
    }
    std::size_t j = i + 1;
    if (j >= length || s[j] < low || s[j] > high) return {1, false};
    for (++j; j < i + 1 + static_cast<std::size_t>(continuations); ++j) {
        if (j >= length || !isContinuation(s[j])) return {j - i, false};
    }
    return {j - i, true};
}

bool isHighSurrogateAt(const Byte* s, std::size_t i, std::size_t length) {
    return i + 2 < length && s[i] == 0xED && s[i + 1] >= 0xA0 && s[i + 1] <= 0xAF &&
           isContinuation(s[i + 2]);
}

bool isLowSurrogateAt(const Byte* s, std::size_t i, std::size_t length) {
    return i + 2 < length && s[i] == 0xED && s[i + 1] >= 0xB0 && s[i + 1] <= 0xBF &&
           isContinuation(s[i + 2]);
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

// ---- Validation of long texts, 32 bytes at a time ----
//
// Long texts are nearly always valid, so they are first checked as a whole
// with vector instructions; the byte-wise code below then only starts where
// that check stopped. The check is the lookup method of Keiser and Lemire
// ("Validating UTF-8 in less than one instruction per byte", 2021): each
// byte pair is classified through three 16-entry tables, and an error is any
// bit that all three agree on.

// Texts shorter than this are cheaper to walk byte-wise.
constexpr std::size_t kVectorMinimum = 64;

#if defined(JXEL_UTF8_AVX2)

bool cpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

const bool kHasAvx2 = cpuHasAvx2();

constexpr char kTooShort = 1 << 0;   // lead byte not followed by a continuation
constexpr char kTooLong = 1 << 1;    // continuation after ASCII
constexpr char kOverlong3 = 1 << 2;  // E0 80..9F
constexpr char kTooLarge = 1 << 3;   // above U+10FFFF
constexpr char kSurrogate = 1 << 4;  // ED A0..BF
constexpr char kOverlong2 = 1 << 5;  // C0, C1
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;                    // F0 80..8F
constexpr char kTwoConts = static_cast<char>(1 << 7);  // checked against the lead's length
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i table16(char t0, char t1, char t2, char t3, char t4,
                                                       char t5, char t6, char t7, char t8, char t9,
                                                       char t10, char t11, char t12, char t13,
                                                       char t14, char t15) {
    return _mm256_setr_epi8(t0, t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14, t15,
                            t0, t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14, t15);
}

// The block shifted by n bytes, the previous block's last bytes shifted in.
template <int n>
__attribute__((target("avx2"))) inline __m256i previous(__m256i block, __m256i before) {
    return _mm256_alignr_epi8(block, _mm256_permute2x128_si256(before, block, 0x21), 16 - n);
}

__attribute__((target("avx2"))) inline __m256i highNibbles(__m256i v) {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// Non-zero bytes where `block` (after `before`) breaks standard UTF-8.
__attribute__((target("avx2"))) inline __m256i blockErrors(__m256i block, __m256i before) {
    const __m256i prev1 = previous<1>(block, before);
    const __m256i byte1High = _mm256_shuffle_epi8(
        table16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                kTooShort | kOverlong3 | kSurrogate,
                kTooShort | kTooLarge | kTooLarge1000 | kOverlong4),
        highNibbles(prev1));
    constexpr char kLarge = kCarry | kTooLarge | kTooLarge1000;
    const __m256i byte1Low = _mm256_shuffle_epi8(
        table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
                kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                kLarge | kSurrogate, kLarge, kLarge),
        _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
    constexpr char kCont = kTooLong | kOverlong2 | kTwoConts;
    const __m256i byte2High = _mm256_shuffle_epi8(
        table16(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                kTooShort, kCont | kOverlong3 | kTooLarge1000 | kOverlong4,
                kCont | kOverlong3 | kTooLarge, kCont | kSurrogate | kTooLarge,
                kCont | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort, kTooShort),
        highNibbles(block));
    const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);
    // A second or third continuation must follow a 3- or 4-byte lead, and only there.
    const __m256i third = _mm256_subs_epu8(previous<2>(block, before), _mm256_set1_epi8(0x60));
    const __m256i fourth = _mm256_subs_epu8(previous<3>(block, before), _mm256_set1_epi8(0x70));
    const __m256i must23 =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(kTwoConts));
    return _mm256_xor_si256(must23, special);
}

// Non-zero where the block ends inside a sequence.
__attribute__((target("avx2"))) inline __m256i incompleteAtEnd(__m256i block) {
    const __m256i limits =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xEF),
                         static_cast<char>(0xDF), static_cast<char>(0xBF));
    return _mm256_subs_epu8(block, limits);
}

// Checks blocks a, b after `before`; false when they break the rules. Moves
// `before` and `pending` (the last block ended inside a sequence) on.
__attribute__((target("avx2"))) inline bool validPair(__m256i a, __m256i b, __m256i fourByteLead,
                                                      __m256i& before, __m256i& pending) {
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
        if (!_mm256_testz_si256(pending, pending)) return false;
        before = b;
        return true;
    }
    // A sequence left open by the last block is checked here, with a's bytes.
    __m256i errors = _mm256_or_si256(blockErrors(a, before), blockErrors(b, a));
    errors = _mm256_or_si256(errors, _mm256_subs_epu8(a, fourByteLead));
    errors = _mm256_or_si256(errors, _mm256_subs_epu8(b, fourByteLead));
    if (!_mm256_testz_si256(errors, errors)) return false;
    pending = incompleteAtEnd(b);
    before = b;
    return true;
}

// Checks s, 64 bytes at a time. Returns `length` when all of it is valid standard UTF-8 (without
// 4-byte sequences when `bmpOnly`); otherwise the start of the 64 bytes where a
// check failed, which says nothing of where in them the error is.
__attribute__((target("avx2"))) std::size_t checkedBlocks(const Byte* s, std::size_t length,
                                                          bool bmpOnly) {
    const __m256i fourByteLead = _mm256_set1_epi8(static_cast<char>(bmpOnly ? 0xEF : 0xFF));
    __m256i before = _mm256_setzero_si256();
    // The last block ended inside a sequence: an error only if ASCII comes next.
    __m256i pending = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 64 <= length; i += 64) {
        if (!validPair(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)),
                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32)),
                       fourByteLead, before, pending)) {
            return i;
        }
    }
    // The rest, padded with NULs (ASCII): a sequence cut off by the end is an error there.
    alignas(32) Byte rest[64] = {};
    std::memcpy(rest, s + i, length - i);
    if (!validPair(_mm256_load_si256(reinterpret_cast<const __m256i*>(rest)),
                   _mm256_load_si256(reinterpret_cast<const __m256i*>(rest + 32)), fourByteLead,
                   before, pending)) {
        // With nothing left, the error is a sequence the last 64 bytes left open.
        return i < length ? i : length - 64;
    }
    return length;
}

#endif  // JXEL_UTF8_AVX2

// Length of a prefix of s made of whole, valid standard UTF-8 characters
// (BMP only when `bmpOnly`): all of s when it is valid, 0 when nothing was
// checked. The byte-wise code continues from there with the same result as
// from the start.
std::size_t validPrefix(const Byte* s, std::size_t length, bool bmpOnly) {
#if defined(JXEL_UTF8_AVX2)
    if (length < kVectorMinimum || !kHasAvx2) return 0;
    const std::size_t end = checkedBlocks(s, length, bmpOnly);
    if (end == length) return length;
    // Step back to the start of the character holding the last checked byte:
    // it may go on past `end`.
    if (end == 0) return 0;
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && isContinuation(s[start])) --start;
    return start;
#else
    (void)s;
    (void)length;
    (void)bmpOnly;
    return 0;
#endif
}

// Walks standard UTF-8, handing each piece of the modified form to `sink`:
// sink(bytes, count). Returns whether any piece differs from the input.
template <typename Sink>
bool walkToModified(const Byte* s, std::size_t length, Sink&& sink) {
    bool changed = false;
    std::size_t i = validPrefix(s, length, true);
    if (i > 0) sink(s, i);
    while (true) {
        const std::size_t end = skipAscii(s, i, length);
        if (end > i) sink(s + i, end - i);
        i = end;
        if (i == length) break;
        const Sequence sequence = readSequence(s, i, length);
        if (!sequence.valid) {
            sink(kReplacement, sizeof kReplacement);
            changed = true;
        } else if (sequence.length == 4) {
            const std::uint32_t code = ((s[i] & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                                       ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            Byte pair[6] = {};
            putSurrogate(0xD800 + ((code - 0x10000) >> 10), pair);
            putSurrogate(0xDC00 + ((code - 0x10000) & 0x3FF), pair + 3);
            sink(pair, sizeof pair);
            changed = true;
        } else {
            sink(s + i, sequence.length);
        }
        i += sequence.length;
    }
    return changed;
}

}  // namespace

JavaTextForm classifyJavaText(const char* text, std::size_t length) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    JavaTextForm form = JavaTextForm::kStandard;
    std::size_t i = validPrefix(s, length, false);
    while ((i = skipAscii(s, i, length)) < length) {
        if (isHighSurrogateAt(s, i, length)) {
            if (!isLowSurrogateAt(s, i + 3, length)) return JavaTextForm::kUnrepresentable;
            form = JavaTextForm::kSurrogatePairs;
            i += 6;
            continue;
        }
        // A lone low surrogate, C0 80 (U+0000) and every other invalid
        // sequence fail here; valid 4-byte sequences from native callers pass.
        const Sequence sequence = readSequence(s, i, length);
        if (!sequence.valid) return JavaTextForm::kUnrepresentable;
        i += sequence.length;
    }
    return form;
}

std::size_t joinSurrogatePairs(const char* text, std::size_t length, char* out) {
    const auto* s = reinterpret_cast<const Byte*>(text);
    auto* o = reinterpret_cast<Byte*>(out);
    std::size_t written = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t end = skipAscii(s, i, length);
        std::memcpy(o + written, s + i, end - i);
        written += end - i;
        i = end;
        if (i == length) break;
        if (isHighSurrogateAt(s, i, length) && isLowSurrogateAt(s, i + 3, length)) {
            const std::uint32_t code =
                0x10000 + ((surrogateBits(s + i) << 10) | surrogateBits(s + i + 3));
            o[written++] = static_cast<Byte>(0xF0 | (code >> 18));
            o[written++] = static_cast<Byte>(0x80 | ((code >> 12) & 0x3F));
            o[written++] = static_cast<Byte>(0x80 | ((code >> 6) & 0x3F));
            o[written++] = static_cast<Byte>(0x80 | (code & 0x3F));
            i += 6;
        } else {
            o[written++] = s[i++];
        }
    }
    o[written] = '\0';
    return written;
}

std::size_t modifiedUtf8Size(const char* text, std::size_t length) {
    std::size_t size = 0;
    const bool changed = walkToModified(reinterpret_cast<const Byte*>(text), length,
                                        [&size](const Byte*, std::size_t count) { size += count; });
    return changed ? size + 1 : 0;
}

void writeModifiedUtf8(const char* text, std::size_t length, char* out) {
    auto* o = reinterpret_cast<Byte*>(out);
    walkToModified(reinterpret_cast<const Byte*>(text), length,
                   [&o](const Byte* bytes, std::size_t count) {
                       std::memcpy(o, bytes, count);
                       o += count;
                   });
    *o = '\0';
}

}  // namespace jxel
