// Natives of the bench-only class com.brel.vorlend.ib.api.jxel.bench.Baselines:
// each makes the agent calls and the JNI calls of one bridge native, in the
// same order, against the trivial agent (trivial_agent.cpp), and nothing
// else. A bridge native over its baseline is the bridge's own cost.
#include <jni.h>

#include <cstdlib>
#include <cstring>

#include "xelagtapi.h"

extern "C" {
void xelagt_bench_set_text(const char* text);
}

namespace {

const char kComponent[] = "Java API";

// The agent calls every conversion starts with.
int localCodeSet(xelagt_status* status) {
    xelagt_prepare_status(status);
    xelagt_component_setup(0, kComponent, 0);
    const xelagt_locale* locale = nullptr;
    xelagt_get_locale(&locale);
    return locale->codeset;
}

}  // namespace

extern "C" {

// Results are jlong where the bridge's natives return jlong (it serves classes that
// declare them int or long), so the result is widened the same way.

// The text the trivial agent's getters return from now on; a copy lives as long as the
// process (a bench sets a handful).
JNIEXPORT void JNICALL
Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_setAgentText(JNIEnv* env, jclass, jstring text) {
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) return;
    xelagt_bench_set_text(strdup(chars));
    env->ReleaseStringUTFChars(text, chars);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_dataType(JNIEnv*, jobject,
                                                                                   jlong handle) {
    return xelagt_data_object_type(handle);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_getLong(JNIEnv*, jobject,
                                                                                  jlong handle,
                                                                                  jint attribute) {
    return xelagt_get_integer_attribute(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_setLong(JNIEnv*, jobject,
                                                                                  jlong handle,
                                                                                  jint attribute,
                                                                                  jint value) {
    return xelagt_set_integer_attribute(handle, attribute, value);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_setDouble(
    JNIEnv*, jobject, jlong handle, jint attribute, jdouble value) {
    return xelagt_set_double_attribute(handle, attribute, value);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_getListLength(
    JNIEnv*, jobject, jlong handle, jint attribute) {
    return xelagt_list_length(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_addListElement(
    JNIEnv*, jobject, jlong handle, jint attribute) {
    return xelagt_add_list_element(handle, attribute);
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_deleteListElement(
    JNIEnv*, jobject, jlong handle, jint attribute, jint selector) {
    return xelagt_delete_list_element(handle, attribute, selector);
}

// XelDataCreate: the agent call, then the handle stored into the field looked up afresh.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_dataCreate(JNIEnv* env,
                                                                                    jobject self,
                                                                                    jint type) {
    xelagt_handle handle = 0;
    const jint status = xelagt_create_data_object(type, &handle);
    if (status != 0) return status;
    jfieldID field = env->GetFieldID(env->GetObjectClass(self), "myXelReference", "J");
    env->SetLongField(self, field, handle);
    return 0;
}

// XelGetString: field lookup, the getter, the conversion's agent calls, the new String
// (of the agent's text as it is), the pending-exception check and the store.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_getString(JNIEnv* env,
                                                                                   jobject self,
                                                                                   jlong handle,
                                                                                   jint attribute) {
    jfieldID field =
        env->GetFieldID(env->GetObjectClass(self), "myXelDataString", "Ljava/lang/String;");
    char* text = xelagt_get_string_attribute(handle, attribute);
    xelagt_status status;
    const int local = localCodeSet(&status);
    char* output = nullptr;
    xelagt_convert_text(XELAGT_CODESET_UTF8, local, &output, text, &status);
    jstring string = env->NewStringUTF(output != nullptr ? output : text);
    if (output != nullptr) xelagt_release_buffer(output);
    if (env->ExceptionCheck()) return 0;
    env->SetObjectField(self, field, string);
    return 0;
}

// XelSetString: the characters borrowed, the conversion's agent calls, the copy the
// identity conversion hands on, the setter, and both given back.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_setString(
    JNIEnv* env, jobject, jlong handle, jint attribute, jstring value) {
    const char* chars = env->GetStringUTFChars(value, nullptr);
    if (chars == nullptr) return 0;
    xelagt_status status;
    const int local = localCodeSet(&status);
    const std::size_t length = std::strlen(chars);
    char* output = nullptr;
    xelagt_convert_text(local, XELAGT_CODESET_UTF8, &output, chars, &status);
    if (output == nullptr) {
        output = static_cast<char*>(std::malloc(length + 1));
        if (output != nullptr) std::memcpy(output, chars, length + 1);
    }
    const jint result = xelagt_set_string_attribute(handle, attribute, output);
    env->ReleaseStringUTFChars(value, chars);
    xelagt_release_buffer(output);
    return result;
}

}  // extern "C"
