// The natives and the exported conversion functions on many threads at once,
// against the real stand-in agent and one shared fake JVM: what ThreadSanitizer
// needs to see every lock of the bridge and the agent in use. Every result is
// checked; at the end nothing may be left alive or unreleased.
//
// HARDENING_STEPS (environment) sets the steps per thread; valgrind runs fewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fake_jni.h"
#include "jxel_convert.h"
#include "natives.h"
#include "standin.h"
#include "threads.h"
#include "trace.h"

namespace jxel::test {
namespace {

constexpr int kThreads = 8;
constexpr int kSharedList = 1;
constexpr int kOwnList = 2;
constexpr int kTypeOfShared = 7;

int stepsPerThread() {
    const char* setting = std::getenv("HARDENING_STEPS");
    const int steps = setting != nullptr ? std::atoi(setting) : 0;
    return steps > 0 ? steps : 4000;
}

// Standard UTF-8 as Java's GetStringUTFChars gives it: 4-byte sequences as
// two 3-byte surrogates.
std::string toModified(const std::string& standard) {
    std::string out;
    for (std::size_t i = 0; i < standard.size();) {
        const auto b = static_cast<unsigned char>(standard[i]);
        if (b < 0xF0) {
            out += standard[i++];
            continue;
        }
        const auto c = [&](std::size_t k) {
            return static_cast<unsigned char>(standard[i + k]) & 0x3Fu;
        };
        const std::uint32_t code = ((b & 0x07u) << 18) | (c(1) << 12) | (c(2) << 6) | c(3);
        for (std::uint32_t unit :
             {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)}) {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
        i += 4;
    }
    return out;
}

struct Phase {
    const char* name;
    std::int32_t codeset;
    const char* text;     // standard UTF-8, representable in `codeset`
    bool switchCodesets;  // one more thread flips the local code set all along
};

void PrintTo(const Phase& phase, std::ostream* os) { *os << phase.name; }

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The fake JVM's objects are guarded by its mutex; the test reads them the same way.
class Jvm {
  public:
    Jvm() { jvm_.objectClass(); }
    JNIEnv* env() { return jvm_.env(); }
    jobject newObject() {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        return jvm_.newObject(jvm_.objectClass());
    }
    jstring newString(const std::string& standard) {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        return jvm_.newString(toModified(standard));
    }
    jlong handleOf(jobject object) {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        return jvm_.longField(object, "myXelReference");
    }
    void setHandle(jobject object, jlong handle) {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        jvm_.setLongField(object, "myXelReference", handle);
    }
    std::string textOf(jobject object) {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        const auto raw = jvm_.rawStringField(object, "myXelDataString");
        if (!raw) return "<null>";
        if (!isValidModifiedUtf8(*raw)) return "<invalid modified UTF-8>";
        return modifiedToStandard(*raw);
    }
    std::string versionText() {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        const auto& strings = jvm_.objectClass()->staticStrings;
        for (const auto& entry : strings) {
            if (entry.first->name == "ourVersion" && entry.second) {
                return modifiedToStandard(*entry.second);
            }
        }
        return "<unset>";
    }
    jclass objectClass() { return jvm_.asClass(jvm_.objectClass()); }
    std::string textOf(jstring string) {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        return modifiedToStandard(reinterpret_cast<FakeString*>(string)->modifiedUtf8);
    }
    std::vector<std::string> violations() {
        std::lock_guard<Mutex> lock(jvm_.mutex);
        return jvm_.violations();
    }

  private:
    FakeJvm jvm_;
};

class Worker {
  public:
    Worker(Jvm& jvm, int id, jlong shared, const Phase& phase, int steps)
        : jvm_(jvm),
          env_(jvm.env()),
          id_(id),
          shared_(shared),
          phase_(phase),
          steps_(steps),
          random_(0x5EEDu + static_cast<unsigned>(id)),
          me_(jvm.newObject()) {}

    void run() {
        while (step_ < steps_) {
            doStep(std::uniform_int_distribution<int>(0, 10)(random_));
            if (step_ % 64 == 0) trace().clear();  // the fake records every call
        }
        while (!own_.empty()) {
            free(own_.back());
            own_.pop_back();
        }
    }

    const std::map<jlong, std::string>& sharedAdds() const { return sharedAdds_; }

  private:
    void check(bool ok, const std::string& what) {
        if (!ok) {
            throw Failure("thread " + std::to_string(id_) + ", step " + std::to_string(step_) +
                          ": " + what);
        }
    }
    template <typename A, typename B>
    void checkEq(const A& actual, const B& expected, const std::string& what) {
        if (!(actual == expected)) {
            std::ostringstream s;
            s << what << ": got " << actual << ", expected " << expected;
            check(false, s.str());
        }
    }

    std::string textNo() {
        return std::to_string(id_) + ":" + std::to_string(step_) + " " + phase_.text;
    }

    jlong ownObject() {
        if (own_.empty()) create();
        return own_[std::uniform_int_distribution<std::size_t>(0, own_.size() - 1)(random_)];
    }

    void create() {
        const jint type = std::uniform_int_distribution<jint>(1, 99)(random_);
        jobject receiver = jvm_.newObject();
        checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(env_, receiver, type), 0,
                "create");
        const jlong handle = jvm_.handleOf(receiver);
        check(handle != 0, "create stored no handle");
        checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(env_, me_, handle),
                jlong{type}, "type");
        own_.push_back(handle);
    }

    void free(jlong handle) {
        jobject receiver = jvm_.newObject();
        jvm_.setHandle(receiver, handle);
        checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(env_, receiver, handle), 0,
                "free");
        checkEq(jvm_.handleOf(receiver), jlong{0}, "handle after free");
    }

    void setAndGetString(jlong handle, jint attribute) {
        const std::string value = textNo();
        checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString(
                    env_, me_, handle, attribute, jvm_.newString(value)),
                0, "set string");
        checkEq(
            Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(env_, me_, handle, attribute),
            0, "get string");
        checkEq(jvm_.textOf(me_), value, "string read back");
    }

    void doStep(int kind) {
        ++step_;
        switch (kind) {
            case 0:
                create();
                break;
            case 1: {  // free one of ours; a second free finds nothing and leaves the field
                if (own_.empty()) return;
                const jlong handle = own_.back();
                own_.pop_back();
                free(handle);
                jobject receiver = jvm_.newObject();
                jvm_.setHandle(receiver, handle);
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(env_, receiver,
                                                                                 handle),
                        jint{XELAGT_ERR_INVALID_HANDLE}, "double free");
                checkEq(jvm_.handleOf(receiver), handle, "handle after double free");
                break;
            }
            case 2:
                setAndGetString(ownObject(), 1);
                break;
            case 3: {  // integers on ours or the shared object, an attribute of this thread's
                const jlong handle = random_() % 2 == 0 ? ownObject() : shared_;
                const jint value = static_cast<jint>(random_());
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetLong(env_, me_, handle,
                                                                                100 + id_, value),
                        jlong{0}, "set integer");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetLong(env_, me_, handle,
                                                                                100 + id_),
                        jlong{value}, "get integer");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetDouble(
                            env_, me_, handle, 100 + id_, value / 3.0),
                        jlong{0}, "set double");
                break;
            }
            case 4:
                setAndGetString(shared_, 100 + id_);
                break;
            case 5: {  // grow the shared list; the index handed out is this thread's alone
                const jlong index = Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(
                    env_, me_, shared_, kSharedList);
                check(index >= 0, "shared add gave " + std::to_string(index));
                const std::string value = textNo();
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetListString(
                            env_, me_, shared_, kSharedList, jvm_.newString(value),
                            static_cast<jint>(index), 0),
                        0, "set shared element");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListString(
                            env_, me_, shared_, kSharedList, static_cast<jint>(index), 0),
                        0, "get shared element");
                checkEq(jvm_.textOf(me_), value, "shared element read back");
                sharedAdds_[index] = value;
                break;
            }
            case 6: {  // a list of ours: add, write, delete, delete past the end
                const jlong handle = ownObject();
                const jlong length = Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListLength(
                    env_, me_, handle, kOwnList);
                const jlong index = Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelAddListElement(
                    env_, me_, handle, kOwnList);
                checkEq(index, std::max<jlong>(length, 0), "own add");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetListString(
                            env_, me_, handle, kOwnList, jvm_.newString(textNo()),
                            static_cast<jint>(index), 3),
                        0, "set own element");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(
                            env_, me_, handle, kOwnList, 0),
                        index, "own delete");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDeleteListElement(
                            env_, me_, handle, kOwnList, static_cast<jint>(index) + 1),
                        jlong{XELAGT_ERR_NO_ELEMENT}, "delete past the end");
                break;
            }
            case 7: {  // error texts: one the agent has, one it has not
                const jint code = -static_cast<jint>(random_() % 11);
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(
                            env_, me_, code),
                        0, "error text");
                const std::string text = jvm_.textOf(me_);
                checkEq(text, std::string(xelagt_error_text(code)), "error text read back");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelException_XelGetErrorMessage(
                            env_, me_, code - 20),
                        -20, "no error text");
                checkEq(jvm_.textOf(me_), text, "field kept after no error text");
                break;
            }
            case 8: {  // copy one of ours: same text, own handle; then free the copy
                const jlong source = ownObject();
                setAndGetString(source, 5);
                const std::string expected = jvm_.textOf(me_);
                jobject copy = jvm_.newObject();
                checkEq(
                    Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCopy(env_, copy, source), 0,
                    "copy");
                const jlong handle = jvm_.handleOf(copy);
                check(handle != 0 && handle != source, "copy handle");
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString(env_, copy,
                                                                                  handle, 5),
                        0, "get string of copy");
                checkEq(jvm_.textOf(copy), expected, "text of copy");
                free(handle);
                break;
            }
            case 9: {  // version, and the type of the shared object
                checkEq(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelVersion(env_,
                                                                                jvm_.objectClass()),
                        0, "version");
                checkEq(jvm_.versionText(), std::string(XELAGT_STANDIN_VERSION_TEXT),
                        "version text");
                checkEq(
                    Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataType(env_, me_, shared_),
                    jlong{kTypeOfShared}, "shared type");
                break;
            }
            default: {  // the exported conversion functions, there and back
                const std::string value = textNo();
                const std::string modified = toModified(value);
                char* local = convertStringFromUTF(modified.c_str());
                check(local != nullptr, "convertStringFromUTF failed");
                jstring string = convertStringToUTF(local, env_);
                xelagt_release_buffer(local);
                check(string != nullptr, "convertStringToUTF failed");
                checkEq(jvm_.textOf(string), value, "conversion there and back");
                break;
            }
        }
    }

    Jvm& jvm_;
    JNIEnv* env_;
    const int id_;
    const jlong shared_;
    const Phase& phase_;
    const int steps_;
    int step_ = 0;
    std::mt19937 random_;
    jobject me_;
    std::vector<jlong> own_;
    std::map<jlong, std::string> sharedAdds_;
};

class HardeningConcurrencyTest : public ::testing::TestWithParam<Phase> {
  protected:
    void SetUp() override {
        xelagt_test_reset_failures();
        xelagt_test_free_all();
        buffersBefore_ = xelagt_test_live_buffers();
        ASSERT_EQ(xelagt_test_set_codeset(GetParam().codeset), 0);
    }
    void TearDown() override {
        xelagt_test_set_codeset(XELAGT_CODESET_UTF8);
        trace().clear();
    }
    std::int64_t buffersBefore_ = 0;
};

TEST_P(HardeningConcurrencyTest, ManyThreadsOnOwnAndSharedObjects) {
    const Phase& phase = GetParam();
    const int steps = stepsPerThread();
    Jvm jvm;
    JNIEnv* env = jvm.env();

    jobject sharedReceiver = jvm.newObject();
    ASSERT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate(env, sharedReceiver,
                                                                         kTypeOfShared),
              0);
    const jlong shared = jvm.handleOf(sharedReceiver);

    std::vector<std::unique_ptr<Worker>> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.push_back(std::make_unique<Worker>(jvm, t, shared, phase, steps));
    }
    std::vector<std::string> failures(kThreads);
    std::atomic<int> ready{0};
    std::atomic<bool> done{false};
    std::vector<Thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (++ready; ready < kThreads;) std::this_thread::yield();
            try {
                workers[t]->run();
            } catch (const std::exception& e) {
                failures[t] = e.what();
            }
        });
    }
    // ASCII letters and digits are the same bytes in every code set here, so
    // flipping the code set under the workers changes none of their results.
    Thread switcher;
    if (phase.switchCodesets) {
        switcher = Thread([&done] {
            const std::int32_t codesets[] = {XELAGT_CODESET_UTF8, XELAGT_CODESET_ISO_8859_1,
                                             XELAGT_CODESET_SHIFT_JIS, XELAGT_CODESET_WINDOWS_1252};
            for (unsigned i = 0; !done.load(); ++i) {
                xelagt_test_set_codeset(codesets[i % 4]);
                std::this_thread::yield();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    done = true;
    if (switcher.joinable()) switcher.join();
    xelagt_test_set_codeset(phase.codeset);

    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;

    // The shared list holds exactly what the threads added, each index once.
    std::map<jlong, std::string> added;
    for (const auto& worker : workers) {
        for (const auto& [index, text] : worker->sharedAdds()) {
            EXPECT_TRUE(added.emplace(index, text).second) << "index " << index << " twice";
        }
    }
    EXPECT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListLength(env, sharedReceiver,
                                                                            shared, kSharedList),
              static_cast<jlong>(added.size()));
    jlong expectedIndex = 0;
    for (const auto& [index, text] : added) {
        ASSERT_EQ(index, expectedIndex++) << "an index never handed out";
        ASSERT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetListString(
                      env, sharedReceiver, shared, kSharedList, static_cast<jint>(index), 0),
                  0);
        ASSERT_EQ(jvm.textOf(sharedReceiver), text) << "element " << index;
    }

    ASSERT_EQ(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree(env, sharedReceiver, shared),
              0);
    EXPECT_EQ(xelagt_test_live_objects(), 0);
    EXPECT_EQ(xelagt_test_live_buffers(), buffersBefore_);
    // Under UTF-8 the agent frees the bridge's copies: one C runtime for both (Windows).
    EXPECT_EQ(xelagt_test_foreign_buffers(), 0);
    EXPECT_EQ(jvm.violations(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Phases, HardeningConcurrencyTest,
    ::testing::Values(Phase{"Utf8", XELAGT_CODESET_UTF8,
                            "Gr\xC3\xBC\xC3\x9F"
                            "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
                            false},
                      Phase{"ShiftJis", XELAGT_CODESET_SHIFT_JIS,
                            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE8\xA1\xA8\xE7\xA4\xBA", false},
                      Phase{"Latin1", XELAGT_CODESET_ISO_8859_1,
                            "Gr\xC3\xBC\xC3\x9F"
                            "e \xC2\xA0\xC3\xBF",
                            false},
                      Phase{"SwitchingCodesets", XELAGT_CODESET_UTF8, "plain ASCII 0123", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jxel::test
