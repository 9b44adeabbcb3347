// Every 1-, 2- and 3-byte sequence, and 4-byte ones at the edges, against a model
// written from Unicode's table of well-formed byte sequences (Table 3-7), in both
// directions: agent text to the JVM's form, Java text to the agent's.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif
#if defined(__SANITIZE_THREAD__)
#define JXEL_UNDER_TSAN 1
#else
#define JXEL_UNDER_TSAN 0
#endif

#include "text_encoding.h"
#include "utf8.h"

namespace jxel::test {
namespace {

// Each range of lead bytes, the length of its sequences, and the range of each byte
// after the lead.
struct WellFormedRow {
    int leadLow, leadHigh, length;
    int next[3][2];
};
constexpr WellFormedRow kTable37[] = {
    {0x00, 0x7F, 1, {}},
    {0xC2, 0xDF, 2, {{0x80, 0xBF}}},
    {0xE0, 0xE0, 3, {{0xA0, 0xBF}, {0x80, 0xBF}}},
    {0xE1, 0xEC, 3, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xED, 0xED, 3, {{0x80, 0x9F}, {0x80, 0xBF}}},
    {0xEE, 0xEF, 3, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF0, 0xF0, 4, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF1, 0xF3, 4, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF4, 0xF4, 4, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
};

int byteAt(const std::string& s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : -1;
}

// The character at s[i] and its length; when it is not well-formed, code -1 and the
// length of its maximal subpart (the longest start of a well-formed sequence, or 1).
struct Unit {
    std::size_t length;
    std::int32_t code;
};
Unit unitAt(const std::string& s, std::size_t i) {
    for (const WellFormedRow& row : kTable37) {
        if (byteAt(s, i) < row.leadLow || byteAt(s, i) > row.leadHigh) continue;
        std::int32_t code = byteAt(s, i) & (row.length == 1 ? 0x7F : 0xFF >> (row.length + 1));
        for (int k = 1; k < row.length; ++k) {
            const int next = byteAt(s, i + k);
            if (next < row.next[k - 1][0] || next > row.next[k - 1][1]) return {std::size_t(k), -1};
            code = (code << 6) | (next & 0x3F);
        }
        return {std::size_t(row.length), code};
    }
    return {1, -1};
}

// A UTF-16 surrogate as the JVM writes it (ED A0..BF 80..BF), else -1.
std::int32_t surrogateAt(const std::string& s, std::size_t i) {
    const int second = byteAt(s, i + 1), third = byteAt(s, i + 2);
    if (byteAt(s, i) != 0xED || second < 0xA0 || second > 0xBF || third < 0x80 || third > 0xBF) {
        return -1;
    }
    return 0xD000 | ((second & 0x3F) << 6) | (third & 0x3F);
}

// Agent text as the JVM should get it: a U+FFFD for each maximal subpart, characters
// above U+FFFF as surrogate pairs.
std::string jvmFormOf(const std::string& agentText) {
    std::string out;
    for (std::size_t i = 0; i < agentText.size();) {
        const Unit unit = unitAt(agentText, i);
        if (unit.code < 0) {
            appendUtf8(out, 0xFFFD);
        } else if (unit.code < 0x10000) {
            appendUtf8(out, unit.code);
        } else {
            appendUtf8(out, 0xD800 + ((unit.code - 0x10000) >> 10));
            appendUtf8(out, 0xDC00 + ((unit.code - 0x10000) & 0x3FF));
        }
        i += unit.length;
    }
    return out;
}

// Java text as the agent should get it, pairs joined; nullopt when anything else is
// not well-formed: U+0000 as C0 80, a lone surrogate.
std::optional<std::string> agentFormOf(const std::string& javaText) {
    std::string out;
    for (std::size_t i = 0; i < javaText.size();) {
        const std::int32_t high = surrogateAt(javaText, i), low = surrogateAt(javaText, i + 3);
        if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00) {
            appendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            i += 6;
            continue;
        }
        const Unit unit = unitAt(javaText, i);
        if (unit.code < 0) return std::nullopt;
        out.append(javaText, i, unit.length);
        i += unit.length;
    }
    return out;
}

std::string hex(const std::string& s) {
    std::string out;
    for (unsigned char c : s)
        out += "0123456789ABCDEF"[c >> 4] + std::string(1, "0123456789ABCDEF"[c & 15]) + ' ';
    return out;
}

// Texts refused in Java's form are checked one by one. All texts are also checked in
// batches, each text followed by a space, which ends any subpart: batches under 64
// bytes, as most texts are, and batches of 4 KiB take different code.
class TableCheck {
  public:
    void add(const std::string& text) {
        const std::optional<std::string> agentForm = agentFormOf(text);
        if (!agentForm) {
            char out[8];
            EXPECT_EQ(classifyJavaText(text.c_str(), text.size()), JavaTextForm::kUnrepresentable)
                << hex(text);
            EXPECT_EQ(standardFromJavaText(text.c_str(), text.size(), out),
                      JavaTextForm::kUnrepresentable)
                << hex(text);
        }
        const std::string jvmForm = jvmFormOf(text);
        for (Batch& batch : batches_) {
            batch.agent.append(text) += ' ';
            batch.jvmForm.append(jvmForm) += ' ';
            if (agentForm) {
                batch.java.append(text) += ' ';
                batch.agentForm.append(*agentForm) += ' ';
            }
            if (batch.agent.size() + 7 > batch.limit) check(batch);
        }
    }
    void finish() {
        for (Batch& batch : batches_) check(batch);
    }

  private:
    struct Batch {
        std::size_t limit;
        std::string agent, jvmForm, java, agentForm;
    };
    Batch batches_[2] = {{63}, {4096}};

    static void check(Batch& batch) {
        const std::size_t size = modifiedUtf8Size(batch.agent.c_str(), batch.agent.size());
        if (batch.jvmForm == batch.agent) {
            EXPECT_EQ(size, 0u) << hex(batch.agent);
        } else if (size != batch.jvmForm.size() + 1) {
            ADD_FAILURE() << size << " bytes, not " << batch.jvmForm.size() + 1 << ", for "
                          << hex(batch.agent);
        } else {
            std::string out(size, '?');
            writeModifiedUtf8(batch.agent.c_str(), batch.agent.size(), out.data());
            EXPECT_EQ(out, batch.jvmForm + '\0') << hex(batch.agent);
        }
        const JavaTextForm form =
            batch.agentForm == batch.java ? JavaTextForm::kStandard : JavaTextForm::kSurrogatePairs;
        EXPECT_EQ(classifyJavaText(batch.java.c_str(), batch.java.size()), form) << hex(batch.java);
        std::string out(batch.java.size() + 1, '?');
        EXPECT_EQ(standardFromJavaText(batch.java.c_str(), batch.java.size(), out.data()), form);
        EXPECT_EQ(out.substr(0, batch.agentForm.size() + 1), batch.agentForm + '\0')
            << hex(batch.java);
        if (form == JavaTextForm::kSurrogatePairs) {
            out.assign(batch.java.size() + 1, '?');
            EXPECT_EQ(joinSurrogatePairs(batch.java.c_str(), batch.java.size(), out.data()),
                      batch.agentForm.size());
            EXPECT_EQ(out.substr(0, batch.agentForm.size() + 1), batch.agentForm + '\0');
        }
        batch = Batch{batch.limit};
    }
};

TEST(Utf8Table37, EveryShortSequenceBothWays) {
    // Sixteen million texts on one thread: the plain and ASan builds read them.
    if (RUNNING_ON_VALGRIND || JXEL_UNDER_TSAN) GTEST_SKIP() << "too slow here, and no threads";
    TableCheck check;
    for (int a = 1; a < 256 && !::testing::Test::HasFailure(); ++a) {
        check.add({static_cast<char>(a)});
        for (int b = 1; b < 256; ++b) {
            check.add({static_cast<char>(a), static_cast<char>(b)});
            for (int c = 1; c < 256; ++c) {
                check.add({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
            }
        }
    }
    const int edges[] = {0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    for (int lead : {0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF7, 0xFF}) {
        for (int second : edges) {
            for (int third : {0x7F, 0x80, 0xBF, 0xC0}) {
                for (int fourth : {0x7F, 0x80, 0xBF, 0xC0}) {
                    check.add({static_cast<char>(lead), static_cast<char>(second),
                               static_cast<char>(third), static_cast<char>(fourth)});
                }
            }
        }
    }
    // Surrogate pairs, and what lies next to their halves.
    for (const char* high : {"\xED\x9F\xBF", "\xED\xA0\x80", "\xED\xAF\xBF", "\xED\xB0\x80"}) {
        for (const char* low : {"\xED\xAF\xBF", "\xED\xB0\x80", "\xED\xBF\xBF", "\xEE\x80\x80"}) {
            check.add(std::string(high) + low);
        }
    }
    check.finish();
}

}  // namespace
}  // namespace jxel::test
