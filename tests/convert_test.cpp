// The exported conversion functions, called as other native code calls them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fake_jni.h"
#include "jxel_convert.h"
#include "scripted_agent.h"
#include "trace.h"

namespace jxel::test {
namespace {

using Calls = std::vector<std::string>;
const Calls kPreamble = {"agent.prepare_status", "agent.component_setup 0 \"Java API\" 0",
                         "agent.get_locale"};

Calls preambleThen(const Calls& after) {
    Calls all = kPreamble;
    all.insert(all.end(), after.begin(), after.end());
    return all;
}

class ConvertTest : public ::testing::Test {
  protected:
    void SetUp() override { resetScript(); }
    void TearDown() override { EXPECT_EQ(jvm.violations(), Calls{}); }
    FakeJvm jvm;
};

TEST_F(ConvertTest, FromUtfReturnsTheAgentsText) {
    char* converted = convertStringFromUTF("abc");
    ASSERT_NE(converted, nullptr);
    EXPECT_STREQ(converted, "<819>abc");
    EXPECT_EQ(trace().take(), preambleThen({"agent.convert 819 69 \"abc\""}));
    xelagt_release_buffer(converted);
    EXPECT_EQ(script().liveBuffers, 0);
}

TEST_F(ConvertTest, FromUtfWithoutOutputReturnsACopyNeverTheArgument) {
    script().convert = ConvertOutcome::kNoOutput;
    for (const char* text : {"", "abc", "x\xED\xA0\xBD\xED\xB8\x80"}) {
        char* copy = convertStringFromUTF(text);
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, text);
        xelagt_release_buffer(copy);  // must be safe: the caller always releases
    }
    char* copy = convertStringFromUTF("x\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_STREQ(copy, "x\xF0\x9F\x98\x80");
    std::free(copy);
}

TEST_F(ConvertTest, FromUtfGivesNullForWhatCannotBecomeAgentText) {
    script().convert = ConvertOutcome::kFail;
    EXPECT_EQ(convertStringFromUTF("abc"), nullptr);
    script().convert = ConvertOutcome::kOutput;
    EXPECT_EQ(convertStringFromUTF(nullptr), nullptr);
    EXPECT_EQ(convertStringFromUTF("a\xC0\x80"), nullptr);
    EXPECT_EQ(convertStringFromUTF("\xFF"), nullptr);
    trace().clear();
    script().hasLocale = false;
    EXPECT_EQ(convertStringFromUTF("abc"), nullptr);
    EXPECT_EQ(trace().take(), kPreamble);  // no conversion without a local code set
}

TEST_F(ConvertTest, StandardFourByteInputFromNativeCallersIsAccepted) {
    char* converted = convertStringFromUTF("\xF0\x9F\x98\x80");
    ASSERT_NE(converted, nullptr);
    EXPECT_STREQ(converted, "<819>\xF0\x9F\x98\x80");
    xelagt_release_buffer(converted);
}

TEST_F(ConvertTest, EveryCallAsksForTheLocalCodeSetAgain) {
    char* first = convertStringFromUTF("a");
    script().localCodeSet = 932;
    char* second = convertStringFromUTF("a");
    EXPECT_EQ(trace().take(),
              (Calls{kPreamble[0], kPreamble[1], kPreamble[2], "agent.convert 819 69 \"a\"",
                     kPreamble[0], kPreamble[1], kPreamble[2], "agent.convert 932 69 \"a\""}));
    xelagt_release_buffer(first);
    xelagt_release_buffer(second);
}

TEST_F(ConvertTest, ToUtfMakesTheStringFromTheOutputAndReleasesIt) {
    char text[] = "abc";
    jstring string = convertStringToUTF(text, jvm.env());
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(reinterpret_cast<FakeString*>(string)->modifiedUtf8, "<69>abc");
    EXPECT_EQ(trace().take(),
              preambleThen({"agent.convert 69 819 \"abc\"", "NewStringUTF \"<69>abc\"",
                            "agent.release_buffer \"<69>abc\""}));
    EXPECT_EQ(script().liveBuffers, 0);
}

TEST_F(ConvertTest, ToUtfWithoutOutputUsesTheArgument) {
    script().convert = ConvertOutcome::kNoOutput;
    char text[] = "abc";
    jstring string = convertStringToUTF(text, jvm.env());
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(trace().take(),
              preambleThen({"agent.convert 69 819 \"abc\"", "NewStringUTF \"abc\""}));
}

TEST_F(ConvertTest, ToUtfFailureIsSilent) {
    script().convert = ConvertOutcome::kFail;
    char text[] = "abc";
    testing::internal::CaptureStderr();
    EXPECT_EQ(convertStringToUTF(text, jvm.env()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(trace().take(), preambleThen({"agent.convert 69 819 \"abc\""}));
    EXPECT_FALSE(jvm.pendingException());
}

// NewStringUTF sets no errno; its OutOfMemoryError says what happened.
TEST_F(ConvertTest, ToUtfReportsAFailedNewStringUtfAsOutOfMemory) {
    jvm.failNewStringUtf = 1;
    char text[] = "abc";
    errno = EINVAL;
    testing::internal::CaptureStderr();
    EXPECT_EQ(convertStringToUTF(text, jvm.env()), nullptr);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        std::string("convertStringToUTF:NewStringUTF() failed ") + std::strerror(ENOMEM) + "\n");
    EXPECT_EQ(script().liveBuffers, 0);
    jvm.clearException();
}

TEST_F(ConvertTest, ToUtfToleratesNullArguments) {
    EXPECT_EQ(convertStringToUTF(nullptr, jvm.env()), nullptr);
    char text[] = "abc";
    EXPECT_EQ(convertStringToUTF(text, nullptr), nullptr);
    EXPECT_EQ(script().liveBuffers, 0);
}

}  // namespace
}  // namespace jxel::test
