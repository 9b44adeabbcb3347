// Calls the natives of JXelObject and their baselines (baselines.cpp) straight from
// C++ with a real JVM, against the trivial agent under the UTF-8 code set, so that
// callgrind or a profiler sees the natives and nothing of Java around them:
//   jxel_native_driver CLASSPATH TRIVIAL_DIR [FILTER [CALLS]]
// CLASSPATH holds JXelObject and the bench's Baselines; TRIVIAL_DIR the bridge beside the
// trivial agent and the baselines. Each case whose "native text" name contains FILTER
// runs, on each side, a batch of N calls and then one of 2N (N = CALLS if given), each
// ending in a callgrind dump named "side|native|text|limit|calls"; bench/count.sh turns
// the dumps into instructions per call. Outside valgrind it prints ns per call.
#include <dlfcn.h>
#include <jni.h>
#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
void xelagt_bench_set_text(const char* text);
}

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "jxel_native_driver: %s\n", what.c_str());
    std::exit(1);
}

// Everything a call needs; fn is the native, of the type its kind of call expects.
struct Target {
    JNIEnv* env;
    jobject self;
    void* fn;
    jstring value;
};

constexpr jlong kHandle = 1;  // the trivial agent takes any handle
constexpr jint kText = 10;
constexpr jint kNumber = 20;
constexpr jint kReal = 30;
constexpr jint kList = 40;

// One way of calling per signature; bridge and baseline natives share each.
using Call = jlong (*)(const Target&, long i);

template <typename R, typename... A>
R invoke(const Target& t, A... args) {
    return reinterpret_cast<R (*)(JNIEnv*, jobject, A...)>(t.fn)(t.env, t.self, args...);
}
jlong byHandle(const Target& t, long) { return invoke<jlong>(t, kHandle); }
jlong getNumber(const Target& t, long) { return invoke<jlong>(t, kHandle, kNumber); }
jlong setNumber(const Target& t, long i) {
    return invoke<jlong>(t, kHandle, kNumber, static_cast<jint>(i));
}
jlong setReal(const Target& t, long i) {
    return invoke<jlong>(t, kHandle, kReal, static_cast<double>(i) * 0.5);
}
jlong onList(const Target& t, long) { return invoke<jlong>(t, kHandle, kList); }
jlong deleteElement(const Target& t, long i) {
    return invoke<jlong>(t, kHandle, kList, static_cast<jint>(i));
}
jlong create(const Target& t, long) { return invoke<jint>(t, jint{1}); }
jlong getText(const Target& t, long) { return invoke<jint>(t, kHandle, kText); }
jlong setText(const Target& t, long) { return invoke<jint>(t, kHandle, kText, t.value); }

struct Native {
    const char* bridge;    // after Java_com_brel_vorlend_ib_api_jxel_JXelObject_
    const char* baseline;  // after Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_
    Call call;
    bool text;
};

const Native kNatives[] = {
    {"XelDataType", "dataType", byHandle, false},
    {"XelGetLong", "getLong", getNumber, false},
    {"XelSetLong", "setLong", setNumber, false},
    {"XelSetDouble", "setDouble", setReal, false},
    {"XelGetListLength", "getListLength", onList, false},
    {"XelAddListElement", "addListElement", onList, false},
    {"XelDeleteListElement", "deleteListElement", deleteElement, false},
    {"XelDataCreate", "dataCreate", create, false},
    {"XelGetString", "getString", getText, true},
    {"XelSetString", "setString", setText, true},
};

// A text as Java holds it and as the agent holds it under UTF-8.
struct Text {
    std::string name;
    std::u16string java;
    std::string agent;
};

void append(Text& t, char32_t c) {
    if (c < 0x80) {
        t.agent += static_cast<char>(c);
    } else if (c < 0x800) {
        t.agent += static_cast<char>(0xC0 | c >> 6);
        t.agent += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        t.agent += static_cast<char>(0xE0 | c >> 12);
        t.agent += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        t.agent += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        t.agent += static_cast<char>(0xF0 | c >> 18);
        t.agent += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        t.agent += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        t.agent += static_cast<char>(0x80 | (c & 0x3F));
    }
    if (c < 0x10000) {
        t.java += static_cast<char16_t>(c);
    } else {
        t.java += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        t.java += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

// The unit repeated to exactly `bytes` bytes of UTF-8, whole characters, ASCII at the end
// where a character would not fit.
Text makeText(const std::string& name, std::u32string_view unit, std::size_t bytes) {
    Text t{name, {}, {}};
    for (std::size_t i = 0;; ++i) {
        const char32_t c = unit[i % unit.size()];
        const std::size_t size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (t.agent.size() + size > bytes) break;
        append(t, c);
    }
    while (t.agent.size() < bytes) append(t, U'.');
    return t;
}

std::vector<Text> texts() {
    // Every character of the Latin-1-range texts above U+007F: the most a short text of
    // names and places can hold.
    const std::u32string_view latin1 = U"àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþÿ";
    const std::u32string_view cjk = U"東京都港区六本木一丁目、大阪市北区梅田三丁目";
    std::u32string emoji;
    for (char32_t c = 0x1F600; c < 0x1F650; ++c) emoji += c;
    return {makeText("16 B ASCII", U"Order 4711 to HH", 16),
            makeText("63 B Latin-1-range", latin1, 63),
            makeText("63 B CJK", cjk, 63),
            makeText("1 KiB Latin-1-range", latin1, 1024),
            makeText("1 KiB CJK", cjk, 1024),
            makeText("64 KiB emoji", emoji, 65536)};
}

// The targets: the bridge's instructions over its baseline's.
double limitOf(const Text* text) {
    if (text == nullptr) return 1.05;
    return text->agent.size() < 64 || text->name.find("emoji") != std::string::npos ? 1.15 : 1.10;
}

// The natives reached through a pointer and this loop not inlined, so that a profile
// shows them apart; bench/count.sh collects inside the natives alone
// (--toggle-collect=Java_*). Returns how many calls failed (a text native's result not 0).
__attribute__((noinline)) long run_natives(const Target& target, Call call, bool text, long count) {
    long failed = 0;
    for (long i = 0; i < count; ++i) failed += call(target, i) != 0 && text;
    return failed;
}

// A batch in a local frame of its own: the getters' Strings are dropped after it.
void batch(const Target& target, const Native& native, const std::string& name, long count) {
    if (target.env->PushLocalFrame(static_cast<jint>(count + 16)) != 0) fail("no local frame");
    if (run_natives(target, native.call, native.text, count) != 0) fail(name + " failed");
    target.env->PopLocalFrame(nullptr);
}

void* symbol(const std::string& library, const std::string& name) {
    // The JVM has loaded the library already; this only finds it.
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) fail(library + " is not loaded");
    void* fn = dlsym(handle, name.c_str());
    if (fn == nullptr) fail("no " + name);
    return fn;
}

jobject instance(JNIEnv* env, const char* className) {
    jclass clazz = env->FindClass(className);  // loads its library, as in any Java program
    if (clazz == nullptr) fail(std::string(className) + " not on the class path");
    jobject object = env->NewObject(clazz, env->GetMethodID(clazz, "<init>", "()V"));
    if (object == nullptr) fail(std::string("cannot make a ") + className);
    return object;
}

std::u16string dataString(JNIEnv* env, jobject self) {
    jfieldID field =
        env->GetFieldID(env->GetObjectClass(self), "myXelDataString", "Ljava/lang/String;");
    auto string = static_cast<jstring>(env->GetObjectField(self, field));
    if (string == nullptr) return u"(null)";
    std::u16string chars(static_cast<std::size_t>(env->GetStringLength(string)), u'\0');
    env->GetStringRegion(string, 0, env->GetStringLength(string),
                         reinterpret_cast<jchar*>(chars.data()));
    return chars;
}

// The JVM, one object of each side's class, and where their natives are.
struct Driver {
    JNIEnv* env;
    jobject bridge;
    jobject baseline;
    std::string dir;
    void (*setAgentText)(const char*);
};

Driver startJvm(const std::string& classPath, const std::string& dir) {
    const std::string classOption = "-Djava.class.path=" + classPath;
    const std::string libraryOption = "-Djava.library.path=" + dir;
    // No compiler threads: nothing but the natives runs while they are counted, and both
    // sides see the same JVM.
    JavaVMOption options[] = {{const_cast<char*>(classOption.c_str()), nullptr},
                              {const_cast<char*>(libraryOption.c_str()), nullptr},
                              {const_cast<char*>("-Xint"), nullptr},
                              {const_cast<char*>("-XX:+UseSerialGC"), nullptr},
                              {const_cast<char*>("-Xms256m"), nullptr},
                              {const_cast<char*>("-Xrs"), nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = sizeof options / sizeof options[0];
    args.options = options;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) fail("no JVM");
    Driver driver{env, instance(env, "com/brel/vorlend/ib/api/jxel/JXelObject"),
                  instance(env, "com/brel/vorlend/ib/api/jxel/bench/Baselines"), dir, nullptr};
    driver.setAgentText = reinterpret_cast<void (*)(const char*)>(
        symbol(dir + "/libxelagtapi.so", "xelagt_bench_set_text"));
    return driver;
}

// One side of a case: warm-up, then N calls and 2N calls, each batch ending in a dump.
void runSide(const Target& target, const Native& native, const Text* text, bool bridge, long n) {
    std::string name = native.bridge;
    if (text != nullptr) name += " " + text->name;
    batch(target, native, name, 16);  // first-use work stays out
    if (native.call == getText && dataString(target.env, target.self) != text->java) {
        fail(name + ": another text delivered");
    }
    CALLGRIND_DUMP_STATS_AT("warm-up");  // as the batches start: after a dump
    for (long count : {n, 2 * n}) {
        const auto start = std::chrono::steady_clock::now();
        batch(target, native, name, count);
        const std::chrono::duration<double, std::nano> elapsed =
            std::chrono::steady_clock::now() - start;
        char dump[256];
        std::snprintf(dump, sizeof dump, "%s|%s|%s|%.2f|%ld", bridge ? "bridge" : "baseline",
                      native.bridge, text != nullptr ? text->name.c_str() : "", limitOf(text),
                      count);
        CALLGRIND_DUMP_STATS_AT(dump);
        if (!RUNNING_ON_VALGRIND) {
            std::printf("%s: %.1f ns per call\n", dump,
                        elapsed.count() / static_cast<double>(count));
        }
    }
}

void runCase(const Driver& driver, const Native& native, const Text* text, long n) {
    JNIEnv* env = driver.env;
    jstring value = nullptr;
    std::string javaForm;
    if (text != nullptr) {
        value = env->NewString(reinterpret_cast<const jchar*>(text->java.data()),
                               static_cast<jsize>(text->java.size()));
        const char* chars = env->GetStringUTFChars(value, nullptr);
        if (chars == nullptr) fail("no modified UTF-8");
        javaForm = chars;
        env->ReleaseStringUTFChars(value, chars);
    }
    // The baseline's getter hands the agent's text to NewStringUTF as it is, so it is given
    // the text in Java's form: both sides make the same String, and only the bridge has
    // anything to convert.
    if (text != nullptr) driver.setAgentText(text->agent.c_str());
    runSide({env, driver.bridge,
             symbol(driver.dir + "/libJXelAgtbase.so",
                    std::string("Java_com_brel_vorlend_ib_api_jxel_JXelObject_") + native.bridge),
             value},
            native, text, true, n);
    if (text != nullptr) driver.setAgentText(javaForm.c_str());
    runSide({env, driver.baseline,
             symbol(driver.dir + "/libjxelbenchbaselines.so",
                    std::string("Java_com_brel_vorlend_ib_api_jxel_bench_Baselines_") +
                        native.baseline),
             value},
            native, text, false, n);
    if (value != nullptr) env->DeleteLocalRef(value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        fail("usage: jxel_native_driver CLASSPATH TRIVIAL_DIR [FILTER [CALLS]]");
    }
    const std::string filter = argc > 3 ? argv[3] : "";
    const long calls = argc > 4 ? std::atol(argv[4]) : 0;
    const Driver driver = startJvm(argv[1], argv[2]);
    const std::vector<Text> allTexts = texts();
    int ran = 0;
    for (const Native& native : kNatives) {
        std::vector<const Text*> cases = {nullptr};
        if (native.text) {
            cases.clear();
            for (const Text& text : allTexts) cases.push_back(&text);
        }
        for (const Text* text : cases) {
            const std::string name = text != nullptr ? std::string(native.bridge) + " " + text->name
                                                     : std::string(native.bridge);
            if (name.find(filter) == std::string::npos) continue;
            ++ran;
            // Long texts take fewer calls: the counts are exact either way.
            const bool longText = text != nullptr && text->agent.size() > 4096;
            runCase(driver, native, text, calls > 0 ? calls : longText ? 32 : 512);
        }
    }
    if (ran == 0) fail("no case matches \"" + filter + "\"");
    return 0;
}
