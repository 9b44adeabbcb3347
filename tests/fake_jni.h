// A small stand-in for the JVM: just the JNI functions the library uses,
// each recorded into the trace. It keeps Java objects, classes, fields and
// strings in plain C++ and watches the rules a JVM relies on: no call but
// the exception-safe ones while an exception is pending, and only valid
// modified UTF-8 handed to NewStringUTF.
#ifndef JXEL_TESTS_FAKE_JNI_H
#define JXEL_TESTS_FAKE_JNI_H

#include <jni.h>

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "threads.h"

namespace jxel::test {

struct FakeClass;

struct FakeField {
    std::string name;
    std::string signature;
    bool isStatic = false;
    FakeClass* owner = nullptr;
};

struct FakeClass {
    std::string name;
    std::deque<FakeField> fields;  // deque: stable addresses serve as field IDs
    std::map<const FakeField*, std::optional<std::string>> staticStrings;
    FakeField* find(const std::string& name, const std::string& signature, bool isStatic);
};

struct FakeString {
    std::string modifiedUtf8;
    // A text too large to copy: GetStringUTFChars hands out these bytes as
    // they are, and GetStringLength gives `utf16Length`.
    const char* outside = nullptr;
    jsize utf16Length = 0;
};

struct FakeObject {
    FakeClass* clazz = nullptr;
    std::map<const FakeField*, jlong> longs;
    // nullopt: the field holds null.
    std::map<const FakeField*, std::optional<std::string>> strings;
};

class FakeJvm {
  public:
    FakeJvm();
    FakeJvm(const FakeJvm&) = delete;
    FakeJvm& operator=(const FakeJvm&) = delete;

    JNIEnv* env() { return &env_; }

    FakeClass* defineClass(const std::string& name, const std::vector<FakeField>& fields);
    // A JXelObject-like class: myXelReference, myXelDataString, static ourVersion.
    FakeClass* objectClass();
    jobject newObject(FakeClass* clazz);
    jclass asClass(FakeClass* clazz) { return reinterpret_cast<jclass>(clazz); }
    jstring newString(const std::string& modifiedUtf8);
    // A string whose modified UTF-8 GetStringUTFChars gives as `chars`
    // (owned by the caller), of `utf16Length` UTF-16 units.
    jstring newOutsideString(const char* chars, jsize utf16Length);

    jlong longField(jobject object, const std::string& name);
    void setLongField(jobject object, const std::string& name, jlong value);
    // The text of a String field as UTF-16 decoded from what was stored,
    // re-encoded as standard UTF-8 for easy comparison; nullopt for null.
    std::optional<std::string> stringField(jobject object, const std::string& name);
    std::optional<std::string> staticStringField(FakeClass* clazz, const std::string& name);
    // The raw modified UTF-8 of a stored string (nullopt for null).
    std::optional<std::string> rawStringField(jobject object, const std::string& name);

    // Failures to script. NewStringUTF fails as HotSpot does when the Java
    // heap is full, OutOfMemoryError pending; GetStringUTFChars as it does
    // when the C heap is, with nothing pending, unless an exception is named.
    int failNewStringUtf = 0;       // the next n calls return null
    int failGetStringUtfChars = 0;  // likewise
    std::string getStringUtfCharsException;

    // What went wrong on the JVM's side: calls with an exception pending,
    // invalid text given to NewStringUTF, characters never released.
    std::vector<std::string> violations();
    std::optional<std::string> pendingException() const { return pending_; }
    void clearException() { pending_.reset(); }
    int unreleasedChars() const { return unreleasedChars_; }

    // Used by the JNI functions.
    void call(const std::string& entry, bool exceptionSafe = false);
    void raise(const std::string& exceptionClass) { pending_ = exceptionClass; }
    FakeObject* object(jobject handle) { return reinterpret_cast<FakeObject*>(handle); }
    Mutex mutex;
    std::deque<FakeString> strings;
    std::vector<std::string> violations_;
    int unreleasedChars_ = 0;

  private:
    JNINativeInterface_ functions_{};
    JNIEnv env_{};
    std::deque<FakeClass> classes_;
    std::deque<FakeObject> objects_;
    std::optional<std::string> pending_;
    FakeClass* objectClass_ = nullptr;
};

FakeJvm& jvmOf(JNIEnv* env);

// Decodes modified UTF-8 as the JVM does and re-encodes it as standard UTF-8.
std::string modifiedToStandard(const std::string& modified);
bool isValidModifiedUtf8(const std::string& text);

}  // namespace jxel::test

#endif  // JXEL_TESTS_FAKE_JNI_H
