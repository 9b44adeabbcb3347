// One ordered record of the JNI and agent calls a test makes, so a test can
// assert their exact sequence.
#ifndef JXEL_TESTS_TRACE_H
#define JXEL_TESTS_TRACE_H

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

}  // namespace jxel::test

#endif  // JXEL_TESTS_TRACE_H
