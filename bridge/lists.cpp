// Natives of JXelObject that work on list attributes. Selectors go to the
// agent as they come.
#include <jni.h>

#include "java_fields.h"
#include "jni_support.h"
#include "text_delivery.h"
#include "xelagtapi.h"

extern "C" {

// The agent's 32-bit results widen with their sign: -1 stays -1.
JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListLength(
    JNIEnv*, jobject, jlong handle, jint attribute) {
    return xelagt_list_length(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(
    JNIEnv*, jobject, jlong handle, jint attribute) {
    return xelagt_add_list_element(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(
    JNIEnv*, jobject, jlong handle, jint attribute, jint selector) {
    return xelagt_delete_list_element(handle, attribute, selector);
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListString(
    JNIEnv* env, jobject self, jlong handle, jint attribute, jint first, jint second) {
    jfieldID field = jxel::instanceField(env, self, jxel::kDataStringField, jxel::kStringSignature);
    if (field == nullptr) return jxel::kResultUnused;
    const char* text = xelagt_get_list_string(handle, attribute, first, second);
    jxel::deliverText(env, self, field, text != nullptr ? text : "");
    return 0;
}

// Java gives the text before the selectors; the agent takes it after them.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetListString(
    JNIEnv* env, jobject, jlong handle, jint attribute, jstring value, jint first, jint second) {
    return jxel::withAgentText(env, value, [&](const char* text) {
        return xelagt_set_list_string(handle, attribute, first, second, text);
    });
}

}  // extern "C"
