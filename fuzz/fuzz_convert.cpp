// convertStringFromUTF, convertStringToUTF and the text natives with
// arbitrary bytes, against an agent whose every answer the input chooses,
// and the fake JVM, which must never be handed invalid modified UTF-8.
//
// Input: one control byte, then up to three texts separated by NUL bytes:
//   A  what Java hands over (also given to convertStringFromUTF as it is)
//   B  what the agent holds and returns from its text getters
//   C  what the agent's conversions give (when the control byte says so)
// Control bits: 0-1 conversions toward the agent, 2-3 toward Java
// (0 fail, 1 success without output, 2-3 success with output), 4 no locale
// record, 5 local code set UTF-8, 6 conversions give C (else their input),
// 7 the text getters return NULL.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "convert_agent.h"
#include "fake_jni.h"
#include "fuzz_text.h"
#include "jxel_convert.h"
#include "natives.h"
#include "text_delivery.h"
#include "trace.h"
#include "utf8.h"
#include "xelagtapi.h"

using jxel::fuzz::agent;
using jxel::fuzz::fail;
using jxel::fuzz::Outcome;
using jxel::test::FakeJvm;

namespace {

Outcome outcomeOf(unsigned bits) {
    return bits == 0 ? Outcome::kFail : bits == 1 ? Outcome::kNoOutput : Outcome::kOutput;
}

std::vector<std::string> splitAtNul(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    return parts;
}

void checkJvm(FakeJvm& jvm, const char* after) {
    const std::vector<std::string> violations = jvm.violations();
    if (!violations.empty()) fail(after, violations.front());
    if (jvm.pendingException()) fail(after, "exception pending: " + *jvm.pendingException());
}

void checkBuffers(const char* after) {
    if (agent().liveBuffers != 0) fail(after, "converted text not released");
}

// What Java should read for text delivered from the agent: equal to it when
// it is valid UTF-8; in any case something the JVM accepted (checked by the fake).
void checkDelivered(const std::optional<std::string>& stored, const std::string& delivered,
                    const char* what) {
    if (!stored) fail(what, "no string stored");
    if (!jxel::test::isValidModifiedUtf8(*stored)) fail(what, "stored invalid modified UTF-8");
    if (jxel::fuzz::isStandardUtf8(delivered) &&
        jxel::test::modifiedToStandard(*stored) != delivered) {
        fail(what, "valid text changed: " + delivered);
    }
}

// What convertStringFromUTF should give for `text`, nullopt for null.
std::optional<std::string> expectedFromUtf(const std::string& text) {
    if (!agent().hasLocale || agent().toAgent == Outcome::kFail) return std::nullopt;
    const jxel::JavaTextForm form = jxel::classifyJavaText(text.c_str(), text.size());
    if (form == jxel::JavaTextForm::kUnrepresentable) return std::nullopt;
    std::string standard = text;
    if (form == jxel::JavaTextForm::kSurrogatePairs) {
        std::vector<char> joined(text.size() + 1);
        standard.assign(joined.data(),
                        jxel::joinSurrogatePairs(text.c_str(), text.size(), joined.data()));
    }
    if (agent().toAgent == Outcome::kNoOutput) return standard;
    return agent().output ? *agent().output : standard;
}

// The agent text Java should end up with for agent text `held`, after conversion.
std::string expectedToUtf(const std::string& held) {
    if (!agent().hasLocale || agent().fromAgent != Outcome::kOutput) return held;
    return agent().output ? *agent().output : held;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    std::vector<std::string> parts = splitAtNul(data + 1, size - 1);
    parts.resize(std::max<std::size_t>(parts.size(), 3));
    const std::string& javaText = parts[0];
    const std::string& agentText = parts[1];

    agent() = jxel::fuzz::AgentScript{};
    agent().toAgent = outcomeOf(control & 3);
    agent().fromAgent = outcomeOf((control >> 2) & 3);
    agent().hasLocale = (control & 0x10) == 0;
    agent().localCodeSet = (control & 0x20) != 0 ? XELAGT_CODESET_UTF8 : 819;
    if ((control & 0x40) != 0) agent().output = parts[2];
    if ((control & 0x80) == 0) agent().heldText = agentText;
    jxel::test::trace().clear();

    FakeJvm jvm;
    JNIEnv* env = jvm.env();

    // convertStringFromUTF: null exactly when expected, never its argument, released once.
    {
        const std::optional<std::string> expected = expectedFromUtf(javaText);
        agent().towardJava = false;
        const int before = agent().conversions;
        char* converted = convertStringFromUTF(javaText.c_str());
        if (expected.has_value() != (converted != nullptr)) fail("fromUtf: null or not");
        if (converted != nullptr && (converted == javaText.c_str() || *expected != converted)) {
            fail("fromUtf: result", javaText);
        }
        if (jxel::classifyJavaText(javaText.c_str(), javaText.size()) ==
                jxel::JavaTextForm::kUnrepresentable &&
            agent().conversions != before) {
            fail("fromUtf: unrepresentable text reached the agent");
        }
        xelagt_release_buffer(converted);
        checkBuffers("fromUtf");
    }

    // convertStringToUTF and newJavaString: valid for the JVM whatever the bytes.
    {
        std::string held = agentText;
        agent().towardJava = true;
        jstring string = convertStringToUTF(held.data(), env);
        checkJvm(jvm, "toUtf");
        checkBuffers("toUtf");
        const bool expectNull = !agent().hasLocale || agent().fromAgent == Outcome::kFail;
        if (expectNull != (string == nullptr)) fail("toUtf: null or not");
        if (string != nullptr) {
            checkDelivered(reinterpret_cast<jxel::test::FakeString*>(string)->modifiedUtf8,
                           expectedToUtf(held), "toUtf");
        }
        jstring direct = jxel::newJavaString(env, held.c_str());
        checkJvm(jvm, "newJavaString");
        if (direct == nullptr) fail("newJavaString: null");
        checkDelivered(reinterpret_cast<jxel::test::FakeString*>(direct)->modifiedUtf8, held,
                       "newJavaString");
    }

    // The text natives: the field gets the converted text, or the unconverted
    // text when the conversion fails, or "" when the agent has none.
    {
        jobject self = jvm.newObject(jvm.objectClass());
        const std::string held = agent().heldText.value_or("");
        const std::string delivered = expectedToUtf(held);
        agent().towardJava = true;
        if (Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(env, self, 1, 2) != 0) {
            fail("XelGetString: status");
        }
        checkJvm(jvm, "XelGetString");
        checkDelivered(jvm.rawStringField(self, "myXelDataString"), delivered, "XelGetString");
        jvm.object(self)->strings.clear();
        Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListString(env, self, 1, 2, 0, 0);
        checkJvm(jvm, "XelGetListString");
        checkDelivered(jvm.rawStringField(self, "myXelDataString"), delivered, "XelGetListString");

        const jint message =
            Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(env, self, -1);
        checkJvm(jvm, "XelGetErrorMessage");
        if ((message == 0) != agent().heldText.has_value()) fail("XelGetErrorMessage: status");
        checkDelivered(jvm.rawStringField(self, "myXelDataString"), delivered,
                       "XelGetErrorMessage");

        Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelVersion(env,
                                                                jvm.asClass(jvm.objectClass()));
        checkJvm(jvm, "XelVersion");
        const auto& statics = jvm.objectClass()->staticStrings;  // ourVersion only
        checkDelivered(statics.empty() ? std::nullopt : statics.begin()->second, delivered,
                       "XelVersion");
        checkBuffers("getters");

        // Setters: the agent receives what convertStringFromUTF gives, or null.
        const std::optional<std::string> expected = expectedFromUtf(javaText);
        agent().towardJava = false;
        const jint status = Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(
            env, self, 1, 2, jvm.newString(javaText));
        checkJvm(jvm, "XelSetString");
        if (agent().lastSetText != expected || (status == 0) != expected.has_value()) {
            fail("XelSetString: agent received", javaText);
        }
        agent().lastSetText.reset();
        Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetListString(
            env, self, 1, 2, jvm.newString(javaText), 0, 0);
        checkJvm(jvm, "XelSetListString");
        if (agent().lastSetText != expected) fail("XelSetListString: agent received", javaText);
        checkBuffers("setters");
    }
    return 0;
}
