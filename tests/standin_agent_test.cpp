// Tests of the stand-in agent through its exported operations.
#include <gtest/gtest.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "standin.h"
#include "threads.h"
#include "xelagt_operations.h"

namespace {

class AgentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xelagt_test_reset_failures();
        codeset_ = xelagt_test_codeset();
        buffers_ = xelagt_test_live_buffers();
    }
    void TearDown() override {
        xelagt_test_reset_failures();
        xelagt_test_set_codeset(codeset_);
        xelagt_test_free_all();
        EXPECT_EQ(xelagt_test_live_objects(), 0);
        EXPECT_EQ(xelagt_test_live_buffers(), buffers_) << "converted texts leaked";
    }

    static xelagt_handle make(int32_t type = 7) {
        xelagt_handle h = 0;
        EXPECT_EQ(xelagt_create_data_object(type, &h), XELAGT_OK);
        return h;
    }
    static std::string text(const char* t) { return t == nullptr ? "<null>" : t; }

    int32_t codeset_ = 0;
    int64_t buffers_ = 0;
};

// Every operation that takes a handle, and what it gives for one that names no object.
void expect_rejected(xelagt_handle h) {
    SCOPED_TRACE(::testing::Message() << "handle " << h);
    EXPECT_EQ(xelagt_data_object_type(h), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_get_string_attribute(h, 1), nullptr);
    EXPECT_EQ(xelagt_set_string_attribute(h, 1, "x"), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_get_integer_attribute(h, 1), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_set_integer_attribute(h, 1, 5), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_set_double_attribute(h, 1, 0.5), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_list_length(h, 2), -1);
    EXPECT_EQ(xelagt_add_list_element(h, 2), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_delete_list_element(h, 2, 0), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(xelagt_get_list_string(h, 2, 0, 0), nullptr);
    EXPECT_EQ(xelagt_set_list_string(h, 2, 0, 0, "x"), XELAGT_ERR_INVALID_HANDLE);
    xelagt_handle copy = 99;
    EXPECT_EQ(xelagt_copy_data_object(h, &copy), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(copy, 0);
    xelagt_handle freed = h;
    EXPECT_EQ(xelagt_free_data_object(&freed), XELAGT_ERR_INVALID_HANDLE);
    EXPECT_EQ(freed, h) << "a failed free must leave the handle alone";
}

TEST_F(AgentTest, HandlesThatNameNoObjectAreRejected) {
    xelagt_handle live = make();
    xelagt_handle freed = make();
    const xelagt_handle freed_value = freed;
    ASSERT_EQ(xelagt_free_data_object(&freed), XELAGT_OK);
    EXPECT_EQ(freed, 0) << "free clears the handle";
    // The freed slot is reused first; its old handle must not reach the new object.
    xelagt_handle reused = make();
    ASSERT_EQ(reused & 0xffffffff, freed_value & 0xffffffff);
    ASSERT_NE(reused, freed_value);

    const int64_t next_generation = live + (int64_t{1} << 32);
    for (xelagt_handle bad : {xelagt_handle{0}, freed_value, next_generation, live & 0xffffffff,
                              live & ~int64_t{0xffffffff}, xelagt_handle{-1}, INT64_MIN, INT64_MAX,
                              (int64_t{1} << 32) | 1000, (int64_t{1} << 32) | 0xfffff,
                              (int64_t{1} << 32) | 0xffffffff}) {
        expect_rejected(bad);
    }
    EXPECT_EQ(xelagt_data_object_type(live), 7) << "rejections must not harm live objects";
    EXPECT_EQ(xelagt_test_live_objects(), 2);
}

TEST_F(AgentTest, CreateAndFreeCheckArguments) {
    for (int32_t type : {XELAGT_TYPE_MIN - 1, XELAGT_TYPE_MAX + 1, -5}) {
        xelagt_handle h = 42;
        EXPECT_EQ(xelagt_create_data_object(type, &h), XELAGT_ERR_INVALID_TYPE) << type;
        EXPECT_EQ(h, 0);
    }
    for (int32_t type : {XELAGT_TYPE_MIN, XELAGT_TYPE_MAX}) {
        EXPECT_EQ(xelagt_data_object_type(make(type)), type);
    }
    EXPECT_EQ(xelagt_create_data_object(1, nullptr), XELAGT_ERR_BAD_ARGUMENT);
    EXPECT_EQ(xelagt_copy_data_object(make(), nullptr), XELAGT_ERR_BAD_ARGUMENT);
    EXPECT_EQ(xelagt_free_data_object(nullptr), XELAGT_ERR_BAD_ARGUMENT);
    EXPECT_EQ(xelagt_test_live_objects(), 3);
    xelagt_test_free_all();
    EXPECT_EQ(xelagt_test_live_objects(), 0);
}

TEST_F(AgentTest, ScalarAttributes) {
    xelagt_handle h = make();
    EXPECT_EQ(xelagt_get_string_attribute(h, 1), nullptr) << "never set";
    EXPECT_EQ(xelagt_get_integer_attribute(h, 1), 0) << "never set";
    EXPECT_EQ(xelagt_set_string_attribute(h, 1, "first"), XELAGT_OK);
    EXPECT_EQ(xelagt_set_string_attribute(h, 1, "second"), XELAGT_OK);
    EXPECT_EQ(xelagt_set_string_attribute(h, 1, nullptr), XELAGT_ERR_NULL_TEXT);
    EXPECT_EQ(text(xelagt_get_string_attribute(h, 1)), "second");
    EXPECT_EQ(xelagt_set_string_attribute(h, 3, ""), XELAGT_OK);
    EXPECT_EQ(text(xelagt_get_string_attribute(h, 3)), "");
    EXPECT_EQ(xelagt_set_integer_attribute(h, 1, -123456), XELAGT_OK);
    EXPECT_EQ(xelagt_get_integer_attribute(h, 1), -123456);
    EXPECT_EQ(xelagt_set_double_attribute(h, 1, 2.5), XELAGT_OK);
    EXPECT_EQ(text(xelagt_get_string_attribute(h, 1)), "second") << "kinds are separate maps";
    EXPECT_EQ(xelagt_list_length(h, 1), -1) << "a string attribute is not a list";
}

TEST_F(AgentTest, ListAttributes) {
    xelagt_handle h = make();
    EXPECT_EQ(xelagt_list_length(h, 4), -1);
    EXPECT_EQ(xelagt_delete_list_element(h, 4, 0), XELAGT_ERR_NOT_A_LIST);
    EXPECT_EQ(xelagt_set_list_string(h, 4, 0, 0, "x"), XELAGT_ERR_NOT_A_LIST);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(xelagt_add_list_element(h, 4), i);
        EXPECT_EQ(xelagt_set_list_string(h, 4, i, 9, std::to_string(i).c_str()), XELAGT_OK);
    }
    EXPECT_EQ(xelagt_list_length(h, 4), 3);
    EXPECT_EQ(xelagt_set_list_string(h, 4, 3, 0, "x"), XELAGT_ERR_NO_ELEMENT);
    EXPECT_EQ(xelagt_set_list_string(h, 4, -1, 0, "x"), XELAGT_ERR_NO_ELEMENT);
    EXPECT_EQ(xelagt_set_list_string(h, 4, 0, 9, nullptr), XELAGT_ERR_NULL_TEXT);
    EXPECT_EQ(text(xelagt_get_list_string(h, 4, 0, 9)), "0");
    EXPECT_EQ(xelagt_get_list_string(h, 4, 0, 8), nullptr) << "field never set";
    EXPECT_EQ(xelagt_get_list_string(h, 4, 3, 9), nullptr);
    EXPECT_EQ(xelagt_get_list_string(h, 5, 0, 9), nullptr);

    EXPECT_EQ(xelagt_delete_list_element(h, 4, 3), XELAGT_ERR_NO_ELEMENT);
    EXPECT_EQ(xelagt_delete_list_element(h, 4, -1), XELAGT_ERR_NO_ELEMENT);
    EXPECT_EQ(xelagt_delete_list_element(h, 4, 1), 2);
    EXPECT_EQ(text(xelagt_get_list_string(h, 4, 1, 9)), "2") << "later elements move up";
    EXPECT_EQ(xelagt_delete_list_element(h, 4, 0), 1);
    EXPECT_EQ(xelagt_delete_list_element(h, 4, 0), 0);
    EXPECT_EQ(xelagt_list_length(h, 4), 0) << "an emptied list stays a list";
    EXPECT_EQ(xelagt_add_list_element(h, 4), 0);
}

TEST_F(AgentTest, CopyIsDeepAndIndependent) {
    xelagt_handle source = make(12);
    xelagt_set_string_attribute(source, 1, "s");
    xelagt_set_integer_attribute(source, 2, 22);
    xelagt_add_list_element(source, 3);
    xelagt_set_list_string(source, 3, 0, 1, "e");
    xelagt_handle copy = 0;
    ASSERT_EQ(xelagt_copy_data_object(source, &copy), XELAGT_OK);
    ASSERT_NE(copy, source);
    EXPECT_EQ(xelagt_data_object_type(copy), 12);

    xelagt_set_string_attribute(copy, 1, "changed");
    xelagt_set_list_string(copy, 3, 0, 1, "changed");
    xelagt_add_list_element(copy, 3);
    xelagt_set_integer_attribute(source, 2, 0);
    EXPECT_EQ(text(xelagt_get_string_attribute(source, 1)), "s");
    EXPECT_EQ(text(xelagt_get_list_string(source, 3, 0, 1)), "e");
    EXPECT_EQ(xelagt_list_length(source, 3), 1);
    ASSERT_EQ(xelagt_free_data_object(&source), XELAGT_OK);
    EXPECT_EQ(xelagt_get_integer_attribute(copy, 2), 22);
    EXPECT_EQ(text(xelagt_get_list_string(copy, 3, 0, 1)), "changed");
}

TEST_F(AgentTest, ReturnedTextOutlivesItsObject) {
    xelagt_handle h = make();
    xelagt_set_string_attribute(h, 1, "kept by the caller");
    const char* t = xelagt_get_string_attribute(h, 1);
    ASSERT_EQ(xelagt_free_data_object(&h), XELAGT_OK);
    EXPECT_STREQ(t, "kept by the caller");
    // Another thread's texts live in its own buffer.
    xelagt_handle other = make();
    xelagt_set_string_attribute(other, 1, "other");
    jxel::test::Thread([other] {
        EXPECT_STREQ(xelagt_get_string_attribute(other, 1), "other");
    }).join();
    EXPECT_STREQ(t, "kept by the caller");
}

#if defined(__GLIBC__)
// A text is handed out in a buffer of the calling thread; after a large one, the
// buffer of the next small one must not keep the large one's size.
TEST_F(AgentTest, TextBufferShrinksAfterALargeText) {
    xelagt_handle h = make();
    const std::string large(16 << 20, 'x'), small(100, 'y');
    xelagt_set_string_attribute(h, 1, large.c_str());
    xelagt_set_string_attribute(h, 2, small.c_str());
    ASSERT_EQ(text(xelagt_get_string_attribute(h, 1)), large);
    char* kept = xelagt_get_string_attribute(h, 2);
    ASSERT_EQ(text(kept), small);
    EXPECT_LT(malloc_usable_size(kept), size_t{1} << 20);
}
#endif

TEST_F(AgentTest, FixedTexts) {
    const std::pair<int32_t, const char*> known[] = {
        {XELAGT_OK, "success"},
        {XELAGT_ERR_INVALID_HANDLE, "invalid data object handle"},
        {XELAGT_ERR_INVALID_TYPE, "unknown data object type"},
        {XELAGT_ERR_NULL_TEXT, "no text given"},
        {XELAGT_ERR_NOT_A_LIST, "attribute is not a list"},
        {XELAGT_ERR_NO_ELEMENT, "no such list element"},
        {XELAGT_ERR_CONVERSION, "text cannot be converted"},
        {XELAGT_ERR_UNKNOWN_CODESET, "unknown code set"},
        {XELAGT_ERR_BAD_ARGUMENT, "invalid argument"},
        {XELAGT_ERR_OUT_OF_MEMORY, "out of memory"},
        {XELAGT_ERR_INJECTED, "failure injected by test control"}};
    for (const auto& [status, expected] : known) {
        EXPECT_EQ(text(xelagt_error_text(status)), expected) << status;
    }
    for (int32_t status : {-20, -11, 1, INT32_MIN}) {
        EXPECT_EQ(xelagt_error_text(status), nullptr) << status;
    }
    EXPECT_STREQ(xelagt_version_text(), XELAGT_STANDIN_VERSION_TEXT);
    const std::string long_name(1000, 'c');
    for (const char* name : {"component", static_cast<const char*>(nullptr), long_name.c_str()}) {
        EXPECT_EQ(xelagt_component_setup(0, name, 0), XELAGT_OK);
    }
    xelagt_status status;
    std::memset(&status, 0xab, sizeof(status));
    xelagt_prepare_status(&status);
    EXPECT_TRUE(std::all_of(std::begin(status.opaque), std::end(status.opaque),
                            [](unsigned char b) { return b == 0; }));
}

// Converts and releases; returns the status and the output ("<null>" for none).
std::pair<int32_t, std::string> convert(int32_t target, int32_t source, const std::string& in) {
    char* out = reinterpret_cast<char*>(&out);  // must be overwritten in every case
    xelagt_status status;
    xelagt_prepare_status(&status);
    const int32_t rc = xelagt_convert_text(target, source, &out, in.c_str(), &status);
    std::string result = out == nullptr ? "<null>" : out;
    xelagt_release_buffer(out);
    return {rc, result};
}

TEST_F(AgentTest, ConversionRoundTrips) {
    const struct {
        int32_t codeset;
        std::string utf8, local;
    } cases[] = {
        {XELAGT_CODESET_ISO_8859_1, "Gr\xc3\xbc\xc3\x9f\x65 \xc3\xa9", "Gr\xfc\xdf\x65 \xe9"},
        {XELAGT_CODESET_WINDOWS_1252, "\xe2\x82\xac \xe2\x80\x93 \xc3\xa9", "\x80 \x96 \xe9"},
        {XELAGT_CODESET_SHIFT_JIS, "\xe6\x97\xa5\xe6\x9c\xac\xef\xbd\xb1 a\\~",
         "\x93\xfa\x96\x7b\xb1 a\\~"},
        {XELAGT_CODESET_ISO_8859_1, "", ""},
        // Grows the output: every byte becomes three.
        {XELAGT_CODESET_WINDOWS_1252,
         [] {
             std::string s;
             for (int i = 0; i < 5000; ++i) s += "\xe2\x82\xac";
             return s;
         }(),
         std::string(5000, '\x80')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        EXPECT_EQ(convert(c.codeset, XELAGT_CODESET_UTF8, c.utf8),
                  std::make_pair(int32_t{XELAGT_OK}, c.local));
        EXPECT_EQ(convert(XELAGT_CODESET_UTF8, c.codeset, c.local),
                  std::make_pair(int32_t{XELAGT_OK}, c.utf8));
    }
    EXPECT_EQ(convert(XELAGT_CODESET_WINDOWS_1252, XELAGT_CODESET_ISO_8859_1, "\xe9").second,
              "\xe9");
}

TEST_F(AgentTest, ConversionFailures) {
    const struct {
        int32_t target, source;
        const char* input;
        int32_t expected;
    } cases[] = {
        {XELAGT_CODESET_ISO_8859_1, XELAGT_CODESET_UTF8, "\xe2\x82\xac", XELAGT_ERR_CONVERSION},
        {XELAGT_CODESET_SHIFT_JIS, XELAGT_CODESET_UTF8, "caf\xc3\xa9", XELAGT_ERR_CONVERSION},
        {XELAGT_CODESET_ISO_8859_1, XELAGT_CODESET_UTF8, "\xc3\x28", XELAGT_ERR_CONVERSION},
        {XELAGT_CODESET_SHIFT_JIS, XELAGT_CODESET_UTF8, "\xe6\x97", XELAGT_ERR_CONVERSION},
        {XELAGT_CODESET_UTF8, XELAGT_CODESET_SHIFT_JIS, "ab\x93", XELAGT_ERR_CONVERSION},
        {XELAGT_CODESET_UTF8, 5, "a", XELAGT_ERR_UNKNOWN_CODESET},
        {5, XELAGT_CODESET_UTF8, "a", XELAGT_ERR_UNKNOWN_CODESET},
        // Same code set: nothing is converted, so nothing is checked.
        {XELAGT_CODESET_UTF8, XELAGT_CODESET_UTF8, "\xc3\x28", XELAGT_OK},
        {XELAGT_CODESET_SHIFT_JIS, XELAGT_CODESET_SHIFT_JIS, "\x93", XELAGT_OK},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convert(c.target, c.source, c.input),
                  std::make_pair(c.expected, std::string("<null>")))
            << c.target << " <- " << c.source << " " << c.input;
    }
    char* out = nullptr;
    EXPECT_EQ(xelagt_convert_text(69, 819, &out, nullptr, nullptr), XELAGT_ERR_BAD_ARGUMENT);
    EXPECT_EQ(xelagt_convert_text(69, 819, nullptr, "a", nullptr), XELAGT_ERR_BAD_ARGUMENT);
}

TEST_F(AgentTest, ConvertedBuffersAreCountedUntilReleased) {
    char* a = nullptr;
    char* b = nullptr;
    ASSERT_EQ(xelagt_convert_text(819, 69, &a, "a", nullptr), XELAGT_OK);
    ASSERT_EQ(xelagt_convert_text(932, 69, &b, "b", nullptr), XELAGT_OK);
    EXPECT_EQ(xelagt_test_live_buffers(), buffers_ + 2);
    xelagt_release_buffer(a);
    xelagt_release_buffer(strdup("not the agent's"));
    xelagt_release_buffer(nullptr);
    EXPECT_EQ(xelagt_test_live_buffers(), buffers_ + 1);
    xelagt_release_buffer(b);
    EXPECT_EQ(xelagt_test_live_buffers(), buffers_);

    // Only conversions that would have given output use up the count.
    ASSERT_EQ(xelagt_test_no_output_next(2), XELAGT_OK);
    EXPECT_EQ(convert(819, 819, "same").first, XELAGT_OK);
    EXPECT_EQ(convert(819, 69, "\xe2\x82\xac").first, XELAGT_ERR_CONVERSION);
    EXPECT_EQ(convert(819, 69, "x"), std::make_pair(int32_t{XELAGT_OK}, std::string("<null>")));
    EXPECT_EQ(convert(819, 69, "y"), std::make_pair(int32_t{XELAGT_OK}, std::string("<null>")));
    EXPECT_EQ(convert(819, 69, "z").second, "z");
    EXPECT_EQ(xelagt_test_no_output_next(-1), XELAGT_ERR_BAD_ARGUMENT);
}

TEST_F(AgentTest, InjectedFailures) {
    constexpr int32_t kStatus = 4242;  // no operation gives this on its own
    constexpr int32_t kNull = -1000;   // stands for a NULL text
    xelagt_handle h = make();
    xelagt_set_integer_attribute(h, 1, 7);
    xelagt_set_string_attribute(h, 1, "s");
    xelagt_add_list_element(h, 2);
    xelagt_set_list_string(h, 2, 0, 0, "e");
    xelagt_handle victim = make();
    auto txt = [](const char* t) { return t == nullptr ? kNull : 0; };
    const std::vector<std::pair<int32_t, std::function<int32_t()>>> ops = {
        {XELAGT_OP_CREATE_DATA_OBJECT,
         [] {
             xelagt_handle n = 5;
             int32_t rc = xelagt_create_data_object(1, &n);
             return rc == kStatus && n == 0 ? rc : XELAGT_OK;
         }},
        {XELAGT_OP_COPY_DATA_OBJECT,
         [h] {
             xelagt_handle n = 5;
             int32_t rc = xelagt_copy_data_object(h, &n);
             return rc == kStatus && n == 0 ? rc : XELAGT_OK;
         }},
        {XELAGT_OP_FREE_DATA_OBJECT,
         [&victim] {
             xelagt_handle n = victim;
             int32_t rc = xelagt_free_data_object(&n);
             if (rc == XELAGT_OK) victim = make();
             return rc == kStatus && n == victim ? rc : XELAGT_OK;
         }},
        {XELAGT_OP_DATA_OBJECT_TYPE, [h] { return xelagt_data_object_type(h); }},
        {XELAGT_OP_GET_STRING_ATTRIBUTE, [&] { return txt(xelagt_get_string_attribute(h, 1)); }},
        {XELAGT_OP_SET_STRING_ATTRIBUTE, [h] { return xelagt_set_string_attribute(h, 1, "s"); }},
        {XELAGT_OP_GET_INTEGER_ATTRIBUTE, [h] { return xelagt_get_integer_attribute(h, 1); }},
        {XELAGT_OP_SET_INTEGER_ATTRIBUTE, [h] { return xelagt_set_integer_attribute(h, 1, 7); }},
        {XELAGT_OP_SET_DOUBLE_ATTRIBUTE, [h] { return xelagt_set_double_attribute(h, 1, 1.0); }},
        {XELAGT_OP_LIST_LENGTH, [h] { return xelagt_list_length(h, 2); }},
        {XELAGT_OP_ADD_LIST_ELEMENT, [h] { return xelagt_add_list_element(h, 3); }},
        {XELAGT_OP_DELETE_LIST_ELEMENT,
         [h] {
             return xelagt_add_list_element(h, 4) < 0 ? -1 : xelagt_delete_list_element(h, 4, 0);
         }},
        {XELAGT_OP_GET_LIST_STRING, [&] { return txt(xelagt_get_list_string(h, 2, 0, 0)); }},
        {XELAGT_OP_SET_LIST_STRING, [h] { return xelagt_set_list_string(h, 2, 0, 0, "e"); }},
        {XELAGT_OP_ERROR_TEXT, [&] { return txt(xelagt_error_text(0)); }},
        {XELAGT_OP_VERSION_TEXT, [&] { return txt(xelagt_version_text()); }},
        {XELAGT_OP_COMPONENT_SETUP, [] { return xelagt_component_setup(0, "c", 0); }},
        {XELAGT_OP_GET_LOCALE,
         [] {
             static const xelagt_locale stale{};
             const xelagt_locale* l = &stale;
             int32_t rc = xelagt_get_locale(&l);
             return (rc == kStatus) == (l == nullptr) ? rc : XELAGT_OK;
         }},
        {XELAGT_OP_CONVERT_TEXT,
         [] {
             auto [rc, out] = convert(819, 69, "x");
             return rc == kStatus && out == "<null>" ? rc : XELAGT_OK;
         }},
    };
    for (const auto& [op, call] : ops) {
        SCOPED_TRACE(op);
        const bool text_op = op == XELAGT_OP_GET_STRING_ATTRIBUTE ||
                             op == XELAGT_OP_GET_LIST_STRING || op == XELAGT_OP_ERROR_TEXT ||
                             op == XELAGT_OP_VERSION_TEXT;
        const int32_t failed = text_op ? kNull : kStatus;
        const int64_t objects = xelagt_test_live_objects();
        ASSERT_EQ(xelagt_test_fail_next(op, 2, kStatus), XELAGT_OK);
        EXPECT_EQ(call(), failed);
        EXPECT_EQ(call(), failed);
        EXPECT_EQ(xelagt_test_live_objects(), objects) << "a failed call must change nothing";
        EXPECT_NE(call(), failed) << "only the next two calls fail";
        ASSERT_EQ(xelagt_test_fail_next(op, 3, kStatus), XELAGT_OK);
        ASSERT_EQ(xelagt_test_fail_next(op, 0, kStatus), XELAGT_OK);
        EXPECT_NE(call(), failed) << "count 0 cancels";
    }
    EXPECT_EQ(xelagt_test_fail_next(XELAGT_OP_CREATE_DATA_OBJECT, 1, kStatus), XELAGT_OK);
    EXPECT_EQ(xelagt_get_integer_attribute(h, 1), 7) << "other operations are untouched";
    xelagt_test_reset_failures();
    EXPECT_EQ(xelagt_data_object_type(make(3)), 3) << "reset cancels";
    for (int32_t op :
         {int32_t{XELAGT_OP_PREPARE_STATUS}, int32_t{XELAGT_OP_RELEASE_BUFFER}, 0, 999}) {
        EXPECT_EQ(xelagt_test_fail_next(op, 1, kStatus), XELAGT_ERR_BAD_ARGUMENT) << op;
    }
    EXPECT_EQ(xelagt_test_fail_next(XELAGT_OP_DATA_OBJECT_TYPE, -1, kStatus),
              XELAGT_ERR_BAD_ARGUMENT);
}

TEST_F(AgentTest, LocaleFollowsTheCodeSet) {
    EXPECT_EQ(xelagt_get_locale(nullptr), XELAGT_ERR_BAD_ARGUMENT);
    ASSERT_EQ(xelagt_test_set_codeset(XELAGT_CODESET_ISO_8859_1), XELAGT_OK);
    const xelagt_locale* before = nullptr;
    ASSERT_EQ(xelagt_get_locale(&before), XELAGT_OK);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->size, static_cast<int32_t>(sizeof(xelagt_locale)));
    EXPECT_EQ(before->codeset, XELAGT_CODESET_ISO_8859_1);

    ASSERT_EQ(xelagt_test_set_codeset(XELAGT_CODESET_SHIFT_JIS), XELAGT_OK);
    EXPECT_EQ(xelagt_test_set_codeset(1234), XELAGT_ERR_UNKNOWN_CODESET);
    EXPECT_EQ(xelagt_test_codeset(), XELAGT_CODESET_SHIFT_JIS);
    const xelagt_locale* after = nullptr;
    ASSERT_EQ(xelagt_get_locale(&after), XELAGT_OK);
    EXPECT_EQ(after->codeset, XELAGT_CODESET_SHIFT_JIS);
    EXPECT_EQ(before->codeset, XELAGT_CODESET_ISO_8859_1) << "records handed out never change";
}

// The start-up code set is read once, so each case runs in a fresh process.
TEST(AgentStartupTest, CodeSetComesFromTheEnvironment) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A regular expression for the line an unknown setting gets.
    const auto warning = [](const std::string& setting, const char* instead) {
        return "xelagtapi stand-in: XELAGT_CODESET=" + setting +
               " names no code set it knows \\(UTF-8 or 69, ISO-8859-1 or 819, WINDOWS-1252 or "
               "1252, SHIFT_JIS or 932\\); using code set " +
               instead + "\n";
    };
    const struct {
        const char *setting, *lc_all, *lc_ctype, *lang;
        int32_t expected;
        const char* instead;  // the end of the warning line; nullptr for none
    } cases[] = {
        {"sjis", "", "", "ja_JP.UTF-8", 932, nullptr},
        {"Windows_1252", "", "", "", 1252, nullptr},
        {"iso-8859-1", "", "", "", 819, nullptr},
        {"latin1", "", "", "", 819, nullptr},
        {"932", "", "", "", 932, nullptr},
        {"1234", "", "", "de_DE.CP1252", 1252, "1252 from the locale instead"},
        {"bogus", "", "", "ja_JP.Shift_JIS", 932, "932 from the locale instead"},
        {"ISO-8859-15", "", "", "", 69, "69 \\(UTF-8\\), the default, instead"},
        {"", "de_DE.iso88591@euro", "x.SJIS", "x.CP1252", 819, nullptr},
        {"", "", "x.SJIS", "x.CP1252", 932, nullptr},
        {"", "C", "x.SJIS", "", 69, nullptr},
        {"", "", "", "", 69, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                setenv("XELAGT_CODESET", c.setting, 1);
                setenv("LC_ALL", c.lc_all, 1);
                setenv("LC_CTYPE", c.lc_ctype, 1);
                setenv("LANG", c.lang, 1);
                const xelagt_locale* locale = nullptr;
                xelagt_get_locale(&locale);
                const int32_t startup = locale ? locale->codeset : -1;
                // A reset goes back to the code set of start-up, not to UTF-8.
                xelagt_test_set_codeset(startup == 932 ? 819 : 932);
                xelagt_test_reset();
                xelagt_get_locale(&locale);
                std::fprintf(stderr, "codeset=%d reset=%d ctype=%s\n", startup,
                             locale ? locale->codeset : -1, std::setlocale(LC_CTYPE, nullptr));
                std::exit(0);
            },
            ::testing::ExitedWithCode(0),
            "^" + (c.instead ? warning(c.setting, c.instead) : "") + "codeset=" +
                std::to_string(c.expected) + " reset=" + std::to_string(c.expected) + " ctype=C\n")
            << c.setting << " " << c.lc_all << " " << c.lc_ctype << " " << c.lang;
    }
}

TEST_F(AgentTest, ThreadsOnOwnObjects) {
    std::atomic<int> wrong{0};
    std::vector<jxel::test::Thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 500; ++i) {
                const std::string name = std::to_string(t) + ":" + std::to_string(i);
                xelagt_handle h = 0, copy = 0;
                xelagt_create_data_object(t + 1, &h);
                xelagt_set_string_attribute(h, 1, name.c_str());
                xelagt_set_integer_attribute(h, 2, i);
                xelagt_add_list_element(h, 3);
                xelagt_set_list_string(h, 3, 0, 0, name.c_str());
                xelagt_copy_data_object(h, &copy);
                xelagt_free_data_object(&h);
                const char* got = xelagt_get_list_string(copy, 3, 0, 0);
                if (got == nullptr || name != got || xelagt_get_integer_attribute(copy, 2) != i ||
                    xelagt_data_object_type(copy) != t + 1 ||
                    xelagt_free_data_object(&copy) != XELAGT_OK || h != 0 || copy != 0) {
                    ++wrong;
                }
                char* out = nullptr;
                if (xelagt_convert_text(932, 69, &out, name.c_str(), nullptr) != XELAGT_OK ||
                    out == nullptr || name != out) {
                    ++wrong;
                }
                xelagt_release_buffer(out);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(xelagt_test_live_objects(), 0);
}

TEST_F(AgentTest, ThreadsOnSharedObjects) {
    xelagt_handle shared = make();
    std::atomic<int> wrong{0};
    std::vector<std::vector<int32_t>> indices(4);
    std::atomic<bool> go{false};  // start together, so the calls overlap
    std::vector<jxel::test::Thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, shared, &wrong, &indices, &go] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 2000; ++i) {
                const std::string mine = std::to_string(t * 1000 + i);
                xelagt_set_string_attribute(shared, 10 + t, mine.c_str());
                const char* got = xelagt_get_string_attribute(shared, 10 + t);
                if (got == nullptr || mine != got) ++wrong;
                indices[static_cast<size_t>(t)].push_back(xelagt_add_list_element(shared, 1));
            }
        });
    }
    go = true;
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
    std::vector<int32_t> all;
    for (const auto& v : indices) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<int32_t>(i));
    EXPECT_EQ(xelagt_list_length(shared, 1), 8000);
}

TEST_F(AgentTest, ObjectFreedWhileOthersUseIt) {
    for (int round = 0; round < 100; ++round) {
        xelagt_handle h = make();
        xelagt_set_string_attribute(h, 1, "intact");
        std::atomic<int> freed{0}, wrong{0}, ready{0};
        std::vector<jxel::test::Thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([h, &freed, &wrong, &ready] {
                for (++ready; ready < 3;) std::this_thread::yield();
                for (int i = 0; i < 20; ++i) {
                    const char* got = xelagt_get_string_attribute(h, 1);
                    if (got != nullptr && std::strcmp(got, "intact") != 0) ++wrong;
                }
                xelagt_handle mine = h;
                if (xelagt_free_data_object(&mine) == XELAGT_OK) ++freed;
            });
        }
        for (auto& th : threads) th.join();
        ASSERT_EQ(freed, 1) << "exactly one free succeeds";
        ASSERT_EQ(wrong, 0);
    }
}

}  // namespace
