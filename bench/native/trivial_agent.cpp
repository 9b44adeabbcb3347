// A libxelagtapi for the bench alone: every operation answers at once, with a
// constant, the text the bench chose or the code set it set. Identity
// conversions give no output, the others a plain copy. No locks, no tables:
// timed against it, a native shows the bridge's own cost, and the floors
// (bench/native/baselines.cpp) make the same agent calls against it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "xelagtapi.h"

#define TRIVIAL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Set by the bench before it times anything, read by every thread after.
const char* g_text = "Order 4711 shipped to Hamburg";
xelagt_locale g_locale = {sizeof(xelagt_locale), XELAGT_CODESET_UTF8};

}  // namespace

// The text every getter returns (the caller keeps it alive), and the local code set.
TRIVIAL_EXPORT void xelagt_bench_set_text(const char* text) { g_text = text; }
TRIVIAL_EXPORT void xelagt_bench_set_codeset(int32_t codeset) { g_locale.codeset = codeset; }

TRIVIAL_EXPORT int32_t xelagt_create_data_object(int32_t, xelagt_handle* handle) {
    *handle = 1;
    return 0;
}
TRIVIAL_EXPORT int32_t xelagt_copy_data_object(xelagt_handle source, xelagt_handle* copy) {
    *copy = source;
    return 0;
}
TRIVIAL_EXPORT int32_t xelagt_free_data_object(xelagt_handle* handle) {
    *handle = 0;
    return 0;
}
TRIVIAL_EXPORT int32_t xelagt_data_object_type(xelagt_handle) { return 1; }
TRIVIAL_EXPORT char* xelagt_get_string_attribute(xelagt_handle, int32_t) {
    return const_cast<char*>(g_text);
}
TRIVIAL_EXPORT int32_t xelagt_set_string_attribute(xelagt_handle, int32_t, const char* text) {
    return text != nullptr ? 0 : -3;
}
TRIVIAL_EXPORT int32_t xelagt_get_integer_attribute(xelagt_handle, int32_t attribute) {
    return attribute;
}
TRIVIAL_EXPORT int32_t xelagt_set_integer_attribute(xelagt_handle, int32_t, int32_t) { return 0; }
TRIVIAL_EXPORT int32_t xelagt_set_double_attribute(xelagt_handle, int32_t, double) { return 0; }
TRIVIAL_EXPORT int32_t xelagt_list_length(xelagt_handle, int32_t) { return 3; }
TRIVIAL_EXPORT int32_t xelagt_add_list_element(xelagt_handle, int32_t) { return 3; }
TRIVIAL_EXPORT int32_t xelagt_delete_list_element(xelagt_handle, int32_t, int32_t selector) {
    return selector;
}
TRIVIAL_EXPORT char* xelagt_get_list_string(xelagt_handle, int32_t, int32_t, int32_t) {
    return const_cast<char*>(g_text);
}
TRIVIAL_EXPORT int32_t xelagt_set_list_string(xelagt_handle, int32_t, int32_t, int32_t,
                                              const char* text) {
    return text != nullptr ? 0 : -3;
}
TRIVIAL_EXPORT char* xelagt_error_text(int32_t) { return const_cast<char*>(g_text); }
TRIVIAL_EXPORT char* xelagt_version_text(void) { return const_cast<char*>(g_text); }
TRIVIAL_EXPORT void xelagt_prepare_status(xelagt_status*) {}
TRIVIAL_EXPORT int32_t xelagt_component_setup(int32_t, const char*, int32_t) { return 0; }
TRIVIAL_EXPORT int32_t xelagt_get_locale(const xelagt_locale** locale) {
    *locale = &g_locale;
    return 0;
}
TRIVIAL_EXPORT int32_t xelagt_convert_text(int32_t target, int32_t source, char** output,
                                           const char* input, xelagt_status*) {
    *output = target == source ? nullptr : strdup(input);
    return 0;
}
TRIVIAL_EXPORT void xelagt_release_buffer(void* buffer) { std::free(buffer); }
