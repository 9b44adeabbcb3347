// The natives against a fake JVM and a scripted agent: the order of JNI and
// agent calls, which field is written, and the paths where something fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

#include "fake_jni.h"
#include "jni_support.h"
#include "natives.h"
#include "scripted_agent.h"
#include "trace.h"

namespace jxel::test {

// Set by a test: the next nothrow array allocation fails, as the library's
// own buffers do when memory runs out.
bool failNextNothrowArrayNew = false;

}  // namespace jxel::test

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (jxel::test::failNextNothrowArrayNew) {
        jxel::test::failNextNothrowArrayNew = false;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace jxel::test {
namespace {

using Calls = std::vector<std::string>;

const std::string kPreamble[] = {"agent.prepare_status", "agent.component_setup 0 \"Java API\" 0",
                                 "agent.get_locale"};

Calls withPreamble(Calls before, const Calls& after) {
    before.insert(before.end(), std::begin(kPreamble), std::end(kPreamble));
    before.insert(before.end(), after.begin(), after.end());
    return before;
}

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetScript();
        self = jvm.newObject(jvm.objectClass());
    }
    void TearDown() override {
        EXPECT_EQ(jvm.violations(), Calls{});
        EXPECT_EQ(script().liveBuffers, 0) << "converted texts not released";
    }
    Calls calls() { return trace().take(); }

    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    jobject self = nullptr;
};

// ---- Lifecycle ----

TEST_F(BridgeTest, CreateStoresTheNewHandleAfterTheAgentCall) {
    jvm.setLongField(self, "myXelReference", 99);
    EXPECT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(env, self, 7), 0);
    EXPECT_EQ(calls(), (Calls{"agent.create 7", "GetObjectClass", "GetFieldID myXelReference J",
                              "SetLongField myXelReference 4660"}));
    EXPECT_EQ(jvm.longField(self, "myXelReference"), 0x1234);
}

TEST_F(BridgeTest, CopyWritesTheCopyIntoTheReceiverAndLeavesTheSourceAlone) {
    jvm.setLongField(self, "myXelReference", 77);  // overwritten, not freed
    EXPECT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(env, self, 500), 0);
    EXPECT_EQ(calls(), (Calls{"agent.copy 500", "GetObjectClass", "GetFieldID myXelReference J",
                              "SetLongField myXelReference 4660"}));
}

TEST_F(BridgeTest, FreeStoresZeroWhateverTheFieldOrTheAgentHeld) {
    jvm.setLongField(self, "myXelReference", 42);
    EXPECT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(env, self, 500), 0);
    EXPECT_EQ(calls(), (Calls{"agent.free 500", "GetObjectClass", "GetFieldID myXelReference J",
                              "SetLongField myXelReference 0"}));
}

struct FailingLifecycleCase {
    const char* name;
    friend void PrintTo(const FailingLifecycleCase& c, std::ostream* os) { *os << c.name; }
    std::function<jint(JNIEnv*, jobject)> call;
    const char* agentCall;
};

class FailingLifecycleTest : public BridgeTest,
                             public ::testing::WithParamInterface<FailingLifecycleCase> {};

TEST_P(FailingLifecycleTest, AgentStatusReturnedWithoutAnyJniCall) {
    script().status = -2;
    jvm.setLongField(self, "myXelReference", 42);
    EXPECT_EQ(GetParam().call(env, self), -2);
    EXPECT_EQ(calls(), Calls{GetParam().agentCall});
    EXPECT_EQ(jvm.longField(self, "myXelReference"), 42);
}

INSTANTIATE_TEST_SUITE_P(
    Lifecycle, FailingLifecycleTest,
    ::testing::Values(
        FailingLifecycleCase{"Create",
                             [](JNIEnv* e, jobject o) {
                                 return Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(
                                     e, o, 1000);
                             },
                             "agent.create 1000"},
        FailingLifecycleCase{"Copy",
                             [](JNIEnv* e, jobject o) {
                                 return Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(
                                     e, o, 5);
                             },
                             "agent.copy 5"},
        FailingLifecycleCase{"Free",
                             [](JNIEnv* e, jobject o) {
                                 return Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(
                                     e, o, 0);
                             },
                             "agent.free 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeTest, ReceiverWithoutHandleFieldGetsNoSuchFieldErrorAndNothingLeaks) {
    FakeClass* bare = jvm.defineClass("Bare", {});
    jobject receiver = jvm.newObject(bare);

    Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(env, receiver, 3);
    EXPECT_EQ(calls(), (Calls{"agent.create 3", "GetObjectClass", "GetFieldID myXelReference J",
                              "agent.free 4660"}));
    EXPECT_EQ(jvm.pendingException(), "java/lang/NoSuchFieldError");
    jvm.clearException();

    Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(env, receiver, 8);
    EXPECT_EQ(calls(), (Calls{"agent.copy 8", "GetObjectClass", "GetFieldID myXelReference J",
                              "agent.free 4660"}));
    EXPECT_EQ(jvm.pendingException(), "java/lang/NoSuchFieldError");
}

// ---- Natives that make no JNI call ----

struct PassThroughCase {
    const char* name;
    friend void PrintTo(const PassThroughCase& c, std::ostream* os) { *os << c.name; }
    std::function<jlong(JNIEnv*, jobject)> call;
    const char* agentCall;
};

class PassThroughTest : public BridgeTest, public ::testing::WithParamInterface<PassThroughCase> {};

TEST_P(PassThroughTest, ReturnsTheAgentResultSignExtended) {
    for (std::int32_t result : {0, 17, -1, INT32_MIN, INT32_MAX}) {
        script().result = result;
        EXPECT_EQ(GetParam().call(env, self), static_cast<jlong>(result));
        EXPECT_EQ(calls(), Calls{GetParam().agentCall});
    }
}

#define JXEL_NATIVE(name) Java_com_brel_vorlend_ib_api_jxel_JXelObject_##name
INSTANTIATE_TEST_SUITE_P(
    NoJni, PassThroughTest,
    ::testing::Values(
        PassThroughCase{"Type",
                        [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelDataType)(e, o, 0); },
                        "agent.type 0"},
        PassThroughCase{"GetLong",
                        [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelGetLong)(e, o, 5, -3); },
                        "agent.get_integer 5 -3"},
        PassThroughCase{
            "SetLong",
            [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelSetLong)(e, o, 5, 2, INT32_MIN); },
            "agent.set_integer 5 2 -2147483648"},
        PassThroughCase{
            "SetDouble",
            [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelSetDouble)(e, o, 5, 2, 2.5); },
            "agent.set_double 5 2 2.500000"},
        PassThroughCase{
            "ListLength",
            [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelGetListLength)(e, o, 5, 9); },
            "agent.list_length 5 9"},
        PassThroughCase{
            "AddListElement",
            [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelAddListElement)(e, o, 5, 9); },
            "agent.add_list 5 9"},
        PassThroughCase{
            "DeleteListElement",
            [](JNIEnv* e, jobject o) { return JXEL_NATIVE(XelDeleteListElement)(e, o, 5, 9, -4); },
            "agent.delete_list 5 9 -4"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Getting text ----

TEST_F(BridgeTest, GetStringLooksUpTheFieldFirstAndDeliversTheConvertedText) {
    script().text = "abc";
    EXPECT_EQ(JXEL_NATIVE(XelGetString)(env, self, 5, 6), 0);
    EXPECT_EQ(calls(),
              withPreamble({"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;",
                            "agent.get_string 5 6"},
                           {"agent.convert 69 819 \"abc\"", "NewStringUTF \"<69>abc\"",
                            "agent.release_buffer \"<69>abc\"", "SetObjectField myXelDataString"}));
    EXPECT_EQ(jvm.stringField(self, "myXelDataString"), "<69>abc");
}

TEST_F(BridgeTest, GetListStringHandsTheSelectorsOnInOrder) {
    script().text = "x";
    script().convert = ConvertOutcome::kNoOutput;
    EXPECT_EQ(JXEL_NATIVE(XelGetListString)(env, self, 5, 6, 7, 8), 0);
    EXPECT_EQ(calls(),
              withPreamble({"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;",
                            "agent.get_list_string 5 6 7 8"},
                           {"agent.convert 69 819 \"x\"", "NewStringUTF \"x\"",
                            "SetObjectField myXelDataString"}));
    EXPECT_EQ(jvm.stringField(self, "myXelDataString"), "x");
}

const std::string kEmoji = "\xF0\x9F\x98\x80";
const std::string kThreeFffd = "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD";
std::string repeated(const std::string& text, int times) {
    std::string all;
    while (times-- > 0) all += text;
    return all;
}

struct DeliveryCase {
    const char* name;
    friend void PrintTo(const DeliveryCase& c, std::ostream* os) { *os << c.name; }
    std::optional<std::string> agentText;
    ConvertOutcome convert;
    bool hasLocale;
    std::string converted;  // what the converter gives, when it gives anything
    std::string expected;   // the field's text, as standard UTF-8
};

class DeliveryTest : public BridgeTest, public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(DeliveryTest, StoresWhatJavaShouldSee) {
    const DeliveryCase& c = GetParam();
    script().text = c.agentText;
    script().convert = c.convert;
    script().hasLocale = c.hasLocale;
    script().convertOutput = [&c](std::int32_t, const std::string&) { return c.converted; };
    jvm.setLongField(self, "myXelReference", 1);

    for (auto get :
         {+[](JNIEnv*e, jobject o) { return JXEL_NATIVE(XelGetString)(e, o, 1, 2); },
          +[](JNIEnv*e, jobject o) { return JXEL_NATIVE(XelGetListString)(e, o, 1, 2, 0, 0); }}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(get(env, self), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(jvm.stringField(self, "myXelDataString"), c.expected);
        calls();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Text, DeliveryTest,
    ::testing::Values(
        DeliveryCase{"NullTextBecomesEmpty", std::nullopt, ConvertOutcome::kNoOutput, true, "", ""},
        DeliveryCase{"EmptyText", "", ConvertOutcome::kNoOutput, true, "", ""},
        DeliveryCase{"NoOutputUsesTheTextItself", "plain", ConvertOutcome::kNoOutput, true, "",
                     "plain"},
        DeliveryCase{"FailedConversionFallsBackToTheUnconvertedText",
                     "Gr\xC3\xBC\xC3\x9F"
                     "e",
                     ConvertOutcome::kFail, true, "",
                     "Gr\xC3\xBC\xC3\x9F"
                     "e"},
        DeliveryCase{"NoLocaleRecordFallsBack", "text", ConvertOutcome::kOutput, false, "x",
                     "text"},
        DeliveryCase{"RejectedLatin1ByteArrivesAsReplacement", "caf\xE9", ConvertOutcome::kFail,
                     true, "", "caf\xEF\xBF\xBD"},
        DeliveryCase{"SupplementaryCharacterSurvives", "a", ConvertOutcome::kOutput, true,
                     "x\xF0\x9F\x98\x80y", "x\xF0\x9F\x98\x80y"},
        DeliveryCase{"InvalidConvertedBytesBecomeReplacements", "a", ConvertOutcome::kOutput, true,
                     "\xE2\x82z\x80", "\xEF\xBF\xBDz\xEF\xBF\xBD"},
        DeliveryCase{"EncodedSurrogatesAreNotPassedOn", "\xED\xA0\x80", ConvertOutcome::kNoOutput,
                     true, "", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        DeliveryCase{"OverlongThreeByteFormIsNotPassedOn", "\xE0\x9F\xBF",
                     ConvertOutcome::kNoOutput, true, "", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        DeliveryCase{"LongOverlongThreeByteFormIsNotPassedOn", "a", ConvertOutcome::kOutput, true,
                     std::string(70, 'a') + "\xE0\x80\xAF", std::string(70, 'a') + kThreeFffd},
        DeliveryCase{"StrayBufferOfAFailedConversionIsReleased", "text",
                     ConvertOutcome::kFailWithOutput, true, "stray", "text"},
        // The modified form, NUL included, on both sides of the 512 bytes kept on the stack.
        DeliveryCase{"ModifiedFormFillsTheStackBuffer", "a", ConvertOutcome::kOutput, true,
                     std::string(505, 'a') + kEmoji, std::string(505, 'a') + kEmoji},
        DeliveryCase{"ModifiedFormOneByteOverTheStackBuffer", "a", ConvertOutcome::kOutput, true,
                     std::string(506, 'a') + kEmoji, std::string(506, 'a') + kEmoji},
        DeliveryCase{"InvalidBytesOverTheStackBuffer", std::string(300, '\xFF'),
                     ConvertOutcome::kFail, true, "", repeated("\xEF\xBF\xBD", 300)},
        DeliveryCase{"EmojiOverTheStackBuffer", "a", ConvertOutcome::kOutput, true,
                     repeated(kEmoji, 200), repeated(kEmoji, 200)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeTest, NoLocaleRecordSkipsTheConversion) {
    script().text = "t";
    script().hasLocale = false;
    JXEL_NATIVE(XelGetString)(env, self, 1, 2);
    EXPECT_EQ(calls(),
              withPreamble({"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;",
                            "agent.get_string 1 2"},
                           {"NewStringUTF \"t\"", "SetObjectField myXelDataString"}));
}

TEST_F(BridgeTest, FailedNewStringUtfIsReportedOnceAndNeitherRetriedNorStored) {
    script().text = "abc";
    jvm.failNewStringUtf = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(JXEL_NATIVE(XelGetString)(env, self, 1, 2), 0);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("convertStringToUTF:NewStringUTF() failed ", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    EXPECT_EQ(calls(),
              withPreamble({"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;",
                            "agent.get_string 1 2"},
                           {"agent.convert 69 819 \"abc\"", "NewStringUTF \"<69>abc\"",
                            "agent.release_buffer \"<69>abc\""}));
    EXPECT_EQ(jvm.pendingException(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(jvm.rawStringField(self, "myXelDataString"), std::nullopt);
}

// Every text getter: OutOfMemoryError stays pending and nothing is stored or tried again (the
// fake JVM reports any call made with it pending).
TEST_F(BridgeTest, NoGetterStoresWhenNewStringUtfFails) {
    script().text = "abc";
    script().errorTexts[1] = "abc";
    for (auto get :
         {+[](JNIEnv*e, jobject o) { return JXEL_NATIVE(XelGetString)(e, o, 1, 2); },
          +[](JNIEnv*e, jobject o) { return JXEL_NATIVE(XelGetListString)(e, o, 1, 2, 3, 4); },
          +[](JNIEnv*e, jobject o) {
              return Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(e, o, 1);
          },
          +[](JNIEnv*e, jobject o) {
              return JXEL_NATIVE(XelVersion)(e,
                                             reinterpret_cast<jclass>(jvmOf(e).object(o)->clazz));
          }}) {
        jvm.failNewStringUtf = 1;
        testing::internal::CaptureStderr();
        EXPECT_EQ(get(env, self), 0);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(jvm.pendingException(), "java/lang/OutOfMemoryError");
        jvm.clearException();
    }
    EXPECT_EQ(jvm.rawStringField(self, "myXelDataString"), std::nullopt);
    EXPECT_EQ(jvm.staticStringField(jvm.objectClass(), "ourVersion"), std::nullopt);
}

TEST_F(BridgeTest, NoMemoryForOurOwnBufferRaisesOutOfMemoryErrorAndKeepsTheField) {
    if (RUNNING_ON_VALGRIND)
        GTEST_SKIP() << "valgrind puts its own operator new[] in place of ours";
    script().convert = ConvertOutcome::kNoOutput;
    script().text = "old";
    JXEL_NATIVE(XelGetString)(env, self, 1, 2);
    script().text = std::string(300, '\xFF');  // 900 bytes as U+FFFDs: more than the stack buffer
    failNextNothrowArrayNew = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(JXEL_NATIVE(XelGetString)(env, self, 1, 2), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // NewStringUTF never ran
    EXPECT_EQ(calls().back(),
              "ThrowNew java/lang/OutOfMemoryError \"no memory for the modified "
              "UTF-8 of agent text\"");
    EXPECT_EQ(jvm.pendingException(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(jvm.stringField(self, "myXelDataString"), "old");
}

TEST_F(BridgeTest, TextGettersOnAReceiverWithoutTheFieldNeverCallTheAgent) {
    jobject receiver = jvm.newObject(jvm.defineClass("Bare", {}));
    const Calls lookup = {"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;"};
    JXEL_NATIVE(XelGetString)(env, receiver, 1, 2);
    EXPECT_EQ(calls(), lookup);
    jvm.clearException();
    JXEL_NATIVE(XelGetListString)(env, receiver, 1, 2, 3, 4);
    EXPECT_EQ(calls(), lookup);
    jvm.clearException();
    Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(env, receiver, 1);
    EXPECT_EQ(calls(), lookup);
    EXPECT_EQ(jvm.pendingException(), "java/lang/NoSuchFieldError");
}

// ---- Setting text ----

TEST_F(BridgeTest, SetStringReleasesTheJavaCharactersBeforeTheConvertedText) {
    script().status = -7;
    EXPECT_EQ(JXEL_NATIVE(XelSetString)(env, self, 5, 6, jvm.newString("abc")), -7);
    EXPECT_EQ(calls(),
              withPreamble({"GetStringUTFChars"},
                           {"agent.convert 819 69 \"abc\"", "agent.set_string 5 6 \"<819>abc\"",
                            "ReleaseStringUTFChars", "agent.release_buffer \"<819>abc\""}));
}

TEST_F(BridgeTest, SetListStringGivesTheAgentTheSelectorsBeforeTheText) {
    script().convert = ConvertOutcome::kNoOutput;
    EXPECT_EQ(JXEL_NATIVE(XelSetListString)(env, self, 5, 6, jvm.newString("v"), 7, 8), 0);
    EXPECT_EQ(calls(),
              withPreamble({"GetStringUTFChars"},
                           {"agent.convert 819 69 \"v\"", "agent.set_list_string 5 6 7 8 \"v\"",
                            "ReleaseStringUTFChars", "agent.release_buffer \"v\""}));
}

struct SetTextCase {
    const char* name;
    friend void PrintTo(const SetTextCase& c, std::ostream* os) { *os << c.name; }
    std::optional<std::string> javaText;  // modified UTF-8; nullopt: a null String
    ConvertOutcome convert;
    std::string agentSees;  // what set string receives, as the trace shows it
};

class SetTextTest : public BridgeTest, public ::testing::WithParamInterface<SetTextCase> {};

TEST_P(SetTextTest, AgentReceivesTheConvertedTextOrNull) {
    const SetTextCase& c = GetParam();
    script().convert = c.convert;
    script().status = 3;
    script().convertOutput = [](std::int32_t, const std::string& input) { return input; };
    for (std::int32_t codeSet : {819, 69}) {  // UTF-8 takes a path of its own
        script().localCodeSet = codeSet;
        jstring value = c.javaText ? jvm.newString(*c.javaText) : nullptr;
        EXPECT_EQ(JXEL_NATIVE(XelSetString)(env, self, 1, 2, value), 3);
        const Calls seen = calls();
        EXPECT_NE(std::find(seen.begin(), seen.end(), "agent.set_string 1 2 " + c.agentSees),
                  seen.end())
            << codeSet << ": " << ::testing::PrintToString(seen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Text, SetTextTest,
    ::testing::Values(
        SetTextCase{"NullString", std::nullopt, ConvertOutcome::kOutput, "<null>"},
        SetTextCase{"EmptyStringCopiedWhenNoConversionIsNeeded", "", ConvertOutcome::kNoOutput,
                    "\"\""},
        SetTextCase{"FailedConversion", "abc", ConvertOutcome::kFail, "<null>"},
        SetTextCase{"SurrogatePairJoined", "x\xED\xA0\xBD\xED\xB8\x80y", ConvertOutcome::kOutput,
                    "\"x\xF0\x9F\x98\x80y\""},
        SetTextCase{"EmbeddedNulRefused",
                    "a\xC0\x80"
                    "b",
                    ConvertOutcome::kOutput, "<null>"},
        SetTextCase{"UnpairedHighSurrogateRefused",
                    "a\xED\xA0\xBD"
                    "b",
                    ConvertOutcome::kOutput, "<null>"},
        SetTextCase{"UnpairedLowSurrogateRefused", "\xED\xB8\x80", ConvertOutcome::kOutput,
                    "<null>"},
        SetTextCase{"OverlongThreeByteFormRefused", "a\xE0\x9F\xBF", ConvertOutcome::kOutput,
                    "<null>"},
        SetTextCase{"LongOverlongThreeByteFormRefused", std::string(70, 'a') + "\xE0\x80\x80",
                    ConvertOutcome::kOutput, "<null>"},
        SetTextCase{"FailedConversionWithAStrayBuffer", "abc", ConvertOutcome::kFailWithOutput,
                    "<null>"},
        // Latin-1 or Shift_JIS cannot hold it: the joined copy is ours to free.
        SetTextCase{"SurrogatePairTheCodeSetCannotHold", "\xED\xA0\xBD\xED\xB8\x80",
                    ConvertOutcome::kFail, "<null>"},
        SetTextCase{"SurrogatePairWithAStrayBuffer", "\xED\xA0\xBD\xED\xB8\x80",
                    ConvertOutcome::kFailWithOutput, "<null>"},
        SetTextCase{"LongSurrogatePairTheCodeSetCannotHold",
                    std::string(70, 'a') + "\xED\xA0\xBD\xED\xB8\x80", ConvertOutcome::kFail,
                    "<null>"},
        SetTextCase{"LongSurrogatePairJoined", std::string(70, 'a') + "\xED\xA0\xBD\xED\xB8\x80",
                    ConvertOutcome::kOutput, '"' + std::string(70, 'a') + "\xF0\x9F\x98\x80\""},
        SetTextCase{"LongTextCopiedWhenNoConversionIsNeeded", repeated("\xE6\x97\xA5\xC3\xA9z", 20),
                    ConvertOutcome::kNoOutput, '"' + repeated("\xE6\x97\xA5\xC3\xA9z", 20) + '"'},
        // Shown by its length and ends.
        SetTextCase{"VeryLongTextJoined", std::string(300, 'a') + "\xED\xA0\xBD\xED\xB8\x80",
                    ConvertOutcome::kOutput,
                    "\"aaaaaaaaaaaaaaaa\"...304 bytes...\"aaaaaaaaaaaa\xF0\x9F\x98\x80\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeTest, NullStringNeverReachesTheJvmStringFunctions) {
    script().convert = ConvertOutcome::kNoOutput;
    JXEL_NATIVE(XelSetListString)(env, self, 1, 2, nullptr, 3, 4);
    EXPECT_EQ(calls(),
              (Calls{"agent.set_list_string 1 2 3 4 <null>", "agent.release_buffer <null>"}));
}

TEST_F(BridgeTest, UnavailableJavaCharactersReachTheAgentAsNoTextUnlessAnExceptionIsPending) {
    script().status = -3;
    // HotSpot out of C heap: null, nothing pending. Another JVM may raise.
    for (const std::string exception : {"", "java/lang/OutOfMemoryError"}) {
        jvm.getStringUtfCharsException = exception;
        jvm.failGetStringUtfChars = 2;
        const Calls expected = exception.empty()
                                   ? Calls{"GetStringUTFChars", "agent.set_string 1 2 <null>",
                                           "agent.release_buffer <null>"}
                                   : Calls{"GetStringUTFChars"};
        EXPECT_EQ(JXEL_NATIVE(XelSetString)(env, self, 1, 2, jvm.newString("a")),
                  exception.empty() ? -3 : kResultUnused);
        EXPECT_EQ(calls(), expected);
        jvm.clearException();
        EXPECT_EQ(JXEL_NATIVE(XelSetListString)(env, self, 1, 2, jvm.newString("a"), 3, 4),
                  exception.empty() ? -3 : kResultUnused);
        EXPECT_EQ(calls().size(), exception.empty() ? 3u : 1u);
        EXPECT_EQ(jvm.pendingException().value_or(""), exception);
        jvm.clearException();
    }
}

#if defined(__linux__)
constexpr std::size_t kJvmUtfLimit = 2147483646;  // HotSpot 17 hands over no more

// `length` bytes of `pattern` over and over, NUL-terminated, in 3 MiB of
// memory: one block mapped again and again, a page copied for the NUL.
char* mirroredText(const std::string& pattern, std::size_t length, std::size_t* mapped) {
    constexpr std::size_t kBlock = 3 << 20;  // a multiple of 1, 2 and 3, and of pages
    std::string block;
    while (block.size() < kBlock) block += pattern;
    const int fd = memfd_create("mirrored-text", 0);
    if (fd < 0 || write(fd, block.data(), kBlock) != static_cast<ssize_t>(kBlock)) return nullptr;
    *mapped = (length / kBlock + 1) * kBlock;
    auto* base =
        static_cast<char*>(mmap(nullptr, *mapped, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    for (std::size_t at = 0; at < *mapped; at += kBlock) {
        mmap(base + at, kBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0);
    }
    close(fd);
    base[length] = '\0';
    return base;
}

struct LimitCase {
    const char* name;
    friend void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }
    const char* pattern;
    std::size_t length;  // bytes handed over
    jsize units;         // the whole string's UTF-16 length
    bool cut;
};

class JvmLimitTest : public BridgeTest, public ::testing::WithParamInterface<LimitCase> {};

// Without a locale record, a text taken whole shows as a conversion tried.
TEST_P(JvmLimitTest, TextCutShortByTheJvmReachesTheAgentAsNoText) {
    if (RUNNING_ON_VALGRIND) GTEST_SKIP() << "gigabytes to read";
    const LimitCase& c = GetParam();
    std::size_t mapped = 0;
    char* text = mirroredText(c.pattern, c.length, &mapped);
    ASSERT_NE(text, nullptr) << std::strerror(errno);
    script().hasLocale = false;
    EXPECT_EQ(JXEL_NATIVE(XelSetString)(env, self, 1, 2, jvm.newOutsideString(text, c.units)), 0);
    Calls expected = {"GetStringUTFChars", "agent.set_string 1 2 <null>", "ReleaseStringUTFChars",
                      "agent.release_buffer <null>"};
    if (!c.cut) expected.insert(expected.begin() + 1, std::begin(kPreamble), std::end(kPreamble));
    if (c.length + 2 >= kJvmUtfLimit) expected.insert(expected.begin() + 1, "GetStringLength");
    EXPECT_EQ(calls(), expected);
    munmap(text, mapped);
}

constexpr jsize kLimitUnits = static_cast<jsize>(kJvmUtfLimit);
INSTANTIATE_TEST_SUITE_P(
    AtTheLimit, JvmLimitTest,
    ::testing::Values(
        LimitCase{"BelowTheLimitNotAsked", "a", kJvmUtfLimit - 3, kLimitUnits, false},
        LimitCase{"AsciiWholeOneByteUnderTheLimit", "a", kJvmUtfLimit - 1, kLimitUnits - 1, false},
        LimitCase{"FewerBytesThanUnits", "a", kJvmUtfLimit - 2, kLimitUnits - 1, true},
        LimitCase{"ThreeBytesForEveryUnit", "\xE4\xB8\x80", kJvmUtfLimit, kLimitUnits / 3, false},
        LimitCase{"CjkCut", "\xE4\xB8\x80", kJvmUtfLimit, 720000000, true},
        LimitCase{"TwoByteTextWhole", "\xC3\xA9", kJvmUtfLimit, kLimitUnits / 2, false}),
    [](const auto& info) { return std::string(info.param.name); });
#endif  // __linux__

// ---- Error text and version ----

TEST_F(BridgeTest, ErrorMessageDeliversTheAgentText) {
    script().errorTexts[0] = "fine";
    script().convert = ConvertOutcome::kNoOutput;
    jobject exception = jvm.newObject(jvm.objectClass());
    EXPECT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(env, exception, 0),
              0);
    EXPECT_EQ(jvm.stringField(exception, "myXelDataString"), "fine");
}

TEST_F(BridgeTest, ErrorMessageWithoutTextReturnsMinus20AndKeepsTheLastMessage) {
    script().errorTexts[-1] = "bad handle";
    script().convert = ConvertOutcome::kNoOutput;
    jobject exception = jvm.newObject(jvm.objectClass());
    Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(env, exception, -1);
    calls();
    EXPECT_EQ(
        Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(env, exception, -99),
        -20);
    EXPECT_EQ(calls(), (Calls{"GetObjectClass", "GetFieldID myXelDataString Ljava/lang/String;",
                              "agent.error_text -99"}));
    EXPECT_EQ(jvm.stringField(exception, "myXelDataString"), "bad handle");
}

TEST_F(BridgeTest, VersionGoesIntoTheStaticFieldOfTheClassGiven) {
    FakeClass* clazz = jvm.objectClass();
    script().convert = ConvertOutcome::kNoOutput;
    for (const auto& [agentText, expected] :
         std::vector<std::pair<std::optional<std::string>, std::string>>{{"v1.0", "v1.0"},
                                                                         {std::nullopt, ""}}) {
        script().text = agentText;
        EXPECT_EQ(JXEL_NATIVE(XelVersion)(env, jvm.asClass(clazz)), 0);
        EXPECT_EQ(
            calls(),
            withPreamble({"GetStaticFieldID ourVersion Ljava/lang/String;", "agent.version_text"},
                         {"agent.convert 69 819 \"" + expected + "\"",
                          "NewStringUTF \"" + expected + "\"", "SetStaticObjectField ourVersion"}));
        EXPECT_EQ(jvm.staticStringField(clazz, "ourVersion"), expected);
    }
}

TEST_F(BridgeTest, VersionOnAClassWithoutTheFieldNeverCallsTheAgent) {
    FakeClass* bare = jvm.defineClass("Bare", {});
    JXEL_NATIVE(XelVersion)(env, jvm.asClass(bare));
    EXPECT_EQ(calls(), Calls{"GetStaticFieldID ourVersion Ljava/lang/String;"});
    EXPECT_EQ(jvm.pendingException(), "java/lang/NoSuchFieldError");
}

}  // namespace
}  // namespace jxel::test
