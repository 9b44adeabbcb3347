// Differential check of convert/utf8.cpp: the build with its vector path
// (utf8_avx2.h) against the same file built byte-wise only
// (JXEL_UTF8_NO_VECTOR), on texts that put every kind of fault at every
// offset around the blocks the vector path reads, and on valid texts dense
// with characters above U+FFFF, which the vector path rewrites. Run by the tests, and by ./build.sh
// bench before any timing (there also checking that valid text takes the fast path); exits
// non-zero, naming the first text that differs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "utf8.h"

// The byte-wise build of the same functions, in namespace jxel_scalar.
#define jxel jxel_scalar
#undef JXEL_CONVERT_UTF8_H
#include "utf8.h"
#undef jxel

#include "text_encoding.h"

namespace {

std::string utf8(std::uint32_t code) { return jxel::test::utf8Of(code); }

std::string surrogatePair(std::uint32_t code) {
    const std::uint32_t v = code - 0x10000;
    return utf8(0xD800 + (v >> 10)) + utf8(0xDC00 + (v & 0x3FF));  // 3-byte forms of each half
}

// Well-formed pieces, in standard and in Java's modified form.
std::string validPiece(std::mt19937& random) {
    switch (random() % 6) {
        case 0:
            return utf8(static_cast<std::uint32_t>(0x80 + random() % (0x800 - 0x80)));
        case 1: {
            auto code = static_cast<std::uint32_t>(0x800 + random() % (0x10000 - 0x800));
            if (code >= 0xD800 && code <= 0xDFFF) code -= 0x800;
            return utf8(code);
        }
        case 2:
            return utf8(static_cast<std::uint32_t>(0x10000 + random() % (0x110000 - 0x10000)));
        case 3:
            return surrogatePair(
                static_cast<std::uint32_t>(0x10000 + random() % (0x110000 - 0x10000)));
        default:
            return std::string(1 + random() % 40, static_cast<char>('a' + random() % 26));
    }
}

// Every kind of fault the functions tell apart or replace.
const std::vector<std::string> kFaults = {
    "\xC0\x80",          // encoded NUL
    "\xED\xA0\xBD",      // lone high surrogate
    "\xED\xB8\x80",      // lone low surrogate
    "\x80",              // stray continuation
    "\xBF\xBF",          // two stray continuations
    "\xE2\x82",          // truncated 3-byte
    "\xF0\x9F\x98",      // truncated 4-byte
    "\xC3",              // truncated 2-byte
    "\xE0\x80\x80",      // overlong 3-byte
    "\xF0\x80\x80\x80",  // overlong 4-byte
    "\xC1\xBF",          // overlong 2-byte
    "\xF4\x90\x80\x80",  // above U+10FFFF
    "\xF5\x80\x80\x80",  // lead above F4
    "\xFF",
    "\xFE\x80",
    "\xF8\x88\x80\x80\x80",
    "\xE9",              // a Latin-1 byte
    "\xF4\x8F\xBF\xBF",  // not a fault: U+10FFFF, the highest, must stay valid
    "\xEF\xBF\xBF",      // not a fault: U+FFFF
};

int g_failures = 0;
long g_checked = 0;

std::string hex(const std::string& text) {
    std::string out;
    char buffer[4];
    for (unsigned char c : text) {
        std::snprintf(buffer, sizeof buffer, "%02X", c);
        out += buffer;
    }
    return out;
}

void check(const std::string& text) {
    ++g_checked;
    const char* s = text.c_str();
    const std::size_t n = text.size();
    const auto form = jxel::classifyJavaText(s, n);
    const auto expectedForm = jxel_scalar::classifyJavaText(s, n);
    const std::size_t size = jxel::modifiedUtf8Size(s, n);
    const std::size_t expectedSize = jxel_scalar::modifiedUtf8Size(s, n);
    bool same = static_cast<int>(form) == static_cast<int>(expectedForm) && size == expectedSize;
    if (same && size != 0) {
        std::string out(size, '\0');
        std::string expected(size, '\0');
        jxel::writeModifiedUtf8(s, n, out.data());
        jxel_scalar::writeModifiedUtf8(s, n, expected.data());
        // And as newJavaString writes it: the unchanged prefix, then the rest in worst-case room.
        const std::size_t unchanged = jxel::modifiedUtf8Unchanged(s, n);
        std::string split(unchanged + jxel::modifiedUtf8Room(n - unchanged), '\0');
        std::memcpy(split.data(), s, unchanged);
        jxel::writeModifiedUtf8(s + unchanged, n - unchanged, split.data() + unchanged);
        same = out == expected && unchanged == jxel_scalar::modifiedUtf8Unchanged(s, n) &&
               std::strcmp(split.c_str(), expected.c_str()) == 0;
    }
    if (same && expectedForm == jxel_scalar::JavaTextForm::kSurrogatePairs) {
        std::string out(n + 1, '\0');
        std::string expected(n + 1, '\0');
        same = jxel::joinSurrogatePairs(s, n, out.data()) ==
                   jxel_scalar::joinSurrogatePairs(s, n, expected.data()) &&
               out == expected;
    }
    if (same) {
        // Checked and joined (or copied) in one pass: the same form and text.
        std::string out(n + 1, '\x7F');
        std::string expected(n + 1, '\x7F');
        const auto oneForm = jxel::standardFromJavaText(s, n, out.data());
        same = static_cast<int>(oneForm) == static_cast<int>(expectedForm) &&
               static_cast<int>(jxel_scalar::standardFromJavaText(s, n, expected.data())) ==
                   static_cast<int>(expectedForm);
        if (same && expectedForm != jxel_scalar::JavaTextForm::kUnrepresentable) {
            std::string reference = text;
            if (expectedForm == jxel_scalar::JavaTextForm::kSurrogatePairs) {
                reference.assign(n + 1, '\0');
                reference.resize(jxel_scalar::joinSurrogatePairs(s, n, reference.data()));
            }
            same = std::strlen(out.c_str()) == reference.size() &&
                   out.compare(0, reference.size(), reference) == 0 &&
                   expected.compare(0, reference.size() + 1, reference + '\0') == 0;
        }
    }
    if (!same && ++g_failures <= 5) {
        std::fprintf(stderr, "utf8_vector_check: results differ for %zu bytes: %s\n", n,
                     hex(text).c_str());
    }
}

// Best of several runs, in nanoseconds.
template <typename F>
double fastest(F&& run) {
    double best = 1e18;
    for (int i = 0; i < 15; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(
            best, std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                      .count());
    }
    return best;
}

// Runs what a text of its form goes through: Java's form is checked and joined
// (or copied), standard UTF-8 sized and written in the modified form.
template <typename Form>
int runAll(const std::string& text, std::string& out, Form) {
    const auto form = Form::standardFromJavaText(text.c_str(), text.size(), out.data());
    if (static_cast<int>(form) == static_cast<int>(jxel::JavaTextForm::kSurrogatePairs)) {
        return static_cast<int>(form);
    }
    const std::size_t size = Form::modifiedUtf8Size(text.c_str(), text.size());
    if (size != 0) Form::writeModifiedUtf8(text.c_str(), text.size(), out.data());
    return static_cast<int>(form) + static_cast<int>(size);
}

struct Vector {
    static constexpr auto standardFromJavaText = jxel::standardFromJavaText;
    static constexpr auto modifiedUtf8Size = jxel::modifiedUtf8Size;
    static constexpr auto writeModifiedUtf8 = jxel::writeModifiedUtf8;
};
struct Bytewise {
    static constexpr auto standardFromJavaText = jxel_scalar::standardFromJavaText;
    static constexpr auto modifiedUtf8Size = jxel_scalar::modifiedUtf8Size;
    static constexpr auto writeModifiedUtf8 = jxel_scalar::writeModifiedUtf8;
};

// Valid long texts must take the vector path: a path that rejects them gives
// the same results as the byte-wise code, only slower, so only time shows it.
bool vectorPathIsTaken() {
    struct Unit {
        const char* name;
        std::string text;
    };
    const Unit units[] = {{"Latin-1 range",
                           "Gr\xC3\xB6\xC3\x9F"
                           "e \xC2\xA3"},
                          {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
                          {"emoji", "at 10 \xF0\x9F\x8E\x89\xF0\x9F\x91\x8D "},
                          {"emoji, Java's form", "at 10 " + surrogatePair(0x1F389) + " "}};
    int slow = 0;
    for (std::size_t size : {448, 65536}) {
        for (const Unit& unit : units) {
            std::string text;
            while (text.size() < size) text += unit.text;
            std::string out(text.size() * 2, '\0');
            volatile int sink = 0;
            const double vector = fastest([&] { sink += runAll(text, out, Vector{}); });
            const double bytewise = fastest([&] { sink += runAll(text, out, Bytewise{}); });
            std::printf("utf8_vector_check: %zu bytes of %s: vector %.2f us, byte-wise %.2f us\n",
                        text.size(), unit.name, vector / 1000, bytewise / 1000);
            if (vector * 2 > bytewise) ++slow;
        }
    }
    return slow == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Timing means nothing in a debug or sanitizer build: the tests skip it.
    const bool timing = !(argc > 1 && std::string(argv[1]) == "--no-timing");
    std::mt19937 random(20261207);
    // Every fault at every offset of a long text, with ASCII, 2-byte and 3-byte
    // surroundings so the blocks around it take the vector path.
    const std::vector<std::string> fillers = {"a", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80",
                                              "\xED\xA0\xBD\xED\xB8\x80"};
    for (const std::string& filler : fillers) {
        std::string base;
        while (base.size() < 700) base += filler;
        for (const std::string& fault : kFaults) {
            for (std::size_t at = 0; at <= base.size(); ++at) {
                check(base.substr(0, at) + fault + base.substr(at));
                // The fault as the very end: unfinished sequences at the end of the text.
                check(base.substr(0, at) + fault);
                // The filler cut at any byte.
                check(base.substr(0, at));
            }
        }
    }
    // Valid texts of every length up to 400 bytes, dense with characters above
    // U+FFFF in either form between short ASCII runs: each is joined or split
    // whole, with pairs and sequences across every 16-byte window edge.
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t target = random() % 400;
        const bool javaForm = random() % 2 == 0;
        while (text.size() < target) {
            const auto code = static_cast<std::uint32_t>(0x10000 + random() % (0x110000 - 0x10000));
            text += javaForm ? surrogatePair(code) : utf8(code);
            text += std::string(random() % 4, 'a');
        }
        check(text);
    }
    // Random mixes of valid pieces with up to three faults.
    for (int round = 0; round < 40000; ++round) {
        std::string text;
        const std::size_t target = random() % 1500;
        const int faults = static_cast<int>(random() % 4);
        while (text.size() < target) text += validPiece(random);
        for (int f = 0; f < faults; ++f) {
            const std::size_t at = text.empty() ? 0 : random() % text.size();
            text.insert(at, kFaults[random() % kFaults.size()]);
        }
        check(text);
    }
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    const bool vector = __builtin_cpu_supports("avx2");
#else
    const bool vector = false;
#endif
    std::printf("utf8_vector_check: %ld texts, %d differ; vector path %s\n", g_checked, g_failures,
                vector ? "in use" : "not available here, byte-wise code compared to itself");
    if (vector && timing && !vectorPathIsTaken()) {
        std::fprintf(stderr, "utf8_vector_check: valid texts do not take the vector path\n");
        return 1;
    }
    return g_failures == 0 ? 0 : 1;
}
