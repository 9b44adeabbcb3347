#include "text_delivery.h"

#include <cstring>
#include <memory>
#include <new>

#include "jxel_convert.h"
#include "utf8.h"

namespace jxel {

jstring newJavaString(JNIEnv* env, const char* utf8) {
    const std::size_t length = std::strlen(utf8);
    const std::size_t size = modifiedUtf8Size(utf8, length);
    if (size == 0) return env->NewStringUTF(utf8);  // the common case: no copy

    char small[512];
    std::unique_ptr<char[]> large;
    char* buffer = small;
    if (size > sizeof small) {
        large.reset(new (std::nothrow) char[size]);
        if (!large) return nullptr;
        buffer = large.get();
    }
    writeModifiedUtf8(utf8, length, buffer);
    return env->NewStringUTF(buffer);
}

namespace {

// The converted text, or else the unconverted one, as a Java string. Null
// only when the JVM could not make a string; its exception is then pending
// (or, when our own buffer could not be had, nothing is).
jstring javaStringFromAgent(JNIEnv* env, const char* agentText) {
    jstring string = convertStringToUTF(const_cast<char*>(agentText), env);
    if (string != nullptr || env->ExceptionCheck()) return string;
    return newJavaString(env, agentText);
}

}  // namespace

void deliverText(JNIEnv* env, jobject object, jfieldID field, const char* agentText) {
    jstring string = javaStringFromAgent(env, agentText);
    if (env->ExceptionCheck()) return;
    env->SetObjectField(object, field, string);
}

void deliverStaticText(JNIEnv* env, jclass clazz, jfieldID field, const char* agentText) {
    jstring string = javaStringFromAgent(env, agentText);
    if (env->ExceptionCheck()) return;
    env->SetStaticObjectField(clazz, field, string);
}

}  // namespace jxel
