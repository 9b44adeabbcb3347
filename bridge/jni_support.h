// Small helpers shared by the natives.
#ifndef JXEL_BRIDGE_JNI_SUPPORT_H
#define JXEL_BRIDGE_JNI_SUPPORT_H

#include <jni.h>

#include "jxel_convert.h"
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

// Hands `value` to `agentCall` as agent text and returns the agent's status.
// A null `value` and a failed conversion both reach the agent as null.
// The Java characters are released before the converted text, both after
// the agent call. When the JVM cannot give the characters, the agent is not
// called and the JVM's exception stays pending.
template <typename AgentCall>
jint withAgentText(JNIEnv* env, jstring value, AgentCall&& agentCall) {
    const char* chars = nullptr;
    if (value != nullptr) {
        chars = env->GetStringUTFChars(value, nullptr);
        if (chars == nullptr) return kResultUnused;
    }
    char* converted = chars != nullptr ? convertStringFromUTF(chars) : nullptr;
    const jint status = agentCall(static_cast<const char*>(converted));
    if (chars != nullptr) env->ReleaseStringUTFChars(value, chars);
    xelagt_release_buffer(converted);
    return status;
}

}  // namespace jxel

#endif  // JXEL_BRIDGE_JNI_SUPPORT_H
