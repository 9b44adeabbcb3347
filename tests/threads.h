// threads.h - threads and a lock for the tests: std::thread and the stand-in's lock (a
// std::mutex), or on Windows the C runtime's threads and the stand-in's slim reader/writer
// lock. The Windows cross build uses the win32 thread model, whose libstdc++ has neither
// std::thread nor std::mutex.
#ifndef JXEL_TEST_THREADS_H
#define JXEL_TEST_THREADS_H

#include "../agent/lock.h"

#if defined(_WIN32)
#include <process.h>  // windows.h comes with lock.h

#include <cerrno>
#include <exception>
#include <functional>
#include <memory>
#include <system_error>
#include <utility>

namespace jxel::test {

using Mutex = xelagt::Mutex;

// What the tests use of std::thread: started by the C runtime (_beginthreadex, as
// std::thread does), joined before it is destroyed.
class Thread {
  public:
    Thread() = default;
    template <typename Function>
    explicit Thread(Function function) {
        auto body = std::make_unique<std::function<void()>>(std::move(function));
        const uintptr_t handle = _beginthreadex(nullptr, 0, &run, body.get(), 0, nullptr);
        if (handle == 0) throw std::system_error(errno, std::generic_category(), "_beginthreadex");
        body.release();  // run() owns it now
        handle_ = reinterpret_cast<HANDLE>(handle);
    }
    Thread(Thread&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Thread& operator=(Thread&& other) noexcept {
        if (handle_ != nullptr) std::terminate();
        handle_ = std::exchange(other.handle_, nullptr);
        return *this;
    }
    ~Thread() {
        if (handle_ != nullptr) std::terminate();
    }
    bool joinable() const noexcept { return handle_ != nullptr; }
    void join() {
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    static unsigned __stdcall run(void* body) {
        std::unique_ptr<std::function<void()>> function(static_cast<std::function<void()>*>(body));
        (*function)();
        return 0;
    }
    HANDLE handle_ = nullptr;
};

}  // namespace jxel::test
#else
#include <thread>

namespace jxel::test {
using Mutex = xelagt::Mutex;
using Thread = std::thread;
}  // namespace jxel::test
#endif

#endif  // JXEL_TEST_THREADS_H
