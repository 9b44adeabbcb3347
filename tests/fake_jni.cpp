#include "fake_jni.h"

#include <cstdlib>
#include <cstring>

#include "text_encoding.h"
#include "trace.h"

namespace jxel::test {

Trace& trace() {
    static Trace instance;
    return instance;
}

FakeField* FakeClass::find(const std::string& fieldName, const std::string& signature,
                           bool isStatic) {
    for (FakeField& field : fields) {
        if (field.name == fieldName && field.signature == signature && field.isStatic == isStatic) {
            return &field;
        }
    }
    return nullptr;
}

FakeJvm& jvmOf(JNIEnv* env) { return *static_cast<FakeJvm*>(env->functions->reserved0); }

namespace {

std::string quoted(const char* text) {
    return text == nullptr ? "<null>" : '"' + std::string(text) + '"';
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject object) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("GetObjectClass");
    return reinterpret_cast<jclass>(jvm.object(object)->clazz);
}

jfieldID lookUp(JNIEnv* env, jclass clazz, const char* name, const char* signature, bool isStatic) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call(std::string(isStatic ? "GetStaticFieldID " : "GetFieldID ") + name + " " + signature);
    FakeField* field = reinterpret_cast<FakeClass*>(clazz)->find(name, signature, isStatic);
    if (field == nullptr) jvm.raise("java/lang/NoSuchFieldError");
    return reinterpret_cast<jfieldID>(field);
}

jfieldID JNICALL getFieldId(JNIEnv* env, jclass clazz, const char* name, const char* signature) {
    return lookUp(env, clazz, name, signature, false);
}

jfieldID JNICALL getStaticFieldId(JNIEnv* env, jclass clazz, const char* name,
                                  const char* signature) {
    return lookUp(env, clazz, name, signature, true);
}

const FakeField* fieldOf(jfieldID id) { return reinterpret_cast<const FakeField*>(id); }

std::optional<std::string> textOf(jobject value) {
    if (value == nullptr) return std::nullopt;
    return reinterpret_cast<FakeString*>(value)->modifiedUtf8;
}

void JNICALL setObjectField(JNIEnv* env, jobject object, jfieldID id, jobject value) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("SetObjectField " + fieldOf(id)->name);
    jvm.object(object)->strings[fieldOf(id)] = textOf(value);
}

void JNICALL setStaticObjectField(JNIEnv* env, jclass clazz, jfieldID id, jobject value) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("SetStaticObjectField " + fieldOf(id)->name);
    reinterpret_cast<FakeClass*>(clazz)->staticStrings[fieldOf(id)] = textOf(value);
}

void JNICALL setLongFieldJni(JNIEnv* env, jobject object, jfieldID id, jlong value) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("SetLongField " + fieldOf(id)->name + " " + std::to_string(value));
    jvm.object(object)->longs[fieldOf(id)] = value;
}

jstring JNICALL newStringUtf(JNIEnv* env, const char* utf) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("NewStringUTF " + quoted(utf));
    if (utf != nullptr && !isValidModifiedUtf8(utf)) {
        jvm.violations_.push_back("NewStringUTF given invalid modified UTF-8: " + quoted(utf));
    }
    if (jvm.failNewStringUtf > 0) {
        --jvm.failNewStringUtf;
        jvm.raise("java/lang/OutOfMemoryError");
        return nullptr;
    }
    if (utf == nullptr) return nullptr;
    jvm.strings.push_back(FakeString{utf});
    return reinterpret_cast<jstring>(&jvm.strings.back());
}

const char* JNICALL getStringUtfChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("GetStringUTFChars");
    if (jvm.failGetStringUtfChars > 0) {
        --jvm.failGetStringUtfChars;
        if (!jvm.getStringUtfCharsException.empty()) jvm.raise(jvm.getStringUtfCharsException);
        return nullptr;
    }
    ++jvm.unreleasedChars_;
    const FakeString* fake = reinterpret_cast<FakeString*>(string);
    if (isCopy != nullptr) *isCopy = fake->outside != nullptr ? JNI_FALSE : JNI_TRUE;
    if (fake->outside != nullptr) return fake->outside;
    return strdup(fake->modifiedUtf8.c_str());
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("GetStringLength");
    const FakeString* fake = reinterpret_cast<FakeString*>(string);
    if (fake->outside != nullptr) return fake->utf16Length;
    jsize units = 0;  // every byte but a continuation byte starts a UTF-16 unit
    for (char byte : fake->modifiedUtf8) units += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return units;
}

void JNICALL releaseStringUtfChars(JNIEnv* env, jstring string, const char* chars) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call("ReleaseStringUTFChars", /*exceptionSafe=*/true);
    --jvm.unreleasedChars_;
    if (chars != reinterpret_cast<FakeString*>(string)->outside)
        std::free(const_cast<char*>(chars));
}

jboolean JNICALL exceptionCheck(JNIEnv* env) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    return jvm.pendingException() ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    jvm.call(std::string("FindClass ") + name);
    return reinterpret_cast<jclass>(jvm.defineClass(name, {}));
}

jint JNICALL throwNew(JNIEnv* env, jclass clazz, const char* message) {
    FakeJvm& jvm = jvmOf(env);
    std::lock_guard<Mutex> lock(jvm.mutex);
    const std::string name = reinterpret_cast<FakeClass*>(clazz)->name;
    jvm.call("ThrowNew " + name + " " + quoted(message));
    jvm.raise(name);
    return 0;
}

}  // namespace

FakeJvm::FakeJvm() {
    functions_.reserved0 = this;
    functions_.GetObjectClass = getObjectClass;
    functions_.GetFieldID = getFieldId;
    functions_.GetStaticFieldID = getStaticFieldId;
    functions_.SetObjectField = setObjectField;
    functions_.SetStaticObjectField = setStaticObjectField;
    functions_.SetLongField = setLongFieldJni;
    functions_.NewStringUTF = newStringUtf;
    functions_.GetStringUTFChars = getStringUtfChars;
    functions_.ReleaseStringUTFChars = releaseStringUtfChars;
    functions_.GetStringLength = getStringLength;
    functions_.ExceptionCheck = exceptionCheck;
    functions_.FindClass = findClass;
    functions_.ThrowNew = throwNew;
    env_.functions = &functions_;
}

void FakeJvm::call(const std::string& entry, bool exceptionSafe) {
    if (pending_ && !exceptionSafe) {
        violations_.push_back(entry + " with " + *pending_ + " pending");
    }
    trace().add(entry);
}

FakeClass* FakeJvm::defineClass(const std::string& name, const std::vector<FakeField>& fields) {
    classes_.push_back(FakeClass{name, {}, {}});
    FakeClass* clazz = &classes_.back();
    for (FakeField field : fields) {
        field.owner = clazz;
        clazz->fields.push_back(field);
    }
    return clazz;
}

FakeClass* FakeJvm::objectClass() {
    if (objectClass_ == nullptr) {
        objectClass_ =
            defineClass("JXelObject", {{"myXelReference", "J", false, nullptr},
                                       {"myXelDataString", "Ljava/lang/String;", false, nullptr},
                                       {"ourVersion", "Ljava/lang/String;", true, nullptr}});
    }
    return objectClass_;
}

jobject FakeJvm::newObject(FakeClass* clazz) {
    objects_.push_back(FakeObject{clazz, {}, {}});
    return reinterpret_cast<jobject>(&objects_.back());
}

jstring FakeJvm::newString(const std::string& modifiedUtf8) {
    strings.push_back(FakeString{modifiedUtf8});
    return reinterpret_cast<jstring>(&strings.back());
}

jstring FakeJvm::newOutsideString(const char* chars, jsize utf16Length) {
    strings.push_back(FakeString{{}, chars, utf16Length});
    return reinterpret_cast<jstring>(&strings.back());
}

jlong FakeJvm::longField(jobject handle, const std::string& name) {
    FakeObject* o = object(handle);
    return o->longs[o->clazz->find(name, "J", false)];
}

void FakeJvm::setLongField(jobject handle, const std::string& name, jlong value) {
    FakeObject* o = object(handle);
    o->longs[o->clazz->find(name, "J", false)] = value;
}

std::optional<std::string> FakeJvm::rawStringField(jobject handle, const std::string& name) {
    FakeObject* o = object(handle);
    return o->strings[o->clazz->find(name, "Ljava/lang/String;", false)];
}

std::optional<std::string> FakeJvm::stringField(jobject handle, const std::string& name) {
    auto raw = rawStringField(handle, name);
    if (!raw) return std::nullopt;
    return modifiedToStandard(*raw);
}

std::optional<std::string> FakeJvm::staticStringField(FakeClass* clazz, const std::string& name) {
    auto raw = clazz->staticStrings[clazz->find(name, "Ljava/lang/String;", true)];
    if (!raw) return std::nullopt;
    return modifiedToStandard(*raw);
}

std::vector<std::string> FakeJvm::violations() {
    std::vector<std::string> found = violations_;
    if (unreleasedChars_ != 0) {
        found.push_back(std::to_string(unreleasedChars_) + " GetStringUTFChars not released");
    }
    return found;
}

namespace {

// Decodes one modified UTF-8 unit (1 to 3 bytes) at i; false when invalid.
bool decodeUnit(const std::string& s, std::size_t& i, std::uint32_t& unit) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    if (lead == 0) return false;
    if (lead < 0x80) {
        unit = lead;
        i += 1;
        return true;
    }
    if ((lead & 0xE0) == 0xC0 && i + 1 < s.size() && (b(i + 1) & 0xC0) == 0x80) {
        unit = ((lead & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
        if (unit < 0x80 && unit != 0) return false;  // overlong, except C0 80 for U+0000
        i += 2;
        return true;
    }
    if ((lead & 0xF0) == 0xE0 && i + 2 < s.size() && (b(i + 1) & 0xC0) == 0x80 &&
        (b(i + 2) & 0xC0) == 0x80) {
        unit = ((lead & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
        if (unit < 0x800) return false;
        i += 3;
        return true;
    }
    return false;
}

}  // namespace

bool isValidModifiedUtf8(const std::string& text) {
    std::size_t i = 0;
    std::uint32_t unit = 0;
    while (i < text.size()) {
        if (!decodeUnit(text, i, unit)) return false;
    }
    return true;
}

std::string modifiedToStandard(const std::string& modified) {
    std::vector<std::uint32_t> units;
    std::size_t i = 0;
    std::uint32_t unit = 0;
    while (i < modified.size()) {
        if (!decodeUnit(modified, i, unit)) return "<invalid modified UTF-8>";
        units.push_back(unit);
    }
    std::string out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const std::uint32_t u = units[k];
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
            units[k + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[k + 1] - 0xDC00));
            ++k;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace jxel::test
