// The error text of JXelException and the version text of JXelObject.
#include <jni.h>

#include "java_fields.h"
#include "jni_support.h"
#include "text_delivery.h"
#include "xelagtapi.h"

namespace {

// The one status of the bridge's own: the agent has no text for the code.
constexpr jint kNoErrorText = -20;

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(
    JNIEnv* env, jobject self, jint code) {
    jfieldID field = jxel::instanceField(env, self, jxel::kDataStringField, jxel::kStringSignature);
    if (field == nullptr) return jxel::kResultUnused;
    const char* text = xelagt_error_text(code);
    if (text == nullptr) return kNoErrorText;  // the field keeps the last message
    jxel::deliverText(env, self, field, text);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelVersion(JNIEnv* env,
                                                                               jclass clazz) {
    jfieldID field = env->GetStaticFieldID(clazz, jxel::kVersionField, jxel::kStringSignature);
    if (field == nullptr) return jxel::kResultUnused;
    const char* text = xelagt_version_text();
    jxel::deliverStaticText(env, clazz, field, text != nullptr ? text : "");
    return 0;
}

}  // extern "C"
