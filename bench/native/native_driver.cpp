// Calls one native of JXelObject in a loop, straight from C++ with a real JVM,
// so a profiler sees the bridge, the conversion and the agent without any Java
// code around them:
//   jxel_native_driver CLASSPATH LIBDIR OPERATION COUNT
// OPERATION: getlong setlong type addlist (add and delete) getstring setstring
//            getstring-kib setstring-kib
// Prints the nanoseconds per call it saw (the profiler's slowdown included).
#include <jni.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(JNIEnv*, jobject, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(JNIEnv*, jobject, jlong, jint);
jint Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(JNIEnv*, jobject, jlong, jint,
                                                               jstring);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetLong(JNIEnv*, jobject, jlong, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetLong(JNIEnv*, jobject, jlong, jint, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(JNIEnv*, jobject, jlong);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(JNIEnv*, jobject, jlong, jint);
jlong Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(JNIEnv*, jobject, jlong,
                                                                        jint, jint);
}

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "jxel_native_driver: %s\n", what);
    std::exit(1);
}

}  // namespace

// One native, count times. Not inlined, so a profiler can collect this alone
// (valgrind --toggle-collect=run_natives) and leave set-up and warm-up out.
__attribute__((noinline)) long run_natives(JNIEnv* env, jobject self, jlong handle, jstring value,
                                           const std::string& operation, long count) {
    long sum = 0;
    for (long i = 0; i < count; ++i) {
        if (operation == "getlong") {
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetLong(env, self, handle, 20);
        } else if (operation == "type") {
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(env, self, handle);
        } else if (operation == "addlist") {  // add, then delete what was added
            const jlong index = Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(
                env, self, handle, 40);
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(
                env, self, handle, 40, static_cast<jint>(index));
        } else if (operation == "setlong") {
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetLong(env, self, handle, 20,
                                                                           static_cast<jint>(i));
        } else if (operation.rfind("getstring", 0) == 0) {
            // Each call leaves a local reference in this frame; drop them as we go.
            env->PushLocalFrame(4);
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(env, self, handle, 10);
            env->PopLocalFrame(nullptr);
        } else if (operation.rfind("setstring", 0) == 0) {
            sum += Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(env, self, handle, 10,
                                                                             value);
        } else {
            std::fprintf(stderr, "jxel_native_driver: unknown operation\n");
            std::exit(1);
        }
    }
    return sum;
}

int main(int argc, char** argv) {
    if (argc != 5) fail("usage: jxel_native_driver CLASSPATH LIBDIR OPERATION COUNT");
    const std::string classPath = std::string("-Djava.class.path=") + argv[1];
    const std::string libraryPath = std::string("-Djava.library.path=") + argv[2];
    const std::string operation = argv[3];
    const long count = std::atol(argv[4]);

    JavaVMOption options[] = {{const_cast<char*>(classPath.c_str()), nullptr},
                              {const_cast<char*>(libraryPath.c_str()), nullptr},
                              {const_cast<char*>("-Xrs"), nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = 3;
    args.options = options;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) fail("no JVM");

    // The class loads the bridge library itself, as in any Java program.
    jclass clazz = env->FindClass("com/brel/vorlend/ib/api/jxel/JXelObject");
    if (clazz == nullptr) fail("JXelObject not on the class path");
    jmethodID init = env->GetMethodID(clazz, "<init>", "()V");
    jobject self = env->NewObject(clazz, init);
    if (self == nullptr) fail("cannot make a JXelObject");
    if (Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(env, self, 1) != 0) {
        fail("XelDataCreate failed");
    }
    const jlong handle = env->GetLongField(self, env->GetFieldID(clazz, "myXelReference", "J"));

    const bool kib =
        operation.size() > 4 && operation.compare(operation.size() - 4, 4, "-kib") == 0;
    std::string text = "Order 4711 shipped to Hamburg";
    if (kib) {
        std::string unit = text;
        while (text.size() < 1024) text += " " + unit;
        text.resize(1024);
    }
    jstring value = env->NewStringUTF(text.c_str());
    if (Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(env, self, handle, 10, value) !=
        0) {
        fail("XelSetString failed");
    }

    // Warm-up: first-use work (caches, tables) stays out of the measurement.
    long sum = run_natives(env, self, handle, value, operation, 1000);
    const auto start = std::chrono::steady_clock::now();
    sum += run_natives(env, self, handle, value, operation, count);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf(
        "%s: %.1f ns per call (%ld)\n", operation.c_str(),
        std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(count),
        sum);
    return 0;
}
