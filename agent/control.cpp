// control.cpp - test control: injected failures and suppressed conversion output.
#include <atomic>
#include <map>
#include <mutex>

#include "agent.h"
#include "lock.h"

namespace xelagt {
namespace {

struct Injection {
    int32_t count;
    int32_t status;
};

struct Control {
    Mutex mutex;
    std::map<int32_t, Injection> injections;  // by operation ordinal; only counts above 0
    int32_t no_output = 0;
    // injections.size(), written under the mutex: every call asks, and most find none
    // without taking the lock.
    std::atomic<size_t> armed{0};
};

// Never destroyed: threads may still call in while the process exits.
Control& control() {
    static Control* const instance = new Control();
    return *instance;
}

// Operations that report a status or a text; the two of kind "none" cannot fail.
bool failable(int32_t op) {
#define XELAGT_FAILABLE(ordinal, name, constant, kind) || (op == (ordinal) && #kind[0] != 'n')
    return false XELAGT_OPERATIONS(XELAGT_FAILABLE);
#undef XELAGT_FAILABLE
}

}  // namespace

bool take_failure(int32_t op, int32_t* status) noexcept {
    Control& c = control();
    if (c.armed.load() == 0) return false;
    std::lock_guard<Mutex> lock(c.mutex);
    auto it = c.injections.find(op);
    if (it == c.injections.end()) return false;
    *status = it->second.status;
    if (--it->second.count == 0) c.injections.erase(it);
    c.armed.store(c.injections.size());
    return true;
}

bool take_no_output() noexcept {
    Control& c = control();
    std::lock_guard<Mutex> lock(c.mutex);
    if (c.no_output == 0) return false;
    --c.no_output;
    return true;
}

}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT_NAMED int32_t xelagt_test_fail_next(int32_t op, int32_t count, int32_t status) {
    if (!failable(op) || count < 0) return XELAGT_ERR_BAD_ARGUMENT;
    Control& c = control();
    std::lock_guard<Mutex> lock(c.mutex);
    try {
        if (count == 0) {
            c.injections.erase(op);
        } else {
            c.injections[op] = {count, status};
        }
        c.armed.store(c.injections.size());
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_no_output_next(int32_t count) {
    if (count < 0) return XELAGT_ERR_BAD_ARGUMENT;
    std::lock_guard<Mutex> lock(control().mutex);
    control().no_output = count;
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED void xelagt_test_reset_failures(void) {
    std::lock_guard<Mutex> lock(control().mutex);
    control().injections.clear();
    control().armed.store(0);
    control().no_output = 0;
}

}  // extern "C"
