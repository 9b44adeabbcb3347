// convert.cpp - text conversion and the buffers it hands out.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "agent.h"

namespace xelagt {
namespace {

// The converted texts handed out and not yet released: release also takes buffers the
// agent never made, and must count only its own.
struct Buffers {
    std::mutex mutex;
    std::unordered_set<void*> live;
};

// Never destroyed: threads may still release buffers while the process exits.
Buffers& buffers() {
    static Buffers* const instance = new Buffers();
    return *instance;
}

// Converts, then proves nothing was lost: text converted into a code set other than
// UTF-8 must convert back unchanged. iconv drops Unicode tag characters and writes
// U+00A5 into CP932 as 5C without an error; Windows writes U+F8F0 into 932 as FD, which
// does not come back.
int32_t convert_checked(int32_t target, int32_t source, const char* input, char** output) {
    char* converted = nullptr;
    int32_t status = platform_convert(target, source, input, &converted);
    if (status != XELAGT_OK || target == XELAGT_CODESET_UTF8) {
        *output = converted;
        return status;
    }
    char* back = nullptr;
    status = platform_convert(source, target, converted, &back);
    const bool same = status == XELAGT_OK && std::strcmp(back, input) == 0;
    std::free(back);
    if (!same) {
        std::free(converted);
        return status == XELAGT_ERR_OUT_OF_MEMORY ? status : XELAGT_ERR_CONVERSION;
    }
    *output = converted;
    return XELAGT_OK;
}

int32_t convert(int32_t target, int32_t source, char** output, const char* input) {
    int32_t status;
    if (take_failure(XELAGT_OP_CONVERT_TEXT, &status)) {
        if (output != nullptr) *output = nullptr;
        return status;
    }
    if (output == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    *output = nullptr;
    if (input == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    // Nothing to do, so nothing is checked either, not even the code set.
    if (target == source) return XELAGT_OK;
    if (find_codeset(target) == nullptr || find_codeset(source) == nullptr) {
        return XELAGT_ERR_UNKNOWN_CODESET;
    }
    char* converted = nullptr;
    status = convert_checked(target, source, input, &converted);
    if (status != XELAGT_OK) return status;
    if (take_no_output()) {
        std::free(converted);
        return XELAGT_OK;
    }
    try {
        std::lock_guard<std::mutex> lock(buffers().mutex);
        buffers().live.insert(converted);
    } catch (...) {
        std::free(converted);
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
    *output = converted;
    return XELAGT_OK;
}

}  // namespace
}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT int32_t xelagt_convert_text(int32_t target, int32_t source, char** output,
                                          const char* input, xelagt_status* status) {
    const int32_t result = convert(target, source, output, input);
    if (status != nullptr) {
        // The record keeps the last outcome, in its first four bytes.
        std::memset(status, 0, sizeof(*status));
        std::memcpy(status->opaque, &result, sizeof(result));
    }
    return result;
}

XELAGT_EXPORT void xelagt_release_buffer(void* buffer) {
    if (buffer == nullptr) return;
    {
        // Forgotten before it is freed, so a new buffer at the same address is not.
        std::lock_guard<std::mutex> lock(buffers().mutex);
        buffers().live.erase(buffer);
    }
    std::free(buffer);
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_live_buffers(void) {
    std::lock_guard<std::mutex> lock(buffers().mutex);
    return static_cast<int64_t>(buffers().live.size());
}

}  // extern "C"
