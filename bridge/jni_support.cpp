#include "jni_support.h"

#include <cstdint>
#include <cstring>

#include "java_fields.h"

namespace jxel {

namespace {

// HotSpot 17 hands over at most this many bytes of modified UTF-8, cut
// after a whole UTF-16 unit. A unit takes 1 to 3 bytes, so a cut text
// comes with at least kJvmUtfLimit - 2 bytes.
constexpr std::size_t kJvmUtfLimit = 2147483646;
constexpr std::size_t kLongestUnit = 3;

// Every byte but a continuation byte (10xxxxxx) starts a UTF-16 unit. The
// bytes are read eight at a time: this runs over gigabytes.
std::size_t utf16UnitsIn(const char* chars, std::size_t length) {
    constexpr std::uint64_t kTopBits = 0x8080808080808080;
    constexpr std::uint64_t kEveryByte = 0x0101010101010101;
    std::size_t continuations = 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, chars + i, 8);
        // Top bit set, next bit clear; then one bit per byte, summed.
        const std::uint64_t marks = (word & ~(word << 1) & kTopBits) >> 7;
        continuations += (marks * kEveryByte) >> 56;
    }
    for (; i < length; ++i) {
        continuations += (static_cast<unsigned char>(chars[i]) & 0xC0) == 0x80;
    }
    return length - continuations;
}

}  // namespace

bool cutShortByJvm(JNIEnv* env, jstring value, const char* chars, std::size_t length) {
    if (length + kLongestUnit <= kJvmUtfLimit) return false;
    const auto units = static_cast<std::size_t>(env->GetStringLength(value));
    // The whole text takes `units` to 3 x `units` bytes: only between the
    // two do the bytes need counting.
    if (length < units) return true;
    if (length >= kLongestUnit * units) return false;
    return utf16UnitsIn(chars, length) < units;
}

jfieldID instanceField(JNIEnv* env, jobject object, const char* name, const char* signature) {
    jclass clazz = env->GetObjectClass(object);
    if (clazz == nullptr) return nullptr;
    return env->GetFieldID(clazz, name, signature);
}

bool storeHandle(JNIEnv* env, jobject receiver, jlong handle) {
    jfieldID field = instanceField(env, receiver, kReferenceField, kReferenceSignature);
    if (field == nullptr) return false;
    env->SetLongField(receiver, field, handle);
    return true;
}

}  // namespace jxel
