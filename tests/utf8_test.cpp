// Moving text between Java's modified UTF-8 and standard UTF-8.
#include "utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fake_jni.h"

namespace jxel {
namespace {

struct ClassifyCase {
    const char* name;
    friend void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << c.name; }
    std::string text;
    JavaTextForm form;
};

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, ReadsJavaTextAsStandardUtf8) {
    EXPECT_EQ(classifyJavaText(GetParam().text.c_str(), GetParam().text.size()), GetParam().form);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"Empty", "", JavaTextForm::kStandard},
        ClassifyCase{"Ascii", "hello, world 0123456789", JavaTextForm::kStandard},
        ClassifyCase{"TwoAndThreeByte",
                     "Gr\xC3\xBC\xC3\x9F"
                     "e \xE6\x97\xA5\xE6\x9C\xAC",
                     JavaTextForm::kStandard},
        ClassifyCase{"SurrogatePair", "a\xED\xA0\xBD\xED\xB8\x80", JavaTextForm::kSurrogatePairs},
        ClassifyCase{"StandardFourByte", "a\xF0\x9F\x98\x80", JavaTextForm::kStandard},
        ClassifyCase{"EncodedNul", "a\xC0\x80", JavaTextForm::kUnrepresentable},
        ClassifyCase{"HighSurrogateAtEnd", "a\xED\xA0\xBD", JavaTextForm::kUnrepresentable},
        ClassifyCase{"HighSurrogateBeforeAscii", "\xED\xA0\xBDz..", JavaTextForm::kUnrepresentable},
        ClassifyCase{"TwoHighSurrogates", "\xED\xA0\xBD\xED\xA0\xBD",
                     JavaTextForm::kUnrepresentable},
        ClassifyCase{"LoneLowSurrogate", "\xED\xB8\x80", JavaTextForm::kUnrepresentable},
        ClassifyCase{"StrayContinuation", "ab\x80", JavaTextForm::kUnrepresentable},
        ClassifyCase{"TruncatedSequence", "\xE2\x82", JavaTextForm::kUnrepresentable},
        ClassifyCase{"ByteFF", "\xFF", JavaTextForm::kUnrepresentable},
        ClassifyCase{"OverlongSlash", "\xC0\xAF", JavaTextForm::kUnrepresentable},
        ClassifyCase{"OverlongThreeByte", "\xE0\x9F\xBF", JavaTextForm::kUnrepresentable},
        ClassifyCase{"OverlongThreeByteInMidText", std::string(40, 'a') + "\xE0\x80\x80z",
                     JavaTextForm::kUnrepresentable},
        ClassifyCase{"OverlongThreeByteInLongText",
                     std::string(70, 'a') + "\xE0\x9F\xBF" + std::string(70, 'z'),
                     JavaTextForm::kUnrepresentable},
        ClassifyCase{"LongTextWithPair",
                     std::string(70, 'a') + "\xED\xA0\xBD\xED\xB8\x80" + std::string(70, 'z'),
                     JavaTextForm::kSurrogatePairs}),
    [](const auto& info) { return std::string(info.param.name); });

struct ToModifiedCase {
    const char* name;
    friend void PrintTo(const ToModifiedCase& c, std::ostream* os) { *os << c.name; }
    std::string standard;
    std::string modified;  // empty: passes unchanged
};

class ToModifiedTest : public ::testing::TestWithParam<ToModifiedCase> {};

TEST_P(ToModifiedTest, ProducesValidModifiedUtf8) {
    const ToModifiedCase& c = GetParam();
    const std::size_t size = modifiedUtf8Size(c.standard.c_str(), c.standard.size());
    if (c.modified.empty()) {
        EXPECT_EQ(size, 0u);
        return;
    }
    ASSERT_EQ(size, c.modified.size() + 1);
    std::string out(size, '?');
    writeModifiedUtf8(c.standard.c_str(), c.standard.size(), out.data());
    EXPECT_EQ(out.c_str(), c.modified);
    EXPECT_TRUE(test::isValidModifiedUtf8(out.c_str()));
}

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

INSTANTIATE_TEST_SUITE_P(
    Forms, ToModifiedTest,
    ::testing::Values(
        ToModifiedCase{"Ascii", "plain text", ""},
        ToModifiedCase{"Bmp", "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF", ""},
        ToModifiedCase{"Emoji", "x\xF0\x9F\x98\x80y", "x\xED\xA0\xBD\xED\xB8\x80y"},
        ToModifiedCase{"HighestCodePoint", "\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},
        ToModifiedCase{"TruncatedKeepsFollowingByte", "\xE2\x82z", R + "z"},
        ToModifiedCase{"LoneContinuation", "\x80", R},
        ToModifiedCase{"TruncatedFourByteIsOneSubpart", "\xF0\x9F\x98", R},
        ToModifiedCase{"EncodedSurrogateIsThreeSubparts", "\xED\xA0\x80", R + R + R},
        ToModifiedCase{"OverlongNul", "\xC0\x80", R + R},
        ToModifiedCase{"AboveUnicode", "\xF4\x90\x80\x80", R + R + R + R},
        ToModifiedCase{"OverlongThreeByte", "\xE0\x80\x80", R + R + R},
        ToModifiedCase{"HighestOverlongThreeByte", "\xE0\x9F\xBF", R + R + R},
        ToModifiedCase{"OverlongThreeByteInLongText", std::string(70, 'a') + "\xE0\x9F\xBFz",
                       std::string(70, 'a') + R + R + R + "z"},
        ToModifiedCase{"Latin1Byte", "caf\xE9!", "caf" + R + "!"},
        ToModifiedCase{"InvalidAfterLongAsciiRun", "0123456789abcdef\xFF", "0123456789abcdef" + R}),
    [](const auto& info) { return std::string(info.param.name); });

// Encodes code points the way the JVM hands them out.
std::string modifiedOf(const std::vector<char32_t>& codePoints) {
    std::string out;
    auto unit = [&out](char32_t u) {
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    };
    for (char32_t c : codePoints) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

TEST(Utf8RoundTrip, JavaTextComesBackAsItWent) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<char32_t> ascii(1, 0x7F), bmp(0x80, 0xFFFF),
        supplementary(0x10000, 0x10FFFF);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 2000; ++round) {
        std::vector<char32_t> codePoints;
        for (int i = length(random); i > 0; --i) {
            char32_t c = kind(random) == 0   ? bmp(random)
                         : kind(random) == 1 ? supplementary(random)
                                             : ascii(random);
            if (c >= 0xD800 && c <= 0xDFFF) c = 'S';
            codePoints.push_back(c);
        }
        const std::string java = modifiedOf(codePoints);
        const JavaTextForm form = classifyJavaText(java.c_str(), java.size());
        ASSERT_NE(form, JavaTextForm::kUnrepresentable);
        std::string standard = java;
        if (form == JavaTextForm::kSurrogatePairs) {
            standard.resize(joinSurrogatePairs(java.c_str(), java.size(), standard.data()));
        }
        const std::size_t size = modifiedUtf8Size(standard.c_str(), standard.size());
        std::string back = standard;
        if (size != 0) {
            back.assign(size, '?');
            writeModifiedUtf8(standard.c_str(), standard.size(), back.data());
            back.resize(size - 1);
        }
        ASSERT_EQ(back, java);
    }
}

}  // namespace
}  // namespace jxel
