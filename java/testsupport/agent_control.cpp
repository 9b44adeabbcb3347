// JNI side of the test-only class com.brel.vorlend.ib.api.jxel.testing.AgentControl:
// hands the stand-in agent's test control to the Java tests. Linked to the same
// libxelagtapi as the bridge, so both see one agent.
#include <jni.h>

#include "standin.h"

extern "C" {

JNIEXPORT jint JNICALL
Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_setCodeset(JNIEnv*, jclass, jint codeset) {
    return xelagt_test_set_codeset(codeset);
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_codeset(JNIEnv*,
                                                                                      jclass) {
    return xelagt_test_codeset();
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_failNext(
    JNIEnv*, jclass, jint op, jint count, jint status) {
    return xelagt_test_fail_next(op, count, status);
}

JNIEXPORT jint JNICALL
Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_noOutputNext(JNIEnv*, jclass, jint count) {
    return xelagt_test_no_output_next(count);
}

JNIEXPORT void JNICALL
Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_resetFailures(JNIEnv*, jclass) {
    xelagt_test_reset_failures();
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_liveObjects(JNIEnv*,
                                                                                           jclass) {
    return static_cast<jlong>(xelagt_test_live_objects());
}

JNIEXPORT jlong JNICALL Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_liveBuffers(JNIEnv*,
                                                                                           jclass) {
    return static_cast<jlong>(xelagt_test_live_buffers());
}

JNIEXPORT void JNICALL Java_com_brel_vorlend_ib_api_jxel_testing_AgentControl_freeAll(JNIEnv*,
                                                                                      jclass) {
    xelagt_test_free_all();
}

}  // extern "C"
