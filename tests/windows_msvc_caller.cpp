// Native code built with Microsoft's compiler, as it links JXelAgtbase.dll: built
// here in the MSVC ABI by clang (--target=x86_64-pc-windows-msvc) and linked by
// lld-link against the bridge's import library, so the conversion functions come
// in under their MSVC names. There is no MSVC C runtime here, so the program uses
// none: it talks to KERNEL32 alone. It checks the bytes both functions give under
// Windows-1252 and exits with the number of failed checks.
#include "jxel_convert.h"
#include "xelagt_operations.h"

extern "C" {
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void* __stdcall GetModuleHandleW(const wchar_t* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int code);
}

namespace {

constexpr unsigned long kStdOutput = static_cast<unsigned long>(-11);
// xelagt_release_buffer: the agent exports its operations by ordinal only.
constexpr unsigned long kReleaseBufferOrdinal = XELAGT_OP_RELEASE_BUFFER;

constexpr char kGrusseUtf8[] = "Gr\xC3\xBC\xC3\x9F\x65";  // "Grüße"
constexpr char kGrusse1252[] = "Gr\xFC\xDF\x65";

unsigned g_failures = 0;

unsigned long lengthOf(const char* text) {
    unsigned long length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

void print(const char* text) {
    unsigned long written = 0;
    WriteFile(GetStdHandle(kStdOutput), text, lengthOf(text), &written, nullptr);
}

// "47 72 fc df 65" for the bytes of `text`, or "(null)".
void printBytes(const char* text) {
    if (text == nullptr) return print("(null)");
    static const char kDigits[] = "0123456789abcdef";
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        const char hex[] = {kDigits[byte >> 4], kDigits[byte & 15], c[1] != '\0' ? ' ' : '\0',
                            '\0'};
        print(hex);
    }
}

bool sameText(const char* actual, const char* expected) {
    if (actual == nullptr) return false;
    while (*actual != '\0' && *actual == *expected) ++actual, ++expected;
    return *actual == *expected;
}

void check(bool passed, const char* what, const char* bytes = nullptr) {
    print(passed ? "ok: " : "FAIL: ");
    print(what);
    if (bytes != nullptr || !passed) {
        print(": ");
        printBytes(bytes);
    }
    print("\n");
    if (!passed) ++g_failures;
}

// The one JNI function convertStringToUTF calls. It keeps a copy of what it was
// given: the bridge releases its converted text once the string is made.
char g_givenToJvm[64];
_jstring g_string;
jstring JNICALL newStringUtf(JNIEnv*, const char* utf8) {
    unsigned long i = 0;
    for (; utf8[i] != '\0' && i + 1 < sizeof g_givenToJvm; ++i) g_givenToJvm[i] = utf8[i];
    g_givenToJvm[i] = '\0';
    return &g_string;
}
// Static, so zero (no C runtime to clear it) but for the one function.
JNINativeInterface_ g_functions;
JNIEnv g_env;

void run() {
    void* bridge = GetModuleHandleW(L"JXelAgtbase.dll");
    void* agent = GetModuleHandleW(L"libxelagtapi.dll");
    check(bridge != nullptr && agent != nullptr, "both DLLs loaded as imports");
    if (bridge == nullptr || agent == nullptr) return;
    using Release = void (*)(void*);
    auto release = reinterpret_cast<Release>(
        GetProcAddress(agent, reinterpret_cast<const char*>(kReleaseBufferOrdinal)));
    check(release != nullptr, "xelagt_release_buffer found by its ordinal");
    if (release == nullptr) return;

    // One function under two names: the MSVC import is the GNU export.
    check(reinterpret_cast<void*>(&convertStringFromUTF) ==
              GetProcAddress(bridge, "_Z20convertStringFromUTFPKc"),
          "convertStringFromUTF: the MSVC name is bound to the GNU name's code");
    check(reinterpret_cast<void*>(&convertStringToUTF) ==
              GetProcAddress(bridge, "_Z18convertStringToUTFPcP7JNIEnv_"),
          "convertStringToUTF: the MSVC name is bound to the GNU name's code");

    char* local = convertStringFromUTF(kGrusseUtf8);
    check(sameText(local, kGrusse1252), "convertStringFromUTF(\"Gr\xC3\xBC\xC3\x9F\x65\")", local);
    if (local != nullptr) release(local);

    g_functions.NewStringUTF = newStringUtf;
    g_env.functions = &g_functions;
    char text[] = "Gr\xFC\xDF\x65";
    jstring string = convertStringToUTF(text, &g_env);
    check(string == &g_string, "convertStringToUTF returns the JVM's string");
    check(sameText(g_givenToJvm, kGrusseUtf8), "convertStringToUTF hands the JVM", g_givenToJvm);
}

}  // namespace

extern "C" void mainCRTStartup() {
    run();
    ExitProcess(g_failures);
}
