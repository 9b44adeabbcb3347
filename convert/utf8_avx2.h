// The vector half of convert/utf8.cpp, which includes it once. Text is read in windows
// of 32 bytes (AVX2), each checked and rewritten in the same pass: Java's form checked and
// its surrogate pairs joined, for the agent; standard UTF-8 checked and its 4-byte
// sequences split, for the JVM. Every function here has a byte-wise twin in utf8.cpp; the
// twins must agree on every text (tests/utf8_vector_check.cpp). Not on Windows: GCC there
// does not align the stack for 32-byte spills.
#ifndef JXEL_CONVERT_UTF8_AVX2_H
#define JXEL_CONVERT_UTF8_AVX2_H

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jxel {
namespace {
namespace avx2 {

using Byte = unsigned char;

// The dispatch: without AVX2 the callers take the byte-wise code.
const bool kHasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);

// ---- Validation ----
//
// The lookup method of Keiser and Lemire ("Validating UTF-8 in less than one
// instruction per byte", 2021): each pair of adjacent bytes is classified
// through three 16-entry tables, by the previous byte's high and low nibble
// and the current byte's high nibble; a bit set in all three is an error.

constexpr char kTooShort = 1 << 0;                     // lead byte not followed by a continuation
constexpr char kTooLong = 1 << 1;                      // continuation after ASCII
constexpr char kOverlong3 = 1 << 2;                    // E0 80..9F
constexpr char kTooLarge = 1 << 3;                     // above U+10FFFF
constexpr char kSurrogate = 1 << 4;                    // ED A0..BF
constexpr char kOverlong2 = 1 << 5;                    // C0, C1
constexpr char kTooLarge1000 = 1 << 6;                 // F5..FF 80..8F
constexpr char kOverlong4 = 1 << 6;                    // F0 80..8F
constexpr char kTwoConts = static_cast<char>(1 << 7);  // checked against the lead's length
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
constexpr char kLarge = kCarry | kTooLarge | kTooLarge1000;
constexpr char kCont = kTooLong | kOverlong2 | kTwoConts;

// clang-format off
// By the high nibble of the previous byte.
alignas(16) constexpr char kPreviousHigh[16] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,  // ASCII
    kTwoConts, kTwoConts, kTwoConts, kTwoConts,                     // 8_..B_: continuations
    kTooShort | kOverlong2,                                // C_: 2-byte lead, C0 C1 overlong
    kTooShort,                                             // D_: 2-byte lead
    kTooShort | kOverlong3 | kSurrogate,                   // E_: 3-byte lead
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};   // F_: 4-byte lead, F5..FF none

// By the low nibble of the previous byte.
alignas(16) constexpr char kPreviousLow[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4,   // _0: C0 E0 F0, overlong if too small
    kCarry | kOverlong2,                             // _1: C1, always overlong
    kCarry, kCarry,                                  // _2, _3
    kCarry | kTooLarge,                              // _4: F4, above U+10FFFF if 90..BF follows
    kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,  // _5.._C: F5..FC
    kLarge | kSurrogate,                             // _D: ED, a surrogate if A0..BF follows
    kLarge, kLarge};                                 // _E, _F: FE, FF

// By the high nibble of the current byte.
alignas(16) constexpr char kCurrentHigh[16] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,  // ASCII
    kCont | kOverlong3 | kTooLarge1000 | kOverlong4,  // 8_: continuation 80..8F
    kCont | kOverlong3 | kTooLarge,                   // 9_: continuation 90..9F
    kCont | kSurrogate | kTooLarge,                   // A_: continuation A0..AF
    kCont | kSurrogate | kTooLarge,                   // B_: continuation B0..BF
    kTooShort, kTooShort, kTooShort, kTooShort};      // C_..F_: leads
// clang-format on

// By y & 0F, n = y & 0F + 1 for a high surrogate's second byte y: F0 + n >> 2, the
// first byte of the joined sequence, and 80 + (n & 3) << 4, the top of its second.
alignas(16) constexpr char kPairFirst[16] = {'\xF0', '\xF0', '\xF0', '\xF1', '\xF1', '\xF1',
                                             '\xF1', '\xF2', '\xF2', '\xF2', '\xF2', '\xF3',
                                             '\xF3', '\xF3', '\xF3', '\xF4'};
alignas(16) constexpr char kPairSecond[16] = {'\x90', '\xA0', '\xB0', '\x80', '\x90', '\xA0',
                                              '\xB0', '\x80', '\x90', '\xA0', '\xB0', '\x80',
                                              '\x90', '\xA0', '\xB0', '\x80'};

// For each 8-bit mask of bytes to drop: the indices of the bytes kept, in order, for bytes
// 0..7 and for bytes 8..15 of a 16-byte vector, and how many there are. 0x80 makes a
// shuffle write zero. Rows of 8 bytes, so that a mask indexes them directly.
struct PackTable {
    Byte low[256][8], high[256][8];
    Byte count[256];
};

constexpr PackTable makePackTable() {
    PackTable table{};
    for (int mask = 0; mask < 256; ++mask) {
        int kept = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (((mask >> bit) & 1) == 0) {
                table.low[mask][kept] = static_cast<Byte>(bit);
                table.high[mask][kept++] = static_cast<Byte>(bit + 8);
            }
        }
        table.count[mask] = static_cast<Byte>(kept);
        for (int k = kept; k < 8; ++k) table.low[mask][k] = table.high[mask][k] = 0x80;
    }
    return table;
}

constexpr PackTable kPack = makePackTable();

// Inlined into the pass, so that its constants are made once per text.
#define JXEL_AVX2_INLINE inline __attribute__((always_inline, target("avx2")))

// Writes the bytes of v but those `drop` names (bit k: byte k) to o; returns the end.
// Writes up to 8 bytes past that end.
JXEL_AVX2_INLINE Byte* pack16(__m128i v, unsigned drop, Byte* o) {
    const unsigned low = drop & 0xFF;
    const unsigned high = (drop >> 8) & 0xFF;
    const __m128i lowIndex = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.low[low]));
    const __m128i highIndex = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.high[high]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, lowIndex));
    o += kPack.count[low];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, highIndex));
    return o + kPack.count[high];
}

JXEL_AVX2_INLINE __m256i load32(const Byte* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

JXEL_AVX2_INLINE void store32(Byte* o, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), v);
}

// memcpy, with two overlapping moves for 32 to 64 bytes: most texts' ends are that short.
JXEL_AVX2_INLINE void copyBytes(Byte* to, const Byte* from, std::size_t n) {
    if (n < 32 || n > 64) {
        std::memcpy(to, from, n);
        return;
    }
    const __m256i last = load32(from + n - 32);
    store32(to, load32(from));
    store32(to + n - 32, last);
}

// The vector shifted by n bytes, the last bytes of `before` shifted in.
template <int n>
JXEL_AVX2_INLINE __m256i previous(__m256i v, __m256i before) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(before, v, 0x21), 16 - n);
}

// The constants of the windows, as 32-byte rows in memory: the instructions take them from
// there as operands, with nothing to make before a text or to keep in registers.
struct alignas(32) Vector32 {
    char bytes[32];
};

constexpr Vector32 splat32(int byte) {
    Vector32 v{};
    for (char& b : v.bytes) b = static_cast<char>(byte);
    return v;
}

// A 16-entry table in both halves, for the shuffles.
constexpr Vector32 table32(const char (&table)[16]) {
    Vector32 v{};
    for (int i = 0; i < 32; ++i) v.bytes[i] = table[i % 16];
    return v;
}

// Packs a window whose dropped bytes are every third from byte r: each lane's kept bytes.
constexpr Vector32 everyThird(int r) {
    Vector32 v = splat32(0x80);
    for (int i = 0, kept = 0; i < 32; ++i) {
        if (i == 16) kept = 16;
        if (i % 3 != r) v.bytes[kept++] = static_cast<char>(i % 16);
    }
    return v;
}

struct Constants {
    Vector32 previousHigh, previousLow, currentHigh, pairFirst, pairSecond;
    Vector32 ed, highNibble, a0, b0, lowNibble, x30, x80, x60, x70, javaErrors, everyThird[3];
};

// clang-format off
constexpr Constants kK = {
    table32(kPreviousHigh), table32(kPreviousLow), table32(kCurrentHigh),
    table32(kPairFirst),    table32(kPairSecond),  splat32(0xED),
    splat32(0xF0),          splat32(0xA0),         splat32(0xB0),
    splat32(0x0F),          splat32(0x30),         splat32(0x80),
    splat32(0x60),          splat32(0x70),         splat32(~kSurrogate & 0xFF),
    {everyThird(0), everyThird(1), everyThird(2)}};
// clang-format on

JXEL_AVX2_INLINE __m256i get(const Vector32& v) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(v.bytes));
}

// Non-zero bytes where the 32 bytes x0 break UTF-8, from them and the bytes 1, 2 and 3
// before: the lookups of kPreviousHigh, kPreviousLow and kCurrentHigh, and a second or
// third continuation wherever, and only where, a 3- or 4-byte lead wants one.
JXEL_AVX2_INLINE __m256i sequenceErrors(__m256i x0, __m256i xm1, __m256i xm2, __m256i xm3,
                                        const Constants& k) {
    const __m256i special = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(get(k.previousHigh),
                                _mm256_and_si256(_mm256_srli_epi16(xm1, 4), get(k.lowNibble))),
            _mm256_shuffle_epi8(get(k.previousLow), _mm256_and_si256(xm1, get(k.lowNibble)))),
        _mm256_shuffle_epi8(get(k.currentHigh),
                            _mm256_and_si256(_mm256_srli_epi16(x0, 4), get(k.lowNibble))));
    const __m256i must23 = _mm256_and_si256(
        _mm256_or_si256(_mm256_subs_epu8(xm2, get(k.x60)), _mm256_subs_epu8(xm3, get(k.x70))),
        get(k.x80));
    return _mm256_xor_si256(must23, special);
}

// What a pass has found so far.
struct Scan {
    __m256i errors;        // join: a flag but kSurrogate set when the text is not valid Java text
    __m256i before;        // join: high halves' second bytes of the window before (as 0xFF);
                           // split: 4-byte leads of the window before
    std::uint32_t joined;  // join: bits of the bytes dropped, over all windows
};

// ---- Java's form: checked, and its pairs joined ----

// Checks the 32 bytes at p as Java's form and works out their standard form. With the
// high half ED y z and the low half ED w v of a pair, the joined bytes take the places of
// y, z and w (each worked out from itself and the bytes before it) and v; the two EDs are
// dropped (bit k of the result: byte k).
template <bool kTestAscii>
JXEL_AVX2_INLINE std::uint32_t joinWindow(const Byte* p, __m256i& joined, Scan& scan,
                                          const Constants& k) {
    const __m256i x0 = load32(p);
    const __m256i xm3 = load32(p - 3);
    joined = x0;
    if (kTestAscii && _mm256_movemask_epi8(_mm256_or_si256(x0, xm3)) == 0) {
        // ASCII from 3 bytes before: nothing left open, nothing to join.
        scan.before = _mm256_setzero_si256();
        return 0;
    }
    const __m256i xm1 = load32(p - 1);
    const __m256i xm2 = load32(p - 2);
    // Valid as standard UTF-8, no high half open, no ED last: no surrogate half here.
    __m256i errors = sequenceErrors(x0, xm1, xm2, xm3, k);
    const __m256i open = _mm256_or_si256(errors, scan.before);
    if (_mm256_testz_si256(open, open) && p[31] != 0xED) return 0;
    const __m256i edAt = _mm256_cmpeq_epi8(x0, get(k.ed));
    const __m256i edBefore = _mm256_cmpeq_epi8(xm1, get(k.ed));
    // Where the joined bytes go, found by comparing the bytes themselves.
    const __m256i x0Top = _mm256_and_si256(x0, get(k.highNibble));
    const __m256i high = _mm256_and_si256(edBefore, _mm256_cmpeq_epi8(x0Top, get(k.a0)));  // y
    const __m256i low = _mm256_and_si256(edBefore, _mm256_cmpeq_epi8(x0Top, get(k.b0)));   // w
    const __m256i highThird = previous<1>(high, scan.before);                              // z
    // Java's form lets surrogates pass (kSurrogate is not read at the end), but the halves
    // must pair: a low half three bytes after each high half, and nowhere else.
    errors = _mm256_or_si256(errors, _mm256_xor_si256(low, previous<3>(high, scan.before)));
    scan.errors = _mm256_or_si256(scan.errors, errors);
    scan.before = high;
    // ED then A0..BF (bit 5 set, moved to bit 7): either half's ED, dropped.
    const __m256i dropped = _mm256_and_si256(edAt, _mm256_slli_epi16(load32(p + 1), 2));
    const __m256i first =
        _mm256_shuffle_epi8(get(k.pairFirst), _mm256_and_si256(x0, get(k.lowNibble)));
    const __m256i second = _mm256_or_si256(
        _mm256_shuffle_epi8(get(k.pairSecond), _mm256_and_si256(xm1, get(k.lowNibble))),
        _mm256_and_si256(_mm256_srli_epi16(x0, 2), get(k.lowNibble)));
    // w is B0 + its bits; the third joined byte takes bits 5 and 4 from z's bits 1 and 0.
    const __m256i third =
        _mm256_xor_si256(x0, _mm256_andnot_si256(_mm256_slli_epi16(xm2, 4), get(k.x30)));
    joined = _mm256_blendv_epi8(x0, first, high);
    joined = _mm256_blendv_epi8(joined, second, highThird);
    joined = _mm256_blendv_epi8(joined, third, low);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(dropped));
}

// ---- Standard UTF-8: checked, and its 4-byte sequences split ----

// Writes 16 bytes' first output bytes and, where `twice`, their second ones.
JXEL_AVX2_INLINE Byte* interleave16(__m128i firsts, __m128i seconds, __m128i twice, Byte* o) {
    // Each second slot is dropped unless `twice`.
    const __m128i none = _mm_setzero_si128();
    const __m128i once = _mm_cmpeq_epi8(twice, none);
    o = pack16(_mm_unpacklo_epi8(firsts, seconds),
               static_cast<unsigned>(_mm_movemask_epi8(_mm_unpacklo_epi8(none, once))), o);
    return pack16(_mm_unpackhi_epi8(firsts, seconds),
                  static_cast<unsigned>(_mm_movemask_epi8(_mm_unpackhi_epi8(none, once))), o);
}

// Checks the 32 bytes at p as standard UTF-8 and, with kWrite, writes them to o with their
// 4-byte sequences split into surrogate pairs. F0+a 80+b 80+c 80+d becomes
// ED A0+(w-1) 80+(b & F)<<2+c>>4 ED B0+(c & F) 80+d, with w = a<<2 | (b>>4 & 3): the lead
// and the third byte give two bytes each, the others one. False, with nothing written,
// when the bytes break the rules; without kWrite also when they hold a 4-byte sequence.
template <bool kWrite, bool kTestAscii>
JXEL_AVX2_INLINE bool splitWindow(const Byte* p, Byte*& o, Scan& scan, const Constants& k) {
    const __m256i x0 = load32(p);
    const __m256i xm3 = load32(p - 3);
    const __m256i leadsBefore = scan.before;
    scan.before = _mm256_setzero_si256();
    if (!kTestAscii || _mm256_movemask_epi8(_mm256_or_si256(x0, xm3)) != 0) {
        const __m256i errors = sequenceErrors(x0, load32(p - 1), load32(p - 2), xm3, k);
        if (!_mm256_testz_si256(errors, errors)) return false;
        scan.before = _mm256_cmpeq_epi8(_mm256_max_epu8(x0, get(k.highNibble)), x0);
    }
    const __m256i lead = scan.before;
    // Nothing to split unless a sequence starts in the window or within 2 bytes before it.
    if (_mm256_movemask_epi8(lead) == 0 &&
        (static_cast<std::uint32_t>(_mm256_movemask_epi8(leadsBefore)) & 0xC0000000u) == 0) {
        if (kWrite) store32(o, x0);
        if (kWrite) o += 32;
        return true;
    }
    if (!kWrite) return false;
    const __m256i x1 = load32(p + 1);
    const __m256i second = previous<1>(lead, leadsBefore);
    const __m256i third = previous<2>(lead, leadsBefore);
    const __m256i x1Bits = _mm256_and_si256(_mm256_srli_epi16(x1, 4), _mm256_set1_epi8(0x03));
    const __m256i highSecond = _mm256_or_si256(
        get(k.a0),
        _mm256_sub_epi8(
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(x0, _mm256_set1_epi8(0x07)), 2),
                            x1Bits),
            _mm256_set1_epi8(0x01)));
    const __m256i highThird = _mm256_or_si256(
        _mm256_or_si256(get(k.x80), _mm256_slli_epi16(_mm256_and_si256(x0, get(k.lowNibble)), 2)),
        x1Bits);
    const __m256i lowSecond = _mm256_or_si256(get(k.b0), _mm256_and_si256(x0, get(k.lowNibble)));
    // Every byte's first output byte, and the second one of the lead and the third byte.
    const __m256i twice = _mm256_or_si256(lead, third);
    __m256i firsts = _mm256_blendv_epi8(x0, get(k.ed), twice);
    firsts = _mm256_blendv_epi8(firsts, highThird, second);
    const __m256i seconds = _mm256_blendv_epi8(highSecond, lowSecond, third);
    o = interleave16(_mm256_castsi256_si128(firsts), _mm256_castsi256_si128(seconds),
                     _mm256_castsi256_si128(twice), o);
    o = interleave16(_mm256_extracti128_si256(firsts, 1), _mm256_extracti128_si256(seconds, 1),
                     _mm256_extracti128_si256(twice, 1), o);
    return true;
}

// Packs a window of surrogate pairs alone, whose EDs are every third byte: one fixed shuffle.
JXEL_AVX2_INLINE bool packEveryThird(__m256i v, std::uint32_t drop, Byte*& o, const Constants& k) {
    for (int r = 0; r < 3; ++r) {  // unrolled: each phase with its own shuffle and counts
        if (drop != 0x49249249u << r) continue;
        const __m256i packed = _mm256_shuffle_epi8(v, get(k.everyThird[r]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packed));
        o += r == 0 ? 10 : 11;  // bytes kept of 0..15; of 16..31, 11 unless r is 1
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(packed, 1));
        o += r == 1 ? 10 : 11;
        return true;
    }
    return false;
}

// ---- The pass ----

enum class Pass { kCheckJava, kJoin, kCheckStandard, kSplit };

// kTestAscii: first see whether the window is ASCII, with nothing to check or rewrite.
template <Pass kPass, bool kTestAscii = true>
JXEL_AVX2_INLINE bool step(const Byte* p, Byte*& o, Scan& scan, const Constants& k) {
    if (kPass == Pass::kCheckStandard || kPass == Pass::kSplit) {
        return splitWindow<kPass == Pass::kSplit, kTestAscii>(p, o, scan, k);
    }
    __m256i joined;
    const std::uint32_t dropped = joinWindow<kTestAscii>(p, joined, scan, k);
    scan.joined |= dropped;
    if (kPass != Pass::kJoin) return true;
    if (dropped == 0) {
        store32(o, joined);
        o += 32;
    } else if (!packEveryThird(joined, dropped, o, k)) {
        o = pack16(_mm256_castsi256_si128(joined), dropped & 0xFFFF, o);
        o = pack16(_mm256_extracti128_si256(joined, 1), dropped >> 16, o);
    }
    return true;
}

// A pass over s[0, length) in windows of 32 bytes, and over the NUL after its end, where a
// sequence the end cuts off is an error. Each window reads the 3 bytes before it and the byte
// after it. The first and last windows read from padded copies, and the last ones write
// through a buffer: nothing is read outside s, nothing written past what the pass produces
// (a window's stores reach at most 8 bytes past its output, which the 32 or more bytes left
// after it fill).
struct PassResult {
    std::size_t stop;  // length; else (< length) the start of the window that stopped it
    Byte* end;         // of the output, that of the windows before a stop
    bool valid;        // Java's form: the text is valid
    bool pairs;        // Java's form: it holds surrogate pairs
};

template <Pass kPass>
JXEL_AVX2_INLINE PassResult runPass(const Byte* s, std::size_t length, Byte* o) {
    constexpr bool kWrite = kPass == Pass::kJoin || kPass == Pass::kSplit;
    constexpr std::size_t kBefore = 4;
    // The constants' address, hidden from the compiler so that it takes them from memory
    // as operands: knowing their bytes, it would make each again at every use.
    const Constants* constants = &kK;
    __asm__("" : "+r"(constants));
    const Constants& k = *constants;
    Scan scan = {_mm256_setzero_si256(), _mm256_setzero_si256(), 0};
    std::size_t i = 0;
    if (length >= 64) {
        alignas(32) Byte head[kBefore + 64] = {};
        std::memcpy(head + kBefore, s, 64);
        if (!step<kPass>(head + kBefore, o, scan, k)) return {0, o, false, false};
        for (i = 32; i + 96 <= length; i += 64) {
            // ASCII, the commonest text, told 64 bytes a step; the windows of other text
            // are not asked again.
            const __m256i first = load32(s + i);
            const __m256i second = load32(s + i + 32);
            const __m256i any = _mm256_or_si256(_mm256_or_si256(first, second), load32(s + i - 3));
            if (_mm256_movemask_epi8(any) == 0) {
                if (kWrite) store32(o, first);
                if (kWrite) store32(o + 32, second);
                if (kWrite) o += 64;
                scan.before = _mm256_setzero_si256();
                continue;
            }
            if (!step<kPass, false>(s + i, o, scan, k)) return {i, o, false, false};
            if (!step<kPass, false>(s + i + 32, o, scan, k)) return {i + 32, o, false, false};
        }
        if (i + 64 <= length) {
            if (!step<kPass>(s + i, o, scan, k)) return {i, o, false, false};
            i += 32;
        }
    }
    const std::size_t rest = length - i;  // < 64: two windows at most
    const std::size_t before = i == 0 ? 0 : kBefore;
    alignas(32) Byte tail[96];  // the bytes before, two windows, the byte after them
    for (Byte* t = tail; t < tail + sizeof tail; t += 32) store32(t, _mm256_setzero_si256());
    copyBytes(tail + kBefore - before, s + i - before, before + rest);
    alignas(32) Byte written[2 * 64 + 8];
    Byte* w = written;
    std::size_t padded = 0;
    for (; padded <= rest; padded += 32) {
        if (!step<kPass>(tail + kBefore + padded, w, scan, k))
            return {std::min(i + padded, length - 1), o, false, false};
    }
    // A high half whose low half would start past the last window: the text ended first.
    if ((static_cast<std::uint32_t>(_mm256_movemask_epi8(scan.before)) >> 29) != 0 &&
        (kPass == Pass::kCheckJava || kPass == Pass::kJoin)) {
        scan.errors = _mm256_cmpeq_epi8(scan.errors, scan.errors);
    }
    if (kWrite) {
        // The padding is NULs, which every window keeps as they are.
        const std::size_t produced = static_cast<std::size_t>(w - written) - (padded - rest);
        copyBytes(o, written, produced);
        o += produced;
    }
    return {length, o, _mm256_testz_si256(scan.errors, get(k.javaErrors)) != 0, scan.joined != 0};
}

#define JXEL_AVX2 __attribute__((target("avx2")))

// Checks s[0, length) as Java's form; kJoin also writes its standard form (pairs joined) to
// out (room for length + 1), NUL at `end`. kUnrepresentable leaves it to the byte-wise code.
template <Pass kPass>
JXEL_AVX2 JavaTextForm checkAndJoin(const Byte* s, std::size_t length, Byte* out, Byte*& end) {
    const PassResult result = runPass<kPass>(s, length, out);
    end = result.end;
    if (!result.valid) return JavaTextForm::kUnrepresentable;
    if (end != nullptr) *end = '\0';
    return result.pairs ? JavaTextForm::kSurrogatePairs : JavaTextForm::kStandard;
}

// The start of the first window of s[0, length) that breaks standard UTF-8 or holds a
// 4-byte sequence, so that the JVM cannot take it as it is; `length` when none does.
JXEL_AVX2 std::size_t firstWindowToRewrite(const Byte* s, std::size_t length) {
    return runPass<Pass::kCheckStandard>(s, length, nullptr).stop;
}

// Writes s[0, length), valid standard UTF-8, to out (room for its modified form) with its
// 4-byte sequences split, NUL-terminated; false, with no NUL, when s is not valid.
JXEL_AVX2 bool splitFourByte(const Byte* s, std::size_t length, Byte* out) {
    const PassResult result = runPass<Pass::kSplit>(s, length, out);
    if (result.stop == length) *result.end = '\0';
    return result.stop == length;
}

#undef JXEL_AVX2
#undef JXEL_AVX2_INLINE

}  // namespace avx2
}  // namespace
}  // namespace jxel

#endif  // JXEL_CONVERT_UTF8_AVX2_H
