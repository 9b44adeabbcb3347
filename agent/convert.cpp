// convert.cpp - text conversion and the buffers it hands out.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <malloc.h>  // _get_heap_handle
#include <windows.h>
#endif

#include "agent.h"
#include "lock.h"

namespace xelagt {
namespace {

// The converted texts handed out and not yet released: release also takes buffers the
// agent never made, and must count only its own.
struct Buffers {
    Mutex mutex;
    std::unordered_set<void*> live;
};

// Never destroyed: threads may still release buffers while the process exits.
Buffers& buffers() {
    static Buffers* const instance = new Buffers();
    return *instance;
}

// Blocks given to release buffer that this DLL's C runtime did not allocate.
std::atomic<int64_t> foreign_blocks{0};

// Whether free() may take the block. On Windows each C runtime has a heap of its own
// (msvcrt.dll a private one, the UCRT the process heap), and freeing another runtime's
// block corrupts a heap: the block must be one of this runtime's heap. HeapValidate gives
// the answer for any block, where _msize under Wine answers for large blocks of any heap.
bool allocated_here(void* block) noexcept {
#if defined(_WIN32)
    return HeapValidate(reinterpret_cast<HANDLE>(_get_heap_handle()), 0, block) != 0;
#else
    (void)block;
    return true;
#endif
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
        std::lock_guard<Mutex> lock(buffers().mutex);
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
        std::lock_guard<Mutex> lock(buffers().mutex);
        buffers().live.erase(buffer);
    }
    // Counted and kept: a leak is what the caller's mistake may cost, not a heap.
    if (!allocated_here(buffer)) {
        foreign_blocks.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    std::free(buffer);
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_foreign_buffers(void) {
    return foreign_blocks.load(std::memory_order_relaxed);
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_live_buffers(void) {
    std::lock_guard<Mutex> lock(buffers().mutex);
    return static_cast<int64_t>(buffers().live.size());
}

}  // extern "C"
