// The vector half of convert/utf8.cpp, which includes it once: UTF-8 checked
// 64 bytes at a time, surrogate pairs joined and 4-byte sequences split 32
// bytes at a time. Every function here has a byte-wise twin in utf8.cpp; the
// twins must agree on every text (tests/utf8_vector_check.cpp).
//
// Not on Windows: GCC there does not align the stack for 32-byte spills.
#ifndef JXEL_CONVERT_UTF8_AVX2_H
#define JXEL_CONVERT_UTF8_AVX2_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jxel {
namespace {
namespace avx2 {

using Byte = unsigned char;

bool cpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

const bool kHasAvx2 = cpuHasAvx2();

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

// By the high nibble of the previous byte.
alignas(16) constexpr char kPreviousHigh[16] = {
    kTooLong,                                           // 0_: ASCII
    kTooLong,                                           // 1_: ASCII
    kTooLong,                                           // 2_: ASCII
    kTooLong,                                           // 3_: ASCII
    kTooLong,                                           // 4_: ASCII
    kTooLong,                                           // 5_: ASCII
    kTooLong,                                           // 6_: ASCII
    kTooLong,                                           // 7_: ASCII
    kTwoConts,                                          // 8_: continuation
    kTwoConts,                                          // 9_: continuation
    kTwoConts,                                          // A_: continuation
    kTwoConts,                                          // B_: continuation
    kTooShort | kOverlong2,                             // C_: 2-byte lead, C0 C1 overlong
    kTooShort,                                          // D_: 2-byte lead
    kTooShort | kOverlong3 | kSurrogate,                // E_: 3-byte lead
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4  // F_: 4-byte lead, F5..FF none
};

// By the low nibble of the previous byte.
alignas(16) constexpr char kPreviousLow[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4,  // _0: C0 E0 F0, overlong if too small
    kCarry | kOverlong2,                            // _1: C1, always overlong
    kCarry,                                         // _2
    kCarry,                                         // _3
    kCarry | kTooLarge,                             // _4: F4, above U+10FFFF if 90..BF follows
    kLarge,                                         // _5: F5, always too large
    kLarge,                                         // _6: F6
    kLarge,                                         // _7: F7
    kLarge,                                         // _8: F8
    kLarge,                                         // _9: F9
    kLarge,                                         // _A: FA
    kLarge,                                         // _B: FB
    kLarge,                                         // _C: FC
    kLarge | kSurrogate,                            // _D: ED, a surrogate if A0..BF follows
    kLarge,                                         // _E: FE
    kLarge                                          // _F: FF
};

// By the high nibble of the current byte.
alignas(16) constexpr char kCurrentHigh[16] = {
    kTooShort,                                        // 0_: ASCII
    kTooShort,                                        // 1_: ASCII
    kTooShort,                                        // 2_: ASCII
    kTooShort,                                        // 3_: ASCII
    kTooShort,                                        // 4_: ASCII
    kTooShort,                                        // 5_: ASCII
    kTooShort,                                        // 6_: ASCII
    kTooShort,                                        // 7_: ASCII
    kCont | kOverlong3 | kTooLarge1000 | kOverlong4,  // 8_: continuation 80..8F
    kCont | kOverlong3 | kTooLarge,                   // 9_: continuation 90..9F
    kCont | kSurrogate | kTooLarge,                   // A_: continuation A0..AF
    kCont | kSurrogate | kTooLarge,                   // B_: continuation B0..BF
    kTooShort,                                        // C_: lead
    kTooShort,                                        // D_: lead
    kTooShort,                                        // E_: lead
    kTooShort                                         // F_: lead
};

// kPreviousLow for Java's form in the join pass, where ED A0..BF is no error by itself:
// that pass checks that the halves come in pairs.
struct JavaPreviousLow {
    alignas(16) char entries[16];
};
constexpr JavaPreviousLow makeJavaPreviousLow() {
    JavaPreviousLow table{};
    for (int i = 0; i < 16; ++i) {
        table.entries[i] = static_cast<char>(kPreviousLow[i] & ~kSurrogate);
    }
    return table;
}
constexpr JavaPreviousLow kJavaPreviousLow = makeJavaPreviousLow();

__attribute__((target("avx2"))) inline __m256i table(const char (&entries)[16]) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(entries)));
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
    const __m256i byte1High = _mm256_shuffle_epi8(table(kPreviousHigh), highNibbles(prev1));
    const __m256i byte1Low =
        _mm256_shuffle_epi8(table(kPreviousLow), _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
    const __m256i byte2High = _mm256_shuffle_epi8(table(kCurrentHigh), highNibbles(block));
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

__attribute__((target("avx2"))) inline int bitCount(std::uint32_t bits) {
    return __builtin_popcount(bits);
}

// The second byte of a surrogate's 3-byte form: ED, then A0..AF (high) or B0..BF (low).
template <int kSecondHigh>
__attribute__((target("avx2"))) inline __m256i surrogateSeconds(__m256i block, __m256i before) {
    const __m256i afterEd =
        _mm256_cmpeq_epi8(previous<1>(block, before), _mm256_set1_epi8(static_cast<char>(0xED)));
    const __m256i second =
        _mm256_cmpeq_epi8(_mm256_and_si256(block, _mm256_set1_epi8(static_cast<char>(0xF0))),
                          _mm256_set1_epi8(static_cast<char>(kSecondHigh)));
    return _mm256_and_si256(afterEd, second);
}

// What the check of a text found so far.
struct Scan {
    __m256i before;      // the last block checked
    __m256i pending;     // non-zero: the last block ended inside a sequence
    __m256i highBefore;  // high-surrogate second bytes of the last block (Java form)
    std::size_t pairs;   // surrogate pairs met (Java form)
    std::size_t fourByteLeads;
};

// A high surrogate's low half would start in the next block.
__attribute__((target("avx2"))) inline bool highLeftOpen(__m256i highBefore) {
    return (static_cast<std::uint32_t>(_mm256_movemask_epi8(highBefore)) & 0xE0000000u) != 0;
}

// Checks blocks a, b after the ones `scan` has seen; false when they break the rules.
// With kJava, surrogates are allowed in pairs (high, then low), as Java's form writes
// characters above U+FFFF; otherwise they are errors.
template <bool kJava>
__attribute__((target("avx2"))) inline bool validPair(__m256i a, __m256i b, Scan& scan) {
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
        if (!_mm256_testz_si256(scan.pending, scan.pending)) return false;
        if (kJava && highLeftOpen(scan.highBefore)) return false;
        scan.before = b;
        scan.highBefore = _mm256_setzero_si256();
        return true;
    }
    // A sequence left open by the last block is checked here, with a's bytes.
    __m256i errors = _mm256_or_si256(blockErrors(a, scan.before), blockErrors(b, a));
    if (kJava && _mm256_testz_si256(errors, errors)) {
        // No surrogates here: a high half left open by the last block has no low half.
        if (highLeftOpen(scan.highBefore)) return false;
        scan.highBefore = _mm256_setzero_si256();
    } else if (kJava) {
        // Surrogates, or other errors: every low half must come three bytes after a
        // high half, and only there.
        errors = _mm256_andnot_si256(_mm256_set1_epi8(kSurrogate), errors);
        const __m256i highA = surrogateSeconds<0xA0>(a, scan.before);
        const __m256i highB = surrogateSeconds<0xA0>(b, a);
        const __m256i lowA = surrogateSeconds<0xB0>(a, scan.before);
        const __m256i lowB = surrogateSeconds<0xB0>(b, a);
        errors =
            _mm256_or_si256(errors, _mm256_xor_si256(lowA, previous<3>(highA, scan.highBefore)));
        errors = _mm256_or_si256(errors, _mm256_xor_si256(lowB, previous<3>(highB, highA)));
        if (!_mm256_testz_si256(errors, errors)) return false;
        scan.pairs += static_cast<std::size_t>(
            bitCount(static_cast<std::uint32_t>(_mm256_movemask_epi8(lowA))) +
            bitCount(static_cast<std::uint32_t>(_mm256_movemask_epi8(lowB))));
        scan.highBefore = highB;
    } else {
        if (!_mm256_testz_si256(errors, errors)) return false;
        const __m256i f0 = _mm256_set1_epi8(static_cast<char>(0xF0));
        const __m256i leadsA = _mm256_cmpeq_epi8(_mm256_max_epu8(a, f0), a);
        const __m256i leadsB = _mm256_cmpeq_epi8(_mm256_max_epu8(b, f0), b);
        scan.fourByteLeads += static_cast<std::size_t>(
            bitCount(static_cast<std::uint32_t>(_mm256_movemask_epi8(leadsA))) +
            bitCount(static_cast<std::uint32_t>(_mm256_movemask_epi8(leadsB))));
    }
    scan.pending = incompleteAtEnd(b);
    scan.before = b;
    return true;
}

// Checks s, 64 bytes at a time. Returns `length` when all of it is valid (standard
// UTF-8, or Java's form with kJava); otherwise the start of the 64 bytes where a check
// failed, which says nothing of where in them the error is. Only when all is valid do the
// counts in `scan` cover the text exactly.
template <bool kJava>
__attribute__((target("avx2"))) std::size_t checkedBlocks(const Byte* s, std::size_t length,
                                                          Scan& scan) {
    scan.before = _mm256_setzero_si256();
    scan.pending = _mm256_setzero_si256();
    scan.highBefore = _mm256_setzero_si256();
    scan.pairs = 0;
    scan.fourByteLeads = 0;
    std::size_t i = 0;
    for (; i + 64 <= length; i += 64) {
        if (!validPair<kJava>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)),
                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32)),
                              scan)) {
            return i;
        }
    }
    // The rest, padded with NULs (ASCII): a sequence cut off by the end is an error there.
    alignas(32) Byte rest[64] = {};
    std::memcpy(rest, s + i, length - i);
    if (!validPair<kJava>(_mm256_load_si256(reinterpret_cast<const __m256i*>(rest)),
                          _mm256_load_si256(reinterpret_cast<const __m256i*>(rest + 32)), scan) ||
        (kJava && highLeftOpen(scan.highBefore))) {
        // With nothing left, the error is a sequence the last 64 bytes left open.
        return i < length ? i : length - 64;
    }
    return length;
}

// ---- Rewriting 32 bytes at a time ----
//
// Both rewrites work out every byte's new value (or values) in place from the bytes
// around it, then pack the bytes that stay to the front by shuffles: the split a shuffle
// per 8 bytes, the join one per 16 (packPairs16).

// For each 8-bit mask of bytes to drop: the indices of the bytes kept, in order, for bytes
// 0..7 and for bytes 8..15 of a 16-byte vector, and how many there are. 0x80 makes a
// shuffle write zero. Rows of 8 bytes, so that a mask indexes them directly.
struct PackTable {
    Byte low[256][8];
    Byte high[256][8];
    Byte count[256];
};

constexpr PackTable makePackTable() {
    PackTable table{};
    for (int mask = 0; mask < 256; ++mask) {
        int kept = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (((mask >> bit) & 1) == 0) {
                table.low[mask][kept] = static_cast<Byte>(bit);
                table.high[mask][kept] = static_cast<Byte>(bit + 8);
                ++kept;
            }
        }
        table.count[mask] = static_cast<Byte>(kept);
        for (int k = kept; k < 8; ++k) table.low[mask][k] = table.high[mask][k] = 0x80;
    }
    return table;
}

constexpr PackTable kPack = makePackTable();

// Writes the bytes of v but those `drop` names (bit k: byte k) to o; returns the end.
// Writes up to 8 bytes past that end.
__attribute__((target("avx2"))) inline Byte* pack16(__m128i v, unsigned drop, Byte* o) {
    const unsigned low = drop & 0xFF;
    const unsigned high = (drop >> 8) & 0xFF;
    const __m128i lowIndex = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.low[low]));
    const __m128i highIndex = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.high[high]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, lowIndex));
    o += kPack.count[low];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, highIndex));
    return o + kPack.count[high];
}

// Packing after a join. The bytes a join drops from 16 are the EDs of surrogate pairs: two
// per pair, three apart, in pairs six bytes long (one may start before the 16 or end after
// them). Only 193 such masks exist, and a multiply and a shift give each a row of its own
// in a table of 1024, so one shuffle packs all 16 bytes. Any other mask (the text is then
// invalid and its output thrown away) gets some row; the output's end still moves by the
// bytes kept, so every write stays where a valid text's would.
constexpr std::uint32_t kPairDropHash = 0x75c4e7cbu;
constexpr int kPairDropRowBits = 10;

constexpr unsigned pairDropRow(unsigned drop) {
    return static_cast<std::uint32_t>(drop * kPairDropHash) >> (32 - kPairDropRowBits);
}

// Calls add(mask) for every mask of pairs starting at `from` or later, added to `drop`.
template <typename Add>
constexpr void forEachPairDropMask(Add& add, int from = -5, unsigned drop = 0) {
    add(drop);
    for (int start = from; start < 16; ++start) {
        unsigned more = drop;
        if (start >= 0) more |= 1u << start;
        if (start + 3 >= 0 && start + 3 < 16) more |= 1u << (start + 3);
        forEachPairDropMask(add, start + 6, more);
    }
}

constexpr bool pairDropRowsDiffer() {
    std::uint32_t maskOfRow[1 << kPairDropRowBits] = {};  // the mask + 1; 0: none yet
    bool differ = true;
    auto add = [&](unsigned drop) {
        std::uint32_t& slot = maskOfRow[pairDropRow(drop)];
        if (slot != 0 && slot != drop + 1) differ = false;
        slot = drop + 1;
    };
    forEachPairDropMask(add);
    return differ;
}
static_assert(pairDropRowsDiffer(), "two masks of pairs share a row");

struct PairPackTable {
    alignas(16) Byte rows[1 << kPairDropRowBits][16];  // indices of the bytes kept, then 0x80
};

constexpr PairPackTable makePairPackTable() {
    PairPackTable table{};
    auto add = [&](unsigned drop) {
        Byte* row = table.rows[pairDropRow(drop)];
        int kept = 0;
        for (int bit = 0; bit < 16; ++bit) {
            if (((drop >> bit) & 1) == 0) row[kept++] = static_cast<Byte>(bit);
        }
        for (; kept < 16; ++kept) row[kept] = 0x80;
    };
    forEachPairDropMask(add);
    return table;
}

constexpr PairPackTable kPairPack = makePairPackTable();

// Writes the bytes of v but those `drop` names to o, and zeros after them up to o + 16.
__attribute__((target("avx2"))) inline void packPairs16(__m128i v, unsigned drop, Byte* o) {
    const __m128i index =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kPairPack.rows[pairDropRow(drop)]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, index));
}

// Inlined into the loops, so their constants are made once per text.
#define JXEL_AVX2_INLINE inline __attribute__((always_inline, target("avx2")))

JXEL_AVX2_INLINE __m256i load32(const Byte* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

JXEL_AVX2_INLINE __m256i splat(int byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }

// By y & 0F, n = y & 0F + 1 for a high surrogate's second byte y: F0 + n >> 2, the
// first byte of the joined sequence, and 80 + (n & 3) << 4, the top of its second.
alignas(16) constexpr char kPairFirst[16] = {'\xF0', '\xF0', '\xF0', '\xF1', '\xF1', '\xF1',
                                             '\xF1', '\xF2', '\xF2', '\xF2', '\xF2', '\xF3',
                                             '\xF3', '\xF3', '\xF3', '\xF4'};
alignas(16) constexpr char kPairSecond[16] = {'\x90', '\xA0', '\xB0', '\x80', '\x90', '\xA0',
                                              '\xB0', '\x80', '\x90', '\xA0', '\xB0', '\x80',
                                              '\x90', '\xA0', '\xB0', '\x80'};

// Bytes (as 0xFF) that lead a 4-byte sequence.
JXEL_AVX2_INLINE __m256i fourByteLeads(__m256i x) {
    return _mm256_cmpeq_epi8(_mm256_max_epu8(x, splat(0xF0)), x);
}

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

// Splits the 4-byte sequences among the 32 bytes at p (which has a byte after it) into
// surrogate pairs, writing them to o; returns the end. F0+a 80+b 80+c 80+d
// becomes ED A0+(w-1) 80+(b & F)<<2+c>>4 ED B0+(c & F) 80+d, with w = a<<2 | (b>>4 & 3):
// the lead and the third byte give two bytes each, the others one.
JXEL_AVX2_INLINE Byte* splitWindow(const Byte* p, Byte* o, __m256i& leadsBefore) {
    const __m256i x0 = load32(p);
    const __m256i lead = fourByteLeads(x0);
    // Nothing to split unless a sequence starts in the window or within 2 bytes before it.
    if (_mm256_movemask_epi8(lead) == 0 &&
        (static_cast<std::uint32_t>(_mm256_movemask_epi8(leadsBefore)) & 0xC0000000u) == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), x0);
        leadsBefore = lead;
        return o + 32;
    }
    const __m256i x1 = load32(p + 1);
    const __m256i second = previous<1>(lead, leadsBefore);
    const __m256i third = previous<2>(lead, leadsBefore);
    leadsBefore = lead;
    const __m256i x1Bits = _mm256_and_si256(_mm256_srli_epi16(x1, 4), splat(0x03));
    const __m256i highSecond = _mm256_or_si256(
        splat(0xA0),
        _mm256_sub_epi8(
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(x0, splat(0x07)), 2), x1Bits),
            splat(0x01)));
    const __m256i highThird = _mm256_or_si256(
        _mm256_or_si256(splat(0x80), _mm256_slli_epi16(_mm256_and_si256(x0, splat(0x0F)), 2)),
        x1Bits);
    const __m256i lowSecond = _mm256_or_si256(splat(0xB0), _mm256_and_si256(x0, splat(0x0F)));
    // Every byte's first output byte, and the second one of the lead and the third byte.
    const __m256i twice = _mm256_or_si256(lead, third);
    __m256i firsts = _mm256_blendv_epi8(x0, splat(0xED), twice);
    firsts = _mm256_blendv_epi8(firsts, highThird, second);
    const __m256i seconds = _mm256_blendv_epi8(highSecond, lowSecond, third);
    o = interleave16(_mm256_castsi256_si128(firsts), _mm256_castsi256_si128(seconds),
                     _mm256_castsi256_si128(twice), o);
    return interleave16(_mm256_extracti128_si256(firsts, 1), _mm256_extracti128_si256(seconds, 1),
                        _mm256_extracti128_si256(twice, 1), o);
}

// Splits the 4-byte sequences of s[0, length) (length >= 64, whole characters only), 32
// bytes at a time, writing to out; returns the end of the output. The first and last
// windows read from padded copies, so no window reads outside s or writes past what it
// produces into out; the padding is NULs, which no window changes.
__attribute__((target("avx2"))) inline Byte* splitWindows(const Byte* s, std::size_t length,
                                                          Byte* out) {
    constexpr std::size_t kBefore = 4;
    Byte* o = out;
    __m256i before = _mm256_setzero_si256();
    {
        alignas(32) Byte head[kBefore + 64] = {};
        std::memcpy(head + kBefore, s, 64);
        o = splitWindow(head + kBefore, o, before);
    }
    std::size_t i = 32;
    // A window writes up to 8 bytes past its output; with 64 bytes of input left, that
    // is still inside what the rest will write.
    for (; i + 64 <= length; i += 32) o = splitWindow(s + i, o, before);
    const std::size_t rest = length - i;  // < 64
    alignas(32) Byte tail[kBefore + 64 + 32] = {};
    std::memcpy(tail, s + i - kBefore, kBefore + rest);
    alignas(32) Byte written[2 * (48 + 8)];
    Byte* w = written;
    std::size_t padded = 0;
    for (; padded < rest; padded += 32) w = splitWindow(tail + kBefore + padded, w, before);
    const std::size_t produced = static_cast<std::size_t>(w - written) - (padded - rest);
    std::memcpy(o, written, produced);
    return o + produced;
}

// ---- Checking Java's form and joining its pairs in one pass ----

constexpr std::size_t kJoinBefore = 4;  // bytes a window reads before its start

// What checkAndJoin has found so far.
struct JoinScan {
    __m256i errors;      // non-zero: the text is not valid Java text
    __m256i highBefore;  // the high halves' second bytes in the window before (as 0xFF)
};

// A window's bytes in their standard form, and those to drop (bit k: byte k).
struct JoinedWindow {
    __m256i bytes;
    std::uint32_t dropped;
};

// The constants of checkAndJoinWindow, made once per text: left to the compiler, they
// are made again in every window.
struct JoinConstants {
    __m256i previousHigh, previousLow, currentHigh, pairFirst, pairSecond;
    __m256i ed, highNibble, a0, b0, lowNibble, x30, x80, x60, x70;
};

__attribute__((target("avx2"))) inline void makeJoinConstants(JoinConstants& k) {
    k.previousHigh = table(kPreviousHigh);
    k.previousLow = table(kJavaPreviousLow.entries);
    k.currentHigh = table(kCurrentHigh);
    k.pairFirst = table(kPairFirst);
    k.pairSecond = table(kPairSecond);
    k.ed = _mm256_set1_epi8(static_cast<char>(0xED));
    k.highNibble = _mm256_set1_epi8(static_cast<char>(0xF0));
    k.a0 = _mm256_set1_epi8(static_cast<char>(0xA0));
    k.b0 = _mm256_set1_epi8(static_cast<char>(0xB0));
    k.lowNibble = _mm256_set1_epi8(0x0F);
    k.x30 = _mm256_set1_epi8(0x30);
    k.x80 = _mm256_set1_epi8(static_cast<char>(0x80));
    k.x60 = _mm256_set1_epi8(0x60);
    k.x70 = _mm256_set1_epi8(0x70);
    // Values the compiler no longer knows, so it cannot make them again in the loop.
    for (__m256i* constant = &k.previousHigh; constant <= &k.x70; ++constant) {
        __asm__("" : "+m"(*constant));
    }
}

// Checks the 32 bytes at p (which has 3 bytes before it and 1 after) as Java's form and
// works out their standard form. With the high half ED y z and the low
// half ED w v of a pair, the joined bytes take the places of y, z and w (each worked out
// from itself and the bytes before it) and v; the two EDs are dropped. The high halves
// found are kept in `scan` for the next window, whose low halves may answer them.
// kTestAscii: first see whether the window is ASCII, nothing to check or join.
template <bool kTestAscii = true>
JXEL_AVX2_INLINE JoinedWindow checkAndJoinWindow(const Byte* p, JoinScan& scan,
                                                 const JoinConstants& k) {
    const __m256i x0 = load32(p);
    const __m256i xm3 = load32(p - 3);
    if (kTestAscii && _mm256_movemask_epi8(_mm256_or_si256(x0, xm3)) == 0) {
        // ASCII from 3 bytes before: nothing left open, nothing to join.
        scan.highBefore = _mm256_setzero_si256();
        return {x0, 0};
    }
    const __m256i xm1 = load32(p - 1);
    const __m256i xm2 = load32(p - 2);
    // The test of blockErrors, with the constants at hand.
    const __m256i xm1Low = _mm256_and_si256(xm1, k.lowNibble);
    const __m256i special = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(k.previousHigh,
                                _mm256_and_si256(_mm256_srli_epi16(xm1, 4), k.lowNibble)),
            _mm256_shuffle_epi8(k.previousLow, xm1Low)),
        _mm256_shuffle_epi8(k.currentHigh,
                            _mm256_and_si256(_mm256_srli_epi16(x0, 4), k.lowNibble)));
    const __m256i must23 = _mm256_and_si256(
        _mm256_or_si256(_mm256_subs_epu8(xm2, k.x60), _mm256_subs_epu8(xm3, k.x70)), k.x80);
    __m256i errors = _mm256_xor_si256(must23, special);
    const __m256i edAt = _mm256_cmpeq_epi8(x0, k.ed);
    const __m256i edBefore = _mm256_cmpeq_epi8(xm1, k.ed);
    const __m256i pairsNear = _mm256_or_si256(_mm256_or_si256(edAt, edBefore), scan.highBefore);
    if (_mm256_testz_si256(pairsNear, pairsNear)) {
        // No surrogate half here, none starting here and none left open before.
        scan.errors = _mm256_or_si256(scan.errors, errors);
        return {x0, 0};
    }
    const __m256i x1 = load32(p + 1);
    // Where the joined bytes go, found by comparing the bytes themselves: shorter chains
    // than from the check's lookups, and the window's work waits on them.
    const __m256i x0Top = _mm256_and_si256(x0, k.highNibble);
    const __m256i high = _mm256_and_si256(edBefore, _mm256_cmpeq_epi8(x0Top, k.a0));  // y
    const __m256i low = _mm256_and_si256(edBefore, _mm256_cmpeq_epi8(x0Top, k.b0));   // w
    const __m256i highThird = previous<1>(high, scan.highBefore);                     // z
    // The lookups let surrogates pass (kJavaPreviousLow); here the halves must pair: a low
    // half three bytes after each high half, and nowhere else.
    errors = _mm256_or_si256(errors, _mm256_xor_si256(low, previous<3>(high, scan.highBefore)));
    scan.errors = _mm256_or_si256(scan.errors, errors);
    scan.highBefore = high;
    // ED then A0..BF (bit 5 set, moved to bit 7): either half's ED, dropped.
    const __m256i dropped = _mm256_and_si256(edAt, _mm256_slli_epi16(x1, 2));
    const __m256i x0Low = _mm256_and_si256(x0, k.lowNibble);
    const __m256i first = _mm256_shuffle_epi8(k.pairFirst, x0Low);
    const __m256i second = _mm256_or_si256(_mm256_shuffle_epi8(k.pairSecond, xm1Low),
                                           _mm256_and_si256(_mm256_srli_epi16(x0, 2), k.lowNibble));
    // w is B0 + its bits; the third joined byte takes bits 5 and 4 from z's bits 1 and 0.
    const __m256i third =
        _mm256_xor_si256(x0, _mm256_andnot_si256(_mm256_slli_epi16(xm2, 4), k.x30));
    __m256i joined = _mm256_blendv_epi8(x0, first, high);
    joined = _mm256_blendv_epi8(joined, second, highThird);
    joined = _mm256_blendv_epi8(joined, third, low);
    return {joined, static_cast<std::uint32_t>(_mm256_movemask_epi8(dropped))};
}

// Writes a window's bytes to o but those it drops; returns the end. Writes within the 32
// bytes from o.
JXEL_AVX2_INLINE Byte* writeWindow(const JoinedWindow& window, Byte* o) {
    if (window.dropped == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), window.bytes);
        return o + 32;
    }
    const unsigned lowDrop = window.dropped & 0xFFFF;
    packPairs16(_mm256_castsi256_si128(window.bytes), lowDrop, o);
    packPairs16(_mm256_extracti128_si256(window.bytes, 1), window.dropped >> 16,
                o + 16 - __builtin_popcount(lowDrop));
    return o + 32 - __builtin_popcount(window.dropped);
}

// Checks s[0, length) (length >= 64) as Java's form, as checkedBlocks<true> does, and
// joins its surrogate pairs into out (room for length bytes) in the same pass, so the text
// is read once. Returns the end of the output, a copy of s when `pairs` comes back false;
// null when the check fails, and then out holds nothing of use. The windows are those of
// splitWindows; the last ones also check the 4 bytes after the end, so that a sequence
// or pair the end cuts off is an error there.
__attribute__((target("avx2"))) inline Byte* checkAndJoin(const Byte* s, std::size_t length,
                                                          Byte* out, bool& pairs) {
    JoinScan scan{_mm256_setzero_si256(), _mm256_setzero_si256()};
    JoinConstants k;
    makeJoinConstants(k);
    Byte* o = out;
    // Each window is written one window late, after the next one is worked out: its
    // packing waits on lookups made from its own bytes, and the next window's work fills
    // that wait.
    JoinedWindow pending;
    {
        alignas(32) Byte head[kJoinBefore + 64] = {};
        std::memcpy(head + kJoinBefore, s, 64);
        pending = checkAndJoinWindow(head + kJoinBefore, scan, k);
    }
    std::size_t i = 32;
    // A window writes within the 32 bytes from its output's start, which joining keeps at
    // or before its input's start: inside out while the input is inside s.
    for (; i + 96 <= length; i += 64) {
        const __m256i firstBytes = load32(s + i);
        const __m256i secondBytes = load32(s + i + 32);
        // From 3 bytes before: a sequence the last window left open is no ASCII.
        const __m256i any =
            _mm256_or_si256(_mm256_or_si256(firstBytes, secondBytes), load32(s + i - 3));
        if (_mm256_movemask_epi8(any) == 0) {
            // ASCII, the commonest text, 64 bytes a step.
            o = writeWindow(pending, o);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), firstBytes);
            o += 32;
            pending = {secondBytes, 0};
            scan.highBefore = _mm256_setzero_si256();
            continue;
        }
        // Not ASCII as a whole: its windows are not asked again, text seldom turns ASCII
        // for exactly one of them.
        const JoinedWindow first = checkAndJoinWindow<false>(s + i, scan, k);
        o = writeWindow(pending, o);
        pending = checkAndJoinWindow<false>(s + i + 32, scan, k);
        o = writeWindow(first, o);
    }
    if (i + 64 <= length) {
        const JoinedWindow next = checkAndJoinWindow(s + i, scan, k);
        o = writeWindow(pending, o);
        pending = next;
        i += 32;
    }
    o = writeWindow(pending, o);
    const std::size_t rest = length - i;  // 32..63
    alignas(32) Byte tail[kJoinBefore + 64 + 64] = {};
    std::memcpy(tail, s + i - kJoinBefore, kJoinBefore + rest);
    alignas(32) Byte written[3 * 32 + 8];
    Byte* w = written;
    std::size_t padded = 0;
    for (; padded < rest + kJoinBefore; padded += 32) {
        w = writeWindow(checkAndJoinWindow(tail + kJoinBefore + padded, scan, k), w);
    }
    if (!_mm256_testz_si256(scan.errors, scan.errors)) return nullptr;
    // The padding is NULs, which no window changes or drops.
    const std::size_t produced = static_cast<std::size_t>(w - written) - (padded - rest);
    std::memcpy(o, written, produced);
    // Joining shrinks the text; a copy has its length.
    pairs = static_cast<std::size_t>(o - out) + produced != length;
    return o + produced;
}

#undef JXEL_AVX2_INLINE

}  // namespace avx2
}  // namespace
}  // namespace jxel

#endif  // JXEL_CONVERT_UTF8_AVX2_H
