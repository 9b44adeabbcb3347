// JXelAgtbase.dll as the JVM uses it on Windows: loaded at run time, its
// natives and conversion functions found by name, calling the real stand-in
// libxelagtapi.dll through the ordinals it imports. Text goes through a code
// page that is not UTF-8, so a mix-up of code sets shows.
//
// With JXEL_TEST_AGENT_RUNTIME=other the program loads the pair in ..\other-crt
// instead: a copy of the bridge and the stand-in built for the other C runtime.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fake_jni.h"
#include "natives.h"
#include "standin.h"
#include "threads.h"
#include "windows_load_test_tables.h"
#include "xelagt_operations.h"

namespace jxel::test {
namespace {

const char* const kBridgeExports[] = {JXEL_BRIDGE_EXPORTS};
struct Ordinal {
    const char* name;
    WORD ordinal;
};
#define JXEL_ORDINAL(ordinal, name, constant, kind) {#name, ordinal},
const Ordinal kAgentOrdinals[] = {XELAGT_OPERATIONS(JXEL_ORDINAL)};
#undef JXEL_ORDINAL

constexpr char kGrusseUtf8[] = "Gr\xC3\xBC\xC3\x9F\x65";  // "Grüße"
constexpr char kGrusse1252[] = "Gr\xFC\xDF\x65";
constexpr char kNihongoUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // "日本語"
constexpr char kNihongo932[] = "\x93\xFA\x96\x7B\x8C\xEA";

template <typename Function>
Function as(FARPROC address) {
    // void (*)() converts to any function pointer type without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

std::string lastError() { return "GetLastError " + std::to_string(GetLastError()); }

// Whether the agent beside the bridge is on the other C runtime than the build's.
bool otherRuntime() {
    const char* setting = std::getenv("JXEL_TEST_AGENT_RUNTIME");
    return setting != nullptr && std::strcmp(setting, "other") == 0;
}

// The bridge of the mismatched pair, found from this program's folder (bin\).
std::wstring otherRuntimeBridge() {
    wchar_t program[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::wstring folder(program, std::wcsrchr(program, L'\\'));
    return folder + L"\\..\\other-crt\\JXelAgtbase.dll";
}

// The bridge and the agent it brought in, loaded once for the process.
struct Loaded {
    HMODULE bridge = nullptr;
    HMODULE agent = nullptr;
    std::string failure;
    int32_t codesetAtLoad = 0;  // before any test changes it
};

const Loaded& loaded() {
    static const Loaded instance = [] {
        Loaded l;
        // The agent then comes from the bridge's folder before this program's.
        l.bridge = otherRuntime() ? LoadLibraryExW(otherRuntimeBridge().c_str(), nullptr,
                                                   LOAD_WITH_ALTERED_SEARCH_PATH)
                                  : LoadLibraryW(L"JXelAgtbase.dll");
        if (l.bridge == nullptr) {
            l.failure = "LoadLibrary(JXelAgtbase.dll): " + lastError();
            return l;
        }
        // Already loaded as the bridge's import: no second load, no search.
        l.agent = GetModuleHandleW(L"libxelagtapi.dll");
        if (l.agent == nullptr) {
            l.failure = "libxelagtapi.dll not loaded with the bridge";
            return l;
        }
        auto codeset =
            as<decltype(&xelagt_test_codeset)>(GetProcAddress(l.agent, "xelagt_test_codeset"));
        if (codeset != nullptr) l.codesetAtLoad = codeset();
        return l;
    }();
    return instance;
}

template <typename Function>
Function bridgeFunction(const char* name) {
    return as<Function>(GetProcAddress(loaded().bridge, name));
}

template <typename Function>
Function agentFunction(const char* name) {
    return as<Function>(GetProcAddress(loaded().agent, name));
}

// An agent operation, by its ordinal only as the bridge takes it.
template <typename Function>
Function agentOperation(WORD ordinal) {
    return as<Function>(GetProcAddress(loaded().agent, MAKEINTRESOURCEA(ordinal)));
}

#define BRIDGE(native) bridgeFunction<decltype(&native)>(#native)

// ---- The DLLs as the loader sees them ----

TEST(WindowsLoad, BridgeLoadsAndBringsTheAgent) {
    ASSERT_EQ(loaded().failure, "");
    wchar_t bridgePath[MAX_PATH] = L"", agentPath[MAX_PATH] = L"";
    ASSERT_NE(GetModuleFileNameW(loaded().bridge, bridgePath, MAX_PATH), 0u);
    ASSERT_NE(GetModuleFileNameW(loaded().agent, agentPath, MAX_PATH), 0u);
    const std::wstring bridgeDir(bridgePath, std::wcsrchr(bridgePath, L'\\'));
    const std::wstring agentDir(agentPath, std::wcsrchr(agentPath, L'\\'));
    EXPECT_TRUE(bridgeDir == agentDir) << "the stand-in beside the bridge was taken";
}

TEST(WindowsLoad, EveryExportResolvesByItsPlainName) {
    ASSERT_EQ(loaded().failure, "");
    for (const char* name : kBridgeExports) {
        EXPECT_NE(GetProcAddress(loaded().bridge, name), nullptr) << name << ": " << lastError();
    }
    // No __stdcall decoration on x64: the JVM looks the plain name up.
    EXPECT_EQ(GetProcAddress(loaded().bridge,
                             "_Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelVersion@8"),
              nullptr);
    // The bridge's own agent calls go by ordinal; it re-exports none of them.
    EXPECT_EQ(GetProcAddress(loaded().bridge, "xelagt_release_buffer"), nullptr);
}

TEST(WindowsLoad, AgentOperationsHaveOrdinalsButNoNames) {
    ASSERT_EQ(loaded().failure, "");
    ASSERT_EQ(std::size(kAgentOrdinals), 21u);
    for (const Ordinal& operation : kAgentOrdinals) {
        EXPECT_NE(GetProcAddress(loaded().agent, MAKEINTRESOURCEA(operation.ordinal)), nullptr)
            << operation.name << " @" << operation.ordinal;
        EXPECT_EQ(GetProcAddress(loaded().agent, operation.name), nullptr) << operation.name;
    }
    EXPECT_NE(GetProcAddress(loaded().agent, "xelagt_test_set_codeset"), nullptr)
        << "test control is exported by name";
}

// ---- Text through a code page ----

class WindowsCodePage : public ::testing::Test {
  protected:
    static constexpr jint kAttribute = 7;

    void SetUp() override {
        ASSERT_EQ(loaded().failure, "");
        setCodeset = agentFunction<decltype(&xelagt_test_set_codeset)>("xelagt_test_set_codeset");
        liveBuffers =
            agentFunction<decltype(&xelagt_test_live_buffers)>("xelagt_test_live_buffers");
        liveObjects =
            agentFunction<decltype(&xelagt_test_live_objects)>("xelagt_test_live_objects");
        ASSERT_NE(setCodeset, nullptr);
        ASSERT_NE(liveBuffers, nullptr);
        ASSERT_NE(liveObjects, nullptr);
        getStringAttribute =
            agentOperation<decltype(&xelagt_get_string_attribute)>(XELAGT_OP_GET_STRING_ATTRIBUTE);
        releaseBuffer = agentOperation<decltype(&xelagt_release_buffer)>(XELAGT_OP_RELEASE_BUFFER);
        ASSERT_NE(getStringAttribute, nullptr);
        ASSERT_NE(releaseBuffer, nullptr);
        ASSERT_EQ(setCodeset(XELAGT_CODESET_WINDOWS_1252), XELAGT_OK);

        self = jvm.newObject(jvm.objectClass());
        auto create = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate);
        ASSERT_NE(create, nullptr);
        ASSERT_EQ(create(env, self, 1), XELAGT_OK);
        handle = jvm.longField(self, "myXelReference");
        ASSERT_NE(handle, 0);
    }

    void TearDown() override {
        if (handle != 0) {
            auto dataFree = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree);
            EXPECT_EQ(dataFree(env, self, handle), XELAGT_OK);
        }
        if (liveObjects != nullptr) {
            EXPECT_EQ(liveObjects(), 0);
        }
        if (liveBuffers != nullptr) {
            EXPECT_EQ(liveBuffers(), 0) << "converted texts not released";
        }
        EXPECT_EQ(jvm.violations(), std::vector<std::string>{});
        if (setCodeset != nullptr) setCodeset(loaded().codesetAtLoad);
    }

    jint setString(const std::string& modifiedUtf8) {
        auto set = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString);
        return set(env, self, handle, kAttribute, jvm.newString(modifiedUtf8));
    }

    // What the agent holds, in its code set.
    std::string agentText() {
        const char* text = getStringAttribute(handle, kAttribute);
        return text != nullptr ? text : "<null>";
    }

    // What XelGetString delivers to Java, as standard UTF-8.
    std::string javaText() {
        auto get = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString);
        EXPECT_EQ(get(env, self, handle, kAttribute), 0);
        return jvm.stringField(self, "myXelDataString").value_or("<null>");
    }

    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    jobject self = nullptr;
    jlong handle = 0;
    decltype(&xelagt_test_set_codeset) setCodeset = nullptr;
    decltype(&xelagt_test_live_buffers) liveBuffers = nullptr;
    decltype(&xelagt_test_live_objects) liveObjects = nullptr;
    decltype(&xelagt_get_string_attribute) getStringAttribute = nullptr;
    decltype(&xelagt_release_buffer) releaseBuffer = nullptr;
};

TEST_F(WindowsCodePage, NonAsciiTextRoundTripsThroughCodePage1252) {
    EXPECT_EQ(setString(kGrusseUtf8), XELAGT_OK);
    EXPECT_EQ(agentText(), kGrusse1252) << "the agent holds the text in its code page";
    EXPECT_EQ(javaText(), kGrusseUtf8);
    // Where 1252 differs from ISO-8859-1: the euro sign and the en dash.
    EXPECT_EQ(setString("1 \xE2\x82\xAC \xE2\x80\x93 2"), XELAGT_OK);
    EXPECT_EQ(agentText(), "1 \x80 \x96 2");
    EXPECT_EQ(javaText(), "1 \xE2\x82\xAC \xE2\x80\x93 2");
    EXPECT_FALSE(jvm.pendingException().has_value());
}

TEST_F(WindowsCodePage, TextTheCodePageLacksFailsCleanly) {
    ASSERT_EQ(setString(kGrusseUtf8), XELAGT_OK);
    // The conversion fails, so the agent gets no text and says so; it keeps the old one.
    EXPECT_EQ(setString(kNihongoUtf8), XELAGT_ERR_NULL_TEXT);
    EXPECT_EQ(agentText(), kGrusse1252);
    EXPECT_FALSE(jvm.pendingException().has_value());
    EXPECT_EQ(jvm.unreleasedChars(), 0);
}

TEST_F(WindowsCodePage, JapaneseRoundTripsThroughCodePage932) {
    ASSERT_EQ(setCodeset(XELAGT_CODESET_SHIFT_JIS), XELAGT_OK);
    EXPECT_EQ(setString(kNihongoUtf8), XELAGT_OK);
    EXPECT_EQ(agentText(), kNihongo932);
    EXPECT_EQ(javaText(), kNihongoUtf8);
}

TEST_F(WindowsCodePage, ConversionFunctionsByTheirCxxNames) {
    // Mangled as mingw (Itanium ABI) does; the header's declarations give the types.
    using FromUtf = char* (*)(const char*);
    using ToUtf = jstring (*)(char*, JNIEnv*);
    auto fromUtf = bridgeFunction<FromUtf>("_Z20convertStringFromUTFPKc");
    auto toUtf = bridgeFunction<ToUtf>("_Z18convertStringToUTFPcP7JNIEnv_");
    ASSERT_NE(fromUtf, nullptr);
    ASSERT_NE(toUtf, nullptr);

    char* local = fromUtf(kGrusseUtf8);
    ASSERT_NE(local, nullptr);
    EXPECT_STREQ(local, kGrusse1252);
    releaseBuffer(local);

    EXPECT_EQ(fromUtf(kNihongoUtf8), nullptr);

    char text[] = "Gr\xFC\xDF\x65";
    jstring string = toUtf(text, env);
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(reinterpret_cast<FakeString*>(string)->modifiedUtf8, kGrusseUtf8);
}

// With nothing to convert the bridge hands out malloc'd copies (of
// convertStringFromUTF and of the setters), which the agent frees in its C
// runtime: both DLLs use the one runtime (windows_binaries checks the imports,
// the stand-in that each block is of its runtime's heap). Beside the agent of
// the other runtime (JXEL_TEST_AGENT_RUNTIME=other) every block is foreign.
TEST_F(WindowsCodePage, UnconvertedTextIsACopyTheAgentFrees) {
    ASSERT_EQ(setCodeset(XELAGT_CODESET_UTF8), XELAGT_OK);
    auto fromUtf = bridgeFunction<char* (*)(const char*)>("_Z20convertStringFromUTFPKc");
    auto foreignBuffers =
        agentFunction<decltype(&xelagt_test_foreign_buffers)>("xelagt_test_foreign_buffers");
    ASSERT_NE(fromUtf, nullptr);
    ASSERT_NE(foreignBuffers, nullptr);
    const int64_t before = foreignBuffers();
    // Small blocks, and large ones that a heap keeps apart from the others.
    const std::string texts[] = {kGrusseUtf8, kNihongoUtf8, std::string(100000, 'x'),
                                 std::string(3 << 20, 'y')};
    for (const std::string& text : texts) {
        char* copy = fromUtf(text.c_str());
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, text.c_str()) << "never the argument itself";
        EXPECT_EQ(copy, text);
        releaseBuffer(copy);
    }
    EXPECT_EQ(setString(kGrusseUtf8), XELAGT_OK);

    const long long blocks = static_cast<long long>(std::size(texts)) + 1;
    const long long foreign = foreignBuffers() - before;
    std::printf("blocks the agent did not allocate: %lld of %lld\n", foreign, blocks);
    EXPECT_EQ(foreign, otherRuntime() ? blocks : 0);
}

// ---- Threads ----

std::atomic<int> g_wrongTexts{0};

// Sets a string attribute and reads it back through the natives: the agent hands
// the text out from a buffer of the calling thread.
DWORD WINAPI takeAgentTexts(void*) {
    static const auto create = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataCreate);
    static const auto set = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelSetString);
    static const auto get = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelGetString);
    static const auto dataFree = BRIDGE(Java_com_brel_vorlend_ib_api_jxel_JXelObject_XelDataFree);
    const std::string text = "a text longer than any short-string buffer";
    FakeJvm jvm;
    jobject self = jvm.newObject(jvm.objectClass());
    if (create(jvm.env(), self, 1) != 0) {
        ++g_wrongTexts;
        return 0;
    }
    const jlong handle = jvm.longField(self, "myXelReference");
    for (int i = 0; i < 20; ++i) {
        if (set(jvm.env(), self, handle, 1, jvm.newString(text)) != 0 ||
            get(jvm.env(), self, handle, 1) != 0 ||
            jvm.stringField(self, "myXelDataString") != text) {
            ++g_wrongTexts;
        }
    }
    dataFree(jvm.env(), self, handle);
    return 0;
}

// A thread that took texts from the agent and ends must leave the heap as it
// found it, be it a plain Windows thread (as the JVM makes them) or one the C
// runtime started: windows_thread_exit_heap runs this under Wine's heap checks,
// which report any free of freed memory.
TEST(WindowsThreadExit, ThreadsThatTookAgentTextsEndCleanly) {
    ASSERT_EQ(loaded().failure, "");
    for (int round = 0; round < 4; ++round) {
        HANDLE plain[4];
        for (HANDLE& thread : plain) {
            thread = CreateThread(nullptr, 0, takeAgentTexts, nullptr, 0, nullptr);
            ASSERT_NE(thread, nullptr) << lastError();
        }
        std::vector<Thread> started;
        for (int t = 0; t < 4; ++t) started.emplace_back([] { takeAgentTexts(nullptr); });
        for (Thread& thread : started) thread.join();
        ASSERT_EQ(WaitForMultipleObjects(4, plain, TRUE, 60000), WAIT_OBJECT_0);
        for (HANDLE thread : plain) CloseHandle(thread);
    }
    EXPECT_EQ(g_wrongTexts, 0);
}

// ---- Start-up ----

int32_t codesetOfAnsiCodePage(UINT codePage) {
    switch (codePage) {
        case CP_UTF8:
            return XELAGT_CODESET_UTF8;
        case 28591:
            return XELAGT_CODESET_ISO_8859_1;
        case 1252:
            return XELAGT_CODESET_WINDOWS_1252;
        case 932:
            return XELAGT_CODESET_SHIFT_JIS;
        default:
            return XELAGT_CODESET_UTF8;  // the stand-in's fallback
    }
}

// XELAGT_CODESET names the start-up code set; without it, the ANSI code page
// does (Linux reads the locale variables instead).
TEST(WindowsStartup, CodeSetFromXelagtCodesetElseTheAnsiCodePage) {
    ASSERT_EQ(loaded().failure, "");
    const char* setting = std::getenv("XELAGT_CODESET");
    if (setting == nullptr) {
        EXPECT_EQ(loaded().codesetAtLoad, codesetOfAnsiCodePage(GetACP()))
            << "ANSI code page " << GetACP();
    } else {
        ASSERT_STREQ(setting, "WINDOWS-1252") << "the one setting this test knows";
        EXPECT_EQ(loaded().codesetAtLoad, XELAGT_CODESET_WINDOWS_1252);
    }
}

}  // namespace
}  // namespace jxel::test
