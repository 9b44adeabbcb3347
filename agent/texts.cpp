// texts.cpp - the per-thread text buffer, error and version texts, status records and
// component set-up.
#include <cstring>
#include <new>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "agent.h"

namespace xelagt {
namespace {

#if defined(_WIN32)
// mingw's emulated thread_local frees a thread's storage before it runs the destructors
// of the objects in it, a double free at every thread exit: the buffer lives in a
// fiber-local slot instead, whose callback frees it.
void WINAPI free_thread_text(void* text) { delete static_cast<std::string*>(text); }

std::string& thread_text() {
    static const DWORD slot = FlsAlloc(free_thread_text);
    if (slot == FLS_OUT_OF_INDEXES) throw std::bad_alloc();
    auto* text = static_cast<std::string*>(FlsGetValue(slot));
    if (text == nullptr) {
        text = new std::string();
        if (!FlsSetValue(slot, text)) {
            delete text;
            throw std::bad_alloc();
        }
    }
    return *text;
}
#else
std::string& thread_text() {
    thread_local std::string text;
    return text;
}
#endif

const struct {
    int32_t status;
    const char* text;
} kErrorTexts[] = {
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
    {XELAGT_ERR_INJECTED, "failure injected by test control"},
};

}  // namespace

char* hand_out(const std::string& text) {
    std::string& buffer = thread_text();
    // A buffer far larger than the text is given back: one large text must not keep its
    // memory for the rest of the thread's life.
    if (buffer.capacity() > 2 * text.size() + 4096) std::string().swap(buffer);
    buffer.assign(text);
    return buffer.data();
}

}  // namespace xelagt

using namespace xelagt;

extern "C" {

// The two below return char* to match the agent, but callers must not write through it.
XELAGT_EXPORT char* xelagt_error_text(int32_t status) {
    int32_t injected;
    if (take_failure(XELAGT_OP_ERROR_TEXT, &injected)) return nullptr;
    for (const auto& entry : kErrorTexts) {
        if (entry.status == status) return const_cast<char*>(entry.text);
    }
    return nullptr;
}

XELAGT_EXPORT char* xelagt_version_text(void) {
    int32_t injected;
    if (take_failure(XELAGT_OP_VERSION_TEXT, &injected)) return nullptr;
    return const_cast<char*>(XELAGT_STANDIN_VERSION_TEXT);
}

XELAGT_EXPORT void xelagt_prepare_status(xelagt_status* status) {
    if (status != nullptr) std::memset(status, 0, sizeof(*status));
}

XELAGT_EXPORT int32_t xelagt_component_setup(int32_t, const char*, int32_t) {
    int32_t status;
    return take_failure(XELAGT_OP_COMPONENT_SETUP, &status) ? status : XELAGT_OK;
}

}  // extern "C"
