// The two exported conversion functions, and the delivery of agent text into
// Java fields.
#include "text_delivery.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "jxel_convert.h"
#include "utf8.h"
#include "xelagtapi.h"

namespace jxel {
namespace {

constexpr std::int32_t kUtf8CodeSet = XELAGT_CODESET_UTF8;
constexpr char kComponentName[] = "Java API";

// Runs before every conversion: the agent is asked for its local code set
// each time, so nothing about it is cached. False when the agent has no
// locale record, which counts as a failed conversion.
bool prepareConversion(xelagt_status* status, std::int32_t* localCodeSet) {
    xelagt_prepare_status(status);
    xelagt_component_setup(0, kComponentName, 0);
    const xelagt_locale* locale = nullptr;
    xelagt_get_locale(&locale);
    if (locale == nullptr) return false;
    *localCodeSet = locale->codeset;
    return true;
}

// strerror_r comes in a GNU flavour (returns the text) and an XSI one
// (fills the buffer); these pick the text out of either.
[[maybe_unused]] const char* errorTextOf(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* errorTextOf(const char* text, const char*) { return text; }

void reportNewStringFailure(int error) {
    char buffer[256] = "";
#if defined(_WIN32)
    strerror_s(buffer, sizeof buffer, error);
    const char* message = buffer;
#else
    const char* message = errorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
#endif
    std::fprintf(stderr, "convertStringToUTF:NewStringUTF() failed %s\n", message);
}

// The JVM's own answer to exhausted memory. When FindClass fails, its own
// exception is pending instead.
void throwOutOfMemoryError(JNIEnv* env) {
    jclass type = env->FindClass("java/lang/OutOfMemoryError");
    if (type != nullptr) env->ThrowNew(type, "no memory for the modified UTF-8 of agent text");
}

}  // namespace

char* agentTextFromJava(const char* text, std::size_t length) {
    xelagt_status status;
    std::int32_t localCodeSet = 0;
    if (!prepareConversion(&status, &localCodeSet) || text == nullptr) return nullptr;

    // The agent reads standard UTF-8: surrogate pairs become 4-byte sequences in
    // a copy. Under UTF-8 the agent nearly always hands the text back as it is,
    // so the copy is made in the pass that checks the text, and is the result.
    char* joined =
        localCodeSet == kUtf8CodeSet ? static_cast<char*>(std::malloc(length + 1)) : nullptr;
    const JavaTextForm form = joined != nullptr ? standardFromJavaText(text, length, joined)
                                                : classifyJavaText(text, length);
    if (form == JavaTextForm::kSurrogatePairs && joined == nullptr) {
        joined = static_cast<char*>(std::malloc(length + 1));
        if (joined == nullptr) return nullptr;
        joinSurrogatePairs(text, length, joined);
    }
    if (form == JavaTextForm::kUnrepresentable) {
        std::free(joined);
        return nullptr;
    }
    const char* input = joined != nullptr ? joined : text;

    char* output = nullptr;
    const std::int32_t result =
        xelagt_convert_text(localCodeSet, kUtf8CodeSet, &output, input, &status);
    if (result != 0) {
        if (output != nullptr) xelagt_release_buffer(output);  // never leak a stray one
        std::free(joined);
        return nullptr;
    }
    if (output != nullptr) {
        std::free(joined);
        return output;
    }
    // No conversion was needed. The caller releases what it gets, so it
    // gets a copy, never its own argument.
    if (joined == nullptr && (joined = static_cast<char*>(std::malloc(length + 1))) != nullptr) {
        std::memcpy(joined, text, length + 1);
    }
    return joined;
}

jstring newJavaString(JNIEnv* env, const char* utf8, bool* newStringUtfFailed) {
    const std::size_t length = std::strlen(utf8);
    const std::size_t unchanged = modifiedUtf8Unchanged(utf8, length);
    char small[512];
    std::unique_ptr<char[]> large;
    const char* modified = utf8;  // the common case: no copy
    if (unchanged != length) {
        // Room for the worst case, so that the rest of the text is read once.
        const std::size_t room = unchanged + modifiedUtf8Room(length - unchanged);
        char* buffer = small;
        if (room > sizeof small) {
            large.reset(new (std::nothrow) char[room]);
            if (!large) {
                throwOutOfMemoryError(env);
                return nullptr;
            }
            buffer = large.get();
        }
        std::memcpy(buffer, utf8, unchanged);
        writeModifiedUtf8(utf8 + unchanged, length - unchanged, buffer + unchanged);
        modified = buffer;
    }
    jstring string = env->NewStringUTF(modified);
    if (string == nullptr && newStringUtfFailed != nullptr) *newStringUtfFailed = true;
    return string;
}

// convertStringToUTF, called from inside the library without going through its
// exported symbol.
jstring javaStringFromLocal(char* text, JNIEnv* env) {
    xelagt_status status;
    std::int32_t localCodeSet = 0;
    if (!prepareConversion(&status, &localCodeSet) || text == nullptr || env == nullptr) {
        return nullptr;
    }

    char* output = nullptr;
    const std::int32_t result =
        xelagt_convert_text(kUtf8CodeSet, localCodeSet, &output, text, &status);
    if (result != 0) {
        if (output != nullptr) xelagt_release_buffer(output);
        return nullptr;
    }

    bool newStringUtfFailed = false;
    jstring string = newJavaString(env, output != nullptr ? output : text, &newStringUtfFailed);
    if (newStringUtfFailed) {
        // NewStringUTF sets no errno. The one exception JNI lets it raise is
        // OutOfMemoryError, which says what happened.
        const int error = errno;
        reportNewStringFailure(env->ExceptionCheck() ? ENOMEM : error);
    }
    if (output != nullptr) xelagt_release_buffer(output);
    return string;
}

namespace {

// The converted text, or else the unconverted one, as a Java string. Null
// only when the string cannot be made; an exception is then pending.
jstring javaStringFromAgent(JNIEnv* env, const char* agentText) {
    jstring string = javaStringFromLocal(const_cast<char*>(agentText), env);
    if (string != nullptr || env->ExceptionCheck()) return string;
    return newJavaString(env, agentText);
}

}  // namespace

void deliverText(JNIEnv* env, jobject object, jfieldID field, const char* agentText) {
    jstring string = javaStringFromAgent(env, agentText);
    if (env->ExceptionCheck()) return;
    env->SetObjectField(object, field, string);
}

void deliverStaticText(JNIEnv* env, jclass clazz, jfieldID field, const char* agentText) {
    jstring string = javaStringFromAgent(env, agentText);
    if (env->ExceptionCheck()) return;
    env->SetStaticObjectField(clazz, field, string);
}

}  // namespace jxel

char* convertStringFromUTF(const char* text) {
    return jxel::agentTextFromJava(text, text != nullptr ? std::strlen(text) : 0);
}

jstring convertStringToUTF(char* text, JNIEnv* env) { return jxel::javaStringFromLocal(text, env); }
