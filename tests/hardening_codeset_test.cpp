// Conversions of the stand-in agent out of UTF-8: a character the local code
// set cannot hold must fail the conversion, never vanish or turn into another
// character. iconv does both quietly for Unicode tag characters (dropped) and,
// in CP932, for a few characters it maps one way only.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "standin.h"
#include "text_encoding.h"

namespace {

struct Case {
    const char* name;
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
    std::int32_t codeset;
    std::string utf8;
    bool held;  // the code set holds it: the conversion succeeds and comes back unchanged
};

class StandinCodesetTest : public ::testing::TestWithParam<Case> {};

TEST_P(StandinCodesetTest, ConvertsBackUnchangedOrFails) {
    const Case& c = GetParam();
    char* local = nullptr;
    xelagt_status status;
    const std::int32_t result =
        xelagt_convert_text(c.codeset, XELAGT_CODESET_UTF8, &local, c.utf8.c_str(), &status);
    if (!c.held) {
        EXPECT_EQ(result, XELAGT_ERR_CONVERSION);
        EXPECT_EQ(local, nullptr);
    } else {
        ASSERT_EQ(result, XELAGT_OK);
        ASSERT_NE(local, nullptr);
        char* back = nullptr;
        ASSERT_EQ(xelagt_convert_text(XELAGT_CODESET_UTF8, c.codeset, &back, local, &status),
                  XELAGT_OK);
        EXPECT_EQ(std::string(back), c.utf8);
        xelagt_release_buffer(back);
    }
    xelagt_release_buffer(local);
    EXPECT_EQ(xelagt_test_live_buffers(), 0);
}

constexpr std::int32_t kLatin1 = XELAGT_CODESET_ISO_8859_1;
constexpr std::int32_t k1252 = XELAGT_CODESET_WINDOWS_1252;
constexpr std::int32_t kSjis = XELAGT_CODESET_SHIFT_JIS;
const std::string kTagA = "\xF3\xA0\x81\x81";  // U+E0041 TAG LATIN CAPITAL LETTER A

INSTANTIATE_TEST_SUITE_P(
    OutOfUtf8, StandinCodesetTest,
    ::testing::Values(
        Case{"Latin1TagAlone", kLatin1, kTagA, false},
        Case{"Latin1TagBetweenLetters", kLatin1, "a" + kTagA + "b", false},
        Case{"Latin1CancelTag", kLatin1, "\xF3\xA0\x81\xBF", false},
        Case{"Latin1Held", kLatin1,
             "Gr\xC3\xBC\xC3\x9F"
             "e \xC3\xBF",
             true},
        Case{"Windows1252Tag", k1252, "x" + kTagA, false},
        Case{"Windows1252Held", k1252, "\xE2\x82\xAC \xE2\x80\x9E", true},
        Case{"ShiftJisTag", kSjis, "\xE6\x97\xA5" + kTagA, false},
        Case{"ShiftJisYenSign", kSjis, "\xC2\xA5", false},   // would become 5C
        Case{"ShiftJisCentSign", kSjis, "\xC2\xA2", false},  // would come back U+FFE0
        Case{"ShiftJisPoundSign", kSjis, "\xC2\xA3", false},
        Case{"ShiftJisNotSign", kSjis, "\xC2\xAC", false},
        Case{"ShiftJisEmDash", kSjis, "\xE2\x80\x94", false},
        Case{"ShiftJisDoubleVerticalLine", kSjis, "\xE2\x80\x96", false},
        Case{"ShiftJisOverline", kSjis, "\xE2\x80\xBE", false},  // would become 7E
        Case{"ShiftJisMinusSign", kSjis, "\xE2\x88\x92", false},
        Case{"ShiftJisWaveDash", kSjis,
             "a\xE3\x80\x9C"
             "b",
             false},
        Case{"ShiftJisFullwidthYen", kSjis, "\xEF\xBF\xA5", true},
        Case{"ShiftJisFullwidthTilde", kSjis, "\xEF\xBD\x9E", true},
        Case{"ShiftJisKanjiAndKana", kSjis, "\xE8\xA1\xA8\xE7\xA4\xBA\xEF\xBD\xB1 ABC\\~", true},
        Case{"ShiftJisVendorRow", kSjis, "\xE2\x91\xA0\xE2\x88\x91\xE7\xBA\x8A", true}),
    [](const auto& info) { return std::string(info.param.name); });

// Every character alone: what a code set takes must come back unchanged. Each code
// set holds at least its single-byte characters (Shift_JIS: ASCII and the
// half-width katakana), so an agent that refuses everything fails too.
TEST(StandinCodesetSweep, EveryAcceptedCharacterComesBack) {
    for (const auto& [codeset, least] :
         {std::pair<std::int32_t, int>{kLatin1, 255}, {k1252, 250}, {kSjis, 7000}}) {
        int accepted = 0;
        std::string altered;
        for (std::uint32_t c = 1; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {
            const std::string utf8 = jxel::test::utf8Of(c);
            char* local = nullptr;
            if (xelagt_convert_text(codeset, XELAGT_CODESET_UTF8, &local, utf8.c_str(), nullptr) !=
                XELAGT_OK) {
                continue;
            }
            ++accepted;
            char* back = nullptr;
            if (xelagt_convert_text(XELAGT_CODESET_UTF8, codeset, &back, local, nullptr) !=
                    XELAGT_OK ||
                back == nullptr || utf8 != back) {
                char name[16];
                std::snprintf(name, sizeof name, " U+%04X", static_cast<unsigned>(c));
                altered += name;
            }
            xelagt_release_buffer(back);
            xelagt_release_buffer(local);
        }
        EXPECT_EQ(altered, "") << "code set " << codeset << " altered these";
        EXPECT_GE(accepted, least) << "code set " << codeset;
    }
}

}  // namespace
