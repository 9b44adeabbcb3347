// Natives of JXelObject that create, copy, free and classify data objects.
#include <jni.h>

#include <cstdint>

#include "jni_support.h"
#include "xelagtapi.h"

using jxel::storeHandle;

extern "C" {

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(JNIEnv* env,
                                                                                  jobject self,
                                                                                  jint type) {
    xelagt_handle handle = 0;
    const std::int32_t status = xelagt_create_data_object(type, &handle);
    if (status != 0) return status;
    // An object whose class cannot hold the handle could never be freed.
    if (!storeHandle(env, self, handle)) xelagt_free_data_object(&handle);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(JNIEnv* env,
                                                                                jobject self,
                                                                                jlong source) {
    xelagt_handle copy = 0;
    const std::int32_t status = xelagt_copy_data_object(source, &copy);
    if (status != 0) return status;
    // The handle the field held before is the Java side's to free, not ours.
    if (!storeHandle(env, self, copy)) xelagt_free_data_object(&copy);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(JNIEnv* env,
                                                                                jobject self,
                                                                                jlong handle) {
    xelagt_handle freed = handle;
    const std::int32_t status = xelagt_free_data_object(&freed);
    if (status != 0) return status;
    storeHandle(env, self, 0);  // 0 whatever the field held or the agent left in `freed`
    return 0;
}

// Declared int in Java; the sign-extended jlong serves a class declaring long too.
JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(JNIEnv*, jobject,
                                                                                 jlong handle) {
    return xelagt_data_object_type(handle);
}

}  // extern "C"
