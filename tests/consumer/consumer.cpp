// Converts text both ways through the installed library, in a JVM of its
// own, with ISO-8859-1 as the agent's local code set; and drives the stand-in's
// test control through the installed standin.h, as it names its operations.
#include <jni.h>
#include <jxel_convert.h>
#include <standin.h>
#include <xelagt_operations.h>
#include <xelagtapi.h>

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

}  // namespace

int main() {
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) {
        std::puts("FAILED: no JVM");
        return 1;
    }

    const char grusse[] =
        "Gr\xC3\xBC\xC3\x9F"
        "e";  // "Grüße" as UTF-8
    char* local = convertStringFromUTF(grusse);
    check(local != nullptr && std::strcmp(local,
                                          "Gr\xFC\xDF"
                                          "e") == 0,
          "convertStringFromUTF gives ISO-8859-1 bytes");

    jstring string = local != nullptr ? convertStringToUTF(local, env) : nullptr;
    xelagt_release_buffer(local);
    const char* back = string != nullptr ? env->GetStringUTFChars(string, nullptr) : nullptr;
    check(back != nullptr && std::strcmp(back, grusse) == 0,
          "convertStringToUTF gives the Java string back");
    if (back != nullptr) env->ReleaseStringUTFChars(string, back);

    check(convertStringFromUTF("\xE6\x97\xA5") == nullptr,
          "a character ISO-8859-1 lacks fails the conversion");

    xelagt_handle handle = 0;
    check(xelagt_test_codeset() == XELAGT_CODESET_ISO_8859_1 &&
              xelagt_test_fail_next(XELAGT_OP_CREATE_DATA_OBJECT, 1, XELAGT_ERR_INJECTED) == 0 &&
              xelagt_create_data_object(XELAGT_TYPE_MIN, &handle) == XELAGT_ERR_INJECTED,
          "standin.h's test control makes the next create fail");

    vm->DestroyJavaVM();
    std::printf("%d passed, %d failed\n", 4 - failures, failures);
    return failures == 0 ? 0 : 1;
}
