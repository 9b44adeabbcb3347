// texts.cpp - error and version texts, the per-thread text buffer, status records and
// component set-up.
#include <cstring>
#include <new>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "control.h"
#include "export.h"
#include "standin.h"
#include "text_buffer.h"

namespace xelagt {

namespace {

#if defined(_WIN32)
// mingw's emulated thread_local frees a thread's storage before it runs the
// destructors of the objects in it, a double free at every thread exit: the
// buffer lives in a fiber-local slot instead, whose callback frees it.
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
thread_local std::string t_text;

std::string& thread_text() { return t_text; }
#endif

// The name the calling thread announced itself with; truncated to fit.
thread_local char t_component[128];

}  // namespace

char* hand_out(const std::string& text) {
    std::string& buffer = thread_text();
    buffer.assign(text);
    return buffer.data();
}

}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT char* xelagt_error_text(int32_t status) {
    int32_t injected;
    if (take_failure(XELAGT_OP_ERROR_TEXT, &injected)) return nullptr;
    const char* text = nullptr;
    switch (status) {
        case XELAGT_OK:
            text = "success";
            break;
        case XELAGT_ERR_INVALID_HANDLE:
            text = "invalid data object handle";
            break;
        case XELAGT_ERR_INVALID_TYPE:
            text = "unknown data object type";
            break;
        case XELAGT_ERR_NULL_TEXT:
            text = "no text given";
            break;
        case XELAGT_ERR_NOT_A_LIST:
            text = "attribute is not a list";
            break;
        case XELAGT_ERR_NO_ELEMENT:
            text = "no such list element";
            break;
        case XELAGT_ERR_CONVERSION:
            text = "text cannot be converted";
            break;
        case XELAGT_ERR_UNKNOWN_CODESET:
            text = "unknown code set";
            break;
        case XELAGT_ERR_BAD_ARGUMENT:
            text = "invalid argument";
            break;
        case XELAGT_ERR_OUT_OF_MEMORY:
            text = "out of memory";
            break;
        case XELAGT_ERR_INJECTED:
            text = "failure injected by test control";
            break;
        default:
            break;
    }
    // The operation returns char* but callers must not write through it.
    return const_cast<char*>(text);
}

XELAGT_EXPORT char* xelagt_version_text(void) {
    int32_t injected;
    if (take_failure(XELAGT_OP_VERSION_TEXT, &injected)) return nullptr;
    return const_cast<char*>(XELAGT_STANDIN_VERSION_TEXT);
}

XELAGT_EXPORT void xelagt_prepare_status(xelagt_status* status) {
    if (status != nullptr) std::memset(status, 0, sizeof(*status));
}

XELAGT_EXPORT int32_t xelagt_component_setup(int32_t reserved, const char* component,
                                             int32_t flags) {
    (void)reserved;
    (void)flags;
    int32_t status;
    if (take_failure(XELAGT_OP_COMPONENT_SETUP, &status)) return status;
    if (component == nullptr) {
        t_component[0] = '\0';
    } else {
        size_t n = 0;
        for (; n + 1 < sizeof(t_component) && component[n] != '\0'; ++n) {
            t_component[n] = component[n];
        }
        t_component[n] = '\0';
    }
    return XELAGT_OK;
}

}  // extern "C"
