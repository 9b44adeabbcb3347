#include "convert_agent.h"

#include <cstdlib>
#include <cstring>
#include <set>

#include "xelagtapi.h"

namespace jxel::fuzz {

AgentScript& agent() {
    static AgentScript script;
    return script;
}

namespace {

std::set<void*>& buffers() {
    static std::set<void*> handedOut;
    return handedOut;
}

std::string returned;  // texts the agent returns stay its own until the next call

char* held() {
    if (!agent().heldText) return nullptr;
    returned = *agent().heldText;
    return returned.data();
}

int32_t setText(const char* text) {
    agent().lastSetText = text != nullptr ? std::optional<std::string>(text) : std::nullopt;
    return text != nullptr ? 0 : -3;
}

}  // namespace

}  // namespace jxel::fuzz

using jxel::fuzz::agent;

extern "C" {

int32_t xelagt_create_data_object(int32_t, xelagt_handle* handle) {
    *handle = 1;
    return 0;
}
int32_t xelagt_copy_data_object(xelagt_handle, xelagt_handle* copy) {
    *copy = 2;
    return 0;
}
int32_t xelagt_free_data_object(xelagt_handle* handle) {
    *handle = 0;
    return 0;
}
int32_t xelagt_data_object_type(xelagt_handle) { return 1; }
char* xelagt_get_string_attribute(xelagt_handle, int32_t) { return jxel::fuzz::held(); }
int32_t xelagt_set_string_attribute(xelagt_handle, int32_t, const char* text) {
    return jxel::fuzz::setText(text);
}
int32_t xelagt_get_integer_attribute(xelagt_handle, int32_t) { return 0; }
int32_t xelagt_set_integer_attribute(xelagt_handle, int32_t, int32_t) { return 0; }
int32_t xelagt_set_double_attribute(xelagt_handle, int32_t, double) { return 0; }
int32_t xelagt_list_length(xelagt_handle, int32_t) { return 0; }
int32_t xelagt_add_list_element(xelagt_handle, int32_t) { return 0; }
int32_t xelagt_delete_list_element(xelagt_handle, int32_t, int32_t) { return 0; }
char* xelagt_get_list_string(xelagt_handle, int32_t, int32_t, int32_t) {
    return jxel::fuzz::held();
}
int32_t xelagt_set_list_string(xelagt_handle, int32_t, int32_t, int32_t, const char* text) {
    return jxel::fuzz::setText(text);
}
char* xelagt_error_text(int32_t) { return jxel::fuzz::held(); }
char* xelagt_version_text(void) { return jxel::fuzz::held(); }
void xelagt_prepare_status(xelagt_status* status) { std::memset(status, 0, sizeof *status); }
int32_t xelagt_component_setup(int32_t, const char*, int32_t) { return 0; }

int32_t xelagt_get_locale(const xelagt_locale** locale) {
    static xelagt_locale record;
    if (!agent().hasLocale) {
        *locale = nullptr;
        return -8;
    }
    record = xelagt_locale{static_cast<int32_t>(sizeof record), agent().localCodeSet};
    *locale = &record;
    return 0;
}

int32_t xelagt_convert_text(int32_t, int32_t, char** output, const char* input, xelagt_status*) {
    ++agent().conversions;
    const jxel::fuzz::Outcome outcome = agent().towardJava ? agent().fromAgent : agent().toAgent;
    if (outcome == jxel::fuzz::Outcome::kFail) return -6;
    if (outcome == jxel::fuzz::Outcome::kNoOutput) return 0;
    *output = strdup(agent().output ? agent().output->c_str() : input);
    jxel::fuzz::buffers().insert(*output);
    ++agent().liveBuffers;
    return 0;
}

void xelagt_release_buffer(void* buffer) {
    if (buffer == nullptr) return;
    if (jxel::fuzz::buffers().erase(buffer) == 1) --agent().liveBuffers;
    std::free(buffer);
}

}  // extern "C"
