#include "scripted_agent.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "threads.h"
#include "trace.h"

namespace jxel::test {

namespace {

Mutex bufferMutex;
std::set<void*>& agentBuffers() {
    static std::set<void*> buffers;
    return buffers;
}
// The agent keeps the texts it returns; this one lives until the next call.
std::string returnedText;

std::string show(const char* text) {
    return text == nullptr ? "<null>" : '"' + std::string(text) + '"';
}
std::string n(std::int64_t value) { return std::to_string(value); }
void record(const std::string& entry) { trace().add("agent." + entry); }

char* scriptedText() {
    if (!script().text) return nullptr;
    returnedText = *script().text;
    return returnedText.data();
}

}  // namespace

Script& script() {
    static Script instance;
    return instance;
}

void resetScript() {
    script() = Script{};
    trace().clear();
}

}  // namespace jxel::test

using jxel::test::n;
using jxel::test::record;
using jxel::test::script;
using jxel::test::show;

extern "C" {

int32_t xelagt_create_data_object(int32_t type, xelagt_handle* handle) {
    record("create " + n(type));
    if (script().status == 0) *handle = script().newHandle;
    return script().status;
}

int32_t xelagt_copy_data_object(xelagt_handle source, xelagt_handle* copy) {
    record("copy " + n(source));
    if (script().status == 0) *copy = script().newHandle;
    return script().status;
}

int32_t xelagt_free_data_object(xelagt_handle* handle) {
    record("free " + n(*handle));
    if (script().status == 0) *handle = script().freeLeaves;
    return script().status;
}

int32_t xelagt_data_object_type(xelagt_handle handle) {
    record("type " + n(handle));
    return script().result;
}

char* xelagt_get_string_attribute(xelagt_handle handle, int32_t attribute) {
    record("get_string " + n(handle) + " " + n(attribute));
    return jxel::test::scriptedText();
}

int32_t xelagt_set_string_attribute(xelagt_handle handle, int32_t attribute, const char* text) {
    record("set_string " + n(handle) + " " + n(attribute) + " " + show(text));
    return script().status;
}

int32_t xelagt_get_integer_attribute(xelagt_handle handle, int32_t attribute) {
    record("get_integer " + n(handle) + " " + n(attribute));
    return script().result;
}

int32_t xelagt_set_integer_attribute(xelagt_handle handle, int32_t attribute, int32_t value) {
    record("set_integer " + n(handle) + " " + n(attribute) + " " + n(value));
    return script().result;
}

int32_t xelagt_set_double_attribute(xelagt_handle handle, int32_t attribute, double value) {
    record("set_double " + n(handle) + " " + n(attribute) + " " + std::to_string(value));
    return script().result;
}

int32_t xelagt_list_length(xelagt_handle handle, int32_t attribute) {
    record("list_length " + n(handle) + " " + n(attribute));
    return script().result;
}

int32_t xelagt_add_list_element(xelagt_handle handle, int32_t attribute) {
    record("add_list " + n(handle) + " " + n(attribute));
    return script().result;
}

int32_t xelagt_delete_list_element(xelagt_handle handle, int32_t attribute, int32_t selector) {
    record("delete_list " + n(handle) + " " + n(attribute) + " " + n(selector));
    return script().result;
}

char* xelagt_get_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                             int32_t second) {
    record("get_list_string " + n(handle) + " " + n(attribute) + " " + n(first) + " " + n(second));
    return jxel::test::scriptedText();
}

int32_t xelagt_set_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                               int32_t second, const char* text) {
    record("set_list_string " + n(handle) + " " + n(attribute) + " " + n(first) + " " + n(second) +
           " " + show(text));
    return script().status;
}

char* xelagt_error_text(int32_t status) {
    record("error_text " + n(status));
    auto found = script().errorTexts.find(status);
    if (found == script().errorTexts.end()) return nullptr;
    jxel::test::returnedText = found->second;
    return jxel::test::returnedText.data();
}

char* xelagt_version_text(void) {
    record("version_text");
    return jxel::test::scriptedText();
}

void xelagt_prepare_status(xelagt_status* status) {
    record("prepare_status");
    std::memset(status, 0, sizeof *status);
}

int32_t xelagt_component_setup(int32_t reserved, const char* component, int32_t flags) {
    record("component_setup " + n(reserved) + " " + show(component) + " " + n(flags));
    return 0;
}

int32_t xelagt_get_locale(const xelagt_locale** locale) {
    record("get_locale");
    static thread_local xelagt_locale record;
    if (!script().hasLocale) return -8;
    record = xelagt_locale{static_cast<int32_t>(sizeof record), script().localCodeSet};
    *locale = &record;
    return 0;
}

int32_t xelagt_convert_text(int32_t target, int32_t source, char** output, const char* input,
                            xelagt_status*) {
    record("convert " + n(target) + " " + n(source) + " " + show(input));
    switch (script().convert) {
        case jxel::test::ConvertOutcome::kFail:
            return script().convertFailure;
        case jxel::test::ConvertOutcome::kNoOutput:
            return 0;
        case jxel::test::ConvertOutcome::kOutput:
            break;
    }
    const std::string converted = script().convertOutput
                                      ? script().convertOutput(target, input)
                                      : "<" + std::to_string(target) + ">" + input;
    *output = strdup(converted.c_str());
    std::lock_guard<jxel::test::Mutex> lock(jxel::test::bufferMutex);
    jxel::test::agentBuffers().insert(*output);
    ++script().liveBuffers;
    return 0;
}

void xelagt_release_buffer(void* buffer) {
    record("release_buffer " + show(static_cast<const char*>(buffer)));
    if (buffer == nullptr) return;
    {
        std::lock_guard<jxel::test::Mutex> lock(jxel::test::bufferMutex);
        if (jxel::test::agentBuffers().erase(buffer) == 1) --script().liveBuffers;
    }
    std::free(buffer);
}

}  // extern "C"
