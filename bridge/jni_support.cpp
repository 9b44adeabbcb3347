#include "jni_support.h"

#include "java_fields.h"

namespace jxel {

jfieldID instanceField(JNIEnv* env, jobject object, const char* name, const char* signature) {
    jclass clazz = env->GetObjectClass(object);
    if (clazz == nullptr) return nullptr;
    return env->GetFieldID(clazz, name, signature);
}

bool storeHandle(JNIEnv* env, jobject receiver, jlong handle) {
    jfieldID field = instanceField(env, receiver, kReferenceField, kReferenceSignature);
    if (field == nullptr) return false;
    env->SetLongField(receiver, field, handle);
    return true;
}

}  // namespace jxel
