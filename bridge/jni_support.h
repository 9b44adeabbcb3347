// Small helpers shared by the natives.
#ifndef JXEL_BRIDGE_JNI_SUPPORT_H
#define JXEL_BRIDGE_JNI_SUPPORT_H

#include <jni.h>

#include <cstddef>
#include <cstring>

#include "text_delivery.h"
#include "xelagtapi.h"

namespace jxel {

// What a native returns when a JVM exception is pending: the JVM throws the
// exception and never looks at the value.
inline constexpr jint kResultUnused = 0;

// The instance field `name` of the run-time class of `object`, or null with
// the JVM's NoSuchFieldError pending when that class lacks it.
jfieldID instanceField(JNIEnv* env, jobject object, const char* name, const char* signature);

// Stores `handle` into the receiver's handle field; false, with the JVM's
// exception pending, when the receiver's class has no such field.
bool storeHandle(JNIEnv* env, jobject receiver, jlong handle);

// HotSpot 17 hands over at most this many bytes of modified UTF-8, cut
// after a whole UTF-16 unit. A unit takes 1 to 3 bytes, so a cut text
// comes with at least kJvmUtfLimit - 2 bytes.
inline constexpr std::size_t kJvmUtfLimit = 2147483646;
inline constexpr std::size_t kLongestUnit = 3;

// cutShortByJvm for a text that reaches the limit.
bool cutShortNearLimit(JNIEnv* env, jstring value, const char* chars, std::size_t length);

// True when the JVM handed over `chars` (`length` bytes) cut short of the
// whole of `value`, as HotSpot 17 does, silently, past 2,147,483,646 bytes of
// modified UTF-8. Asks the JVM for the string's length only at that limit;
// inline, so that other texts cost one comparison.
inline bool cutShortByJvm(JNIEnv* env, jstring value, const char* chars, std::size_t length) {
    return length + kLongestUnit > kJvmUtfLimit && cutShortNearLimit(env, value, chars, length);
}

// Hands `value` to `agentCall` as agent text and returns the agent's status.
// A null `value`, characters the JVM cannot give (HotSpot gives null with
// nothing pending when the C heap is exhausted) or gives cut short, and a
// failed conversion all reach the agent as null.
// The Java characters are released before the converted text, both after
// the agent call. When the JVM leaves an exception pending instead of the
// characters, the agent is not called and the exception stays pending.
template <typename AgentCall>
jint withAgentText(JNIEnv* env, jstring value, AgentCall&& agentCall) {
    const char* chars = nullptr;
    if (value != nullptr) {
        chars = env->GetStringUTFChars(value, nullptr);
        if (chars == nullptr && env->ExceptionCheck()) return kResultUnused;
    }
    char* converted = nullptr;
    if (chars != nullptr) {
        const std::size_t length = std::strlen(chars);
        if (!cutShortByJvm(env, value, chars, length)) converted = agentTextFromJava(chars, length);
    }
    const jint status = agentCall(static_cast<const char*>(converted));
    if (chars != nullptr) env->ReleaseStringUTFChars(value, chars);
    xelagt_release_buffer(converted);
    return status;
}

}  // namespace jxel

#endif  // JXEL_BRIDGE_JNI_SUPPORT_H
