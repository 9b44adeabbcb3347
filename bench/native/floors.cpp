// Natives of the bench-only class com.brel.vorlend.ib.api.jxel.bench.Floors:
// the least JNI work each kind of bridge native must do, measured beside the
// real natives so their ratios show what the bridge adds on top.
#include <jni.h>

#include <cstdint>
#include <cstring>

extern "C" {

// Keeps a copy of text for storeString, which gets it back as its handle, so
// the floor delivers exactly what the measured getter delivers. The copies
// live as long as the process: a bench makes a handful.
JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Floors_prime(JNIEnv* env, jclass,
                                                                             jstring text) {
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) return 0;
    char* copy = strdup(chars);
    env->ReleaseStringUTFChars(text, chars);
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(copy));
}

// Same shape as XelGetLong: a call into native code and straight back.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Floors_empty(JNIEnv*, jobject,
                                                                            jlong handle, jint) {
    return static_cast<jint>(handle);
}

// What XelDataCreate adds to the agent call: the handle field, looked up each call.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Floors_storeLong(JNIEnv* env,
                                                                                jobject self,
                                                                                jlong value) {
    jclass clazz = env->GetObjectClass(self);
    jfieldID field = env->GetFieldID(clazz, "myXelReference", "J");
    if (field == nullptr) return -1;
    env->SetLongField(self, field, value);
    return 0;
}

// What XelGetString cannot avoid: the field lookup, a new String, the store.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Floors_storeString(JNIEnv* env,
                                                                                  jobject self,
                                                                                  jlong text,
                                                                                  jint) {
    jclass clazz = env->GetObjectClass(self);
    jfieldID field = env->GetFieldID(clazz, "myXelDataString", "Ljava/lang/String;");
    if (field == nullptr) return -1;
    jstring string =
        env->NewStringUTF(reinterpret_cast<const char*>(static_cast<std::intptr_t>(text)));
    if (string == nullptr) return -1;
    env->SetObjectField(self, field, string);
    return 0;
}

// What XelSetString cannot avoid: borrowing the characters and giving them back.
JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_bench_Floors_readString(JNIEnv* env,
                                                                                 jobject, jlong,
                                                                                 jint,
                                                                                 jstring value) {
    const char* chars = env->GetStringUTFChars(value, nullptr);
    if (chars == nullptr) return -1;
    const jint first = static_cast<unsigned char>(chars[0]);
    env->ReleaseStringUTFChars(value, chars);
    return first;
}

}  // extern "C"
