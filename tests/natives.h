// The natives as the JVM sees them, for calling them from C++ tests.
#ifndef JXEL_TESTS_NATIVES_H
#define JXEL_TESTS_NATIVES_H

#include <jni.h>

extern "C" {
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(JNIEnv*, jobject, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(JNIEnv*, jobject, jlong);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(JNIEnv*, jobject, jlong);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(JNIEnv*, jobject, jlong);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(JNIEnv*, jobject, jlong, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(JNIEnv*, jobject, jlong, jint,
                                                               jstring);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetLong(JNIEnv*, jobject, jlong, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetLong(JNIEnv*, jobject, jlong, jint, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetDouble(JNIEnv*, jobject, jlong, jint,
                                                                jdouble);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListLength(JNIEnv*, jobject, jlong, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(JNIEnv*, jobject, jlong, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(JNIEnv*, jobject, jlong,
                                                                        jint, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListString(JNIEnv*, jobject, jlong, jint,
                                                                   jint, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetListString(JNIEnv*, jobject, jlong, jint,
                                                                   jstring, jint, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(JNIEnv*, jobject, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelVersion(JNIEnv*, jclass);
}

#endif  // JXEL_TESTS_NATIVES_H
