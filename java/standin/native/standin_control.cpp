// standin_control.cpp - the natives of StandInAgent (jxel-standin.jar).
//
// The stand-in's test control lives in the agent library that the bridge has
// already loaded. It is looked up there by name on every call rather than
// linked, so this library loads wherever the bridge loads: with the real agent
// deployed the lookup fails and the Java side reports that the agent is not the
// stand-in, instead of the JVM failing to load a library.
#include <jni.h>

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// Same values as the Java side's.
constexpr jint kStandIn = 0;
constexpr jint kNoAgentLoaded = 1;
constexpr jint kNotStandIn = 2;

// What an agent call gives when the function is missing; only reachable when the Java
// side ignored agentState(), and then nothing happens.
constexpr int32_t kMissing = -8;

#ifdef _WIN32
HMODULE loaded_agent() { return GetModuleHandleW(L"libxelagtapi.dll"); }

template <typename Function>
Function agent_function(const char* name) {
    HMODULE agent = loaded_agent();
    if (agent == nullptr) return nullptr;
    // Through void(*)(void), the one function pointer type every other converts to quietly.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(agent, name)));
}
#else
void* loaded_agent() {
    // RTLD_NOLOAD: only the library the bridge loaded (matched by its needed name), never
    // another one found on the search path.
    return dlopen("libxelagtapi.so", RTLD_LAZY | RTLD_NOLOAD);
}

template <typename Function>
Function agent_function(const char* name) {
    void* agent = loaded_agent();
    if (agent == nullptr) return nullptr;
    void* function = dlsym(agent, name);
    dlclose(agent);  // the bridge keeps it loaded
    return reinterpret_cast<Function>(function);
}
#endif

using VoidCall = void (*)(void);
using CountCall = int64_t (*)(void);
using StatusCall = int32_t (*)(void);
using StatusCall1 = int32_t (*)(int32_t);
using StatusCall3 = int32_t (*)(int32_t, int32_t, int32_t);

void call(const char* name) {
    if (VoidCall function = agent_function<VoidCall>(name)) function();
}

jlong count(const char* name) {
    CountCall function = agent_function<CountCall>(name);
    return function != nullptr ? static_cast<jlong>(function()) : 0;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentState(JNIEnv*,
                                                                                         jclass) {
#ifdef _WIN32
    if (loaded_agent() == nullptr) return kNoAgentLoaded;
#else
    void* agent = loaded_agent();
    if (agent == nullptr) return kNoAgentLoaded;
    dlclose(agent);
#endif
    return agent_function<VoidCall>("xelagt_test_reset") != nullptr ? kStandIn : kNotStandIn;
}

JNIEXPORT void JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_resetAgent(JNIEnv*,
                                                                                         jclass) {
    call("xelagt_test_reset");
}

JNIEXPORT void JNICALL
Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_cancelAgentFailures(JNIEnv*, jclass) {
    call("xelagt_test_reset_failures");
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentFailNext(
    JNIEnv*, jclass, jint ordinal, jint count, jint status) {
    StatusCall3 function = agent_function<StatusCall3>("xelagt_test_fail_next");
    return function != nullptr ? function(ordinal, count, status) : kMissing;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentNoOutputNext(
    JNIEnv*, jclass, jint count) {
    StatusCall1 function = agent_function<StatusCall1>("xelagt_test_no_output_next");
    return function != nullptr ? function(count) : kMissing;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentSetCodeSet(
    JNIEnv*, jclass, jint code_set) {
    StatusCall1 function = agent_function<StatusCall1>("xelagt_test_set_codeset");
    return function != nullptr ? function(code_set) : kMissing;
}

JNIEXPORT jint JNICALL Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentCodeSet(JNIEnv*,
                                                                                           jclass) {
    StatusCall function = agent_function<StatusCall>("xelagt_test_codeset");
    return function != nullptr ? function() : kMissing;
}

JNIEXPORT jlong JNICALL
Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentLiveObjects(JNIEnv*, jclass) {
    return count("xelagt_test_live_objects");
}

JNIEXPORT jlong JNICALL
Java_com_brel_vorlend_ib_api_jxel_standin_StandInAgent_agentUnreleasedTexts(JNIEnv*, jclass) {
    return count("xelagt_test_live_buffers");
}

}  // extern "C"
