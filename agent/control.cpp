// control.cpp - test control: injected failures and suppressed conversion output.
#include "control.h"

#include <mutex>

#include "export.h"
#include "standin.h"

namespace xelagt {

std::atomic<bool> g_failures_armed{false};

namespace {

// Operations that report a status or a text and so can be made to fail. The two
// void operations (prepare status, release buffer) have nothing to report.
constexpr int32_t kFailableOps[] = {XELAGT_OP_CREATE,
                                    XELAGT_OP_FREE,
                                    XELAGT_OP_GET_INTEGER,
                                    XELAGT_OP_GET_STRING,
                                    XELAGT_OP_SET_INTEGER,
                                    XELAGT_OP_SET_STRING,
                                    XELAGT_OP_SET_DOUBLE,
                                    XELAGT_OP_ERROR_TEXT,
                                    XELAGT_OP_COPY,
                                    XELAGT_OP_TYPE,
                                    XELAGT_OP_DELETE_LIST,
                                    XELAGT_OP_ADD_LIST,
                                    XELAGT_OP_LIST_LENGTH,
                                    XELAGT_OP_GET_LIST_STRING,
                                    XELAGT_OP_SET_LIST_STRING,
                                    XELAGT_OP_VERSION_TEXT,
                                    XELAGT_OP_GET_LOCALE,
                                    XELAGT_OP_COMPONENT_SETUP,
                                    XELAGT_OP_CONVERT};
constexpr int kOpCount = sizeof(kFailableOps) / sizeof(kFailableOps[0]);

struct Injection {
    std::atomic<int32_t> count{0};
    std::atomic<int32_t> status{0};
};

Injection g_injections[kOpCount];
std::atomic<int32_t> g_no_output{0};
// Serialises the writers of g_failures_armed, so clearing it after the last failure is
// taken cannot hide one armed at the same time.
std::mutex g_armed_mutex;

int op_index(int32_t op) noexcept {
    for (int i = 0; i < kOpCount; ++i) {
        if (kFailableOps[i] == op) return i;
    }
    return -1;
}

// Takes one from a positive counter; false when it is already 0.
bool take_one(std::atomic<int32_t>& counter) noexcept {
    int32_t n = counter.load(std::memory_order_acquire);
    while (n > 0) {
        if (counter.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel)) return true;
    }
    return false;
}

void recompute_armed_locked() noexcept {
    bool any = false;
    for (const Injection& inj : g_injections) {
        any = any || inj.count.load(std::memory_order_acquire) > 0;
    }
    g_failures_armed.store(any, std::memory_order_release);
}

}  // namespace

bool take_failure_armed(int32_t op, int32_t* status) noexcept {
    int i = op_index(op);
    if (i < 0) return false;
    Injection& inj = g_injections[i];
    if (!take_one(inj.count)) return false;
    *status = inj.status.load(std::memory_order_acquire);
    if (inj.count.load(std::memory_order_acquire) == 0) {
        std::lock_guard<std::mutex> lock(g_armed_mutex);
        recompute_armed_locked();
    }
    return true;
}

bool take_no_output() noexcept {
    return g_no_output.load(std::memory_order_relaxed) > 0 && take_one(g_no_output);
}

}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT_NAMED int32_t xelagt_test_fail_next(int32_t op, int32_t count, int32_t status) {
    int i = op_index(op);
    if (i < 0 || count < 0) return XELAGT_ERR_BAD_ARGUMENT;
    std::lock_guard<std::mutex> lock(g_armed_mutex);
    // Status first, so a caller that sees the count also sees its status.
    g_injections[i].status.store(status, std::memory_order_release);
    g_injections[i].count.store(count, std::memory_order_release);
    if (count > 0) {
        g_failures_armed.store(true, std::memory_order_release);
    } else {
        recompute_armed_locked();
    }
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_no_output_next(int32_t count) {
    if (count < 0) return XELAGT_ERR_BAD_ARGUMENT;
    g_no_output.store(count, std::memory_order_release);
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED void xelagt_test_reset_failures(void) {
    std::lock_guard<std::mutex> lock(g_armed_mutex);
    for (Injection& inj : g_injections) inj.count.store(0, std::memory_order_release);
    g_no_output.store(0, std::memory_order_release);
    g_failures_armed.store(false, std::memory_order_release);
}

}  // extern "C"
