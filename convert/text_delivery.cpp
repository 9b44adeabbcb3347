#include "text_delivery.h"

#include <cstring>
#include <memory>
#include <new>

#include "jxel_convert.h"
#include "utf8.h"

namespace jxel {

namespace {

// The JVM's own answer to exhausted memory. When FindClass fails, its own
// exception is pending instead.
void throwOutOfMemoryError(JNIEnv* env) {
    jclass type = env->FindClass("java/lang/OutOfMemoryError");
    if (type != nullptr) env->ThrowNew(type, "no memory for the modified UTF-8 of agent text");
}

}  // namespace

jstring newJavaString(JNIEnv* env, const char* utf8, bool* newStringUtfFailed) {
    const std::size_t length = std::strlen(utf8);
    const std::size_t size = modifiedUtf8Size(utf8, length);
    char small[512];
    std::unique_ptr<char[]> large;
    const char* modified = utf8;  // the common case: no copy
    if (size != 0) {
        char* buffer = small;
        if (size > sizeof small) {
            large.reset(new (std::nothrow) char[size]);
            if (!large) {
                throwOutOfMemoryError(env);
                return nullptr;
            }
            buffer = large.get();
        }
        writeModifiedUtf8(utf8, length, buffer);
        modified = buffer;
    }
    jstring string = env->NewStringUTF(modified);
    if (string == nullptr && newStringUtfFailed != nullptr) *newStringUtfFailed = true;
    return string;
}

namespace {

// The converted text, or else the unconverted one, as a Java string. Null
// only when the string cannot be made; an exception is then pending.
jstring javaStringFromAgent(JNIEnv* env, const char* agentText) {
    jstring string = javaStringFromLocal(const_cast<char*>(agentText), env);
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
