// Natives of JXelObject that read and write single attributes.
#include <jni.h>

#include "java_fields.h"
#include "jni_support.h"
#include "text_delivery.h"
#include "xelagtapi.h"

extern "C" {

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(JNIEnv* env,
                                                                                 jobject self,
                                                                                 jlong handle,
                                                                                 jint attribute) {
    jfieldID field = jxel::instanceField(env, self, jxel::kDataStringField, jxel::kStringSignature);
    if (field == nullptr) return jxel::kResultUnused;
    const char* text = xelagt_get_string_attribute(handle, attribute);
    jxel::deliverText(env, self, field, text != nullptr ? text : "");
    return 0;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(
    JNIEnv* env, jobject, jlong handle, jint attribute, jstring value) {
    return jxel::withAgentText(env, value, [&](const char* text) {
        return xelagt_set_string_attribute(handle, attribute, text);
    });
}

// The next three are declared int in Java; the sign-extended jlong results
// serve a class declaring them long too, and the value's low 32 bits reach
// the agent either way.
JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetLong(JNIEnv*, jobject,
                                                                                jlong handle,
                                                                                jint attribute) {
    return xelagt_get_integer_attribute(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetLong(JNIEnv*, jobject,
                                                                                jlong handle,
                                                                                jint attribute,
                                                                                jint value) {
    return xelagt_set_integer_attribute(handle, attribute, value);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetDouble(JNIEnv*, jobject,
                                                                                  jlong handle,
                                                                                  jint attribute,
                                                                                  jdouble value) {
    return xelagt_set_double_attribute(handle, attribute, value);
}

}  // extern "C"
