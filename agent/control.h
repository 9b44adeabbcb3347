// control.h - failure injection shared by the operations (internal).
#ifndef XELAGT_CONTROL_H
#define XELAGT_CONTROL_H

#include <atomic>
#include <cstdint>

namespace xelagt {

// Set while any failure may be armed; keeps the check to one relaxed load on the hot path.
extern std::atomic<bool> g_failures_armed;

bool take_failure_armed(int32_t op, int32_t* status) noexcept;

// True when an injected failure is due for op (an XELAGT_OP_ ordinal); *status gets its status.
inline bool take_failure(int32_t op, int32_t* status) noexcept {
    return g_failures_armed.load(std::memory_order_relaxed) && take_failure_armed(op, status);
}

// True when the current successful conversion is to give no output (takes one from the count).
bool take_no_output() noexcept;

}  // namespace xelagt

#endif  // XELAGT_CONTROL_H
