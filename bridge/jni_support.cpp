#include "jni_support.h"

#include <cstdint>
#include <cstring>

#include "java_fields.h"

namespace jxel {

namespace {

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

bool cutShortNearLimit(JNIEnv* env, jstring value, const char* chars, std::size_t length) {
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
