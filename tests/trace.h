// One ordered record of the JNI and agent calls a test makes, so a test can
// assert their exact sequence.
#ifndef JXEL_TESTS_TRACE_H
#define JXEL_TESTS_TRACE_H

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "threads.h"

namespace jxel::test {

class Trace {
  public:
    void add(std::string entry) {
        std::lock_guard<Mutex> lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> take() {
        std::lock_guard<Mutex> lock(mutex_);
        return std::move(entries_);
    }
    void clear() { take(); }

  private:
    Mutex mutex_;
    std::vector<std::string> entries_;
};

Trace& trace();

// A text as the trace shows it, in quotes. One longer than 256 bytes shows as
// its first and last 16 bytes and its length, so that a regression handing
// gigabytes to the agent or the JVM fails without keeping or printing them.
inline std::string quoted(const char* text) {
    if (text == nullptr) return "<null>";
    constexpr std::size_t kWhole = 256, kEnds = 16;
    const std::size_t length = std::strlen(text);
    if (length <= kWhole) return '"' + std::string(text, length) + '"';
    return '"' + std::string(text, kEnds) + "\"..." + std::to_string(length) + " bytes...\"" +
           std::string(text + length - kEnds, kEnds) + '"';
}

}  // namespace jxel::test

#endif  // JXEL_TESTS_TRACE_H
