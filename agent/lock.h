// lock.h - the stand-in's lock (internal): std::mutex, or on Windows a slim reader/writer
// lock. The Windows cross build uses the win32 thread model, whose libstdc++ has no
// std::mutex (the posix model's needs winpthread, which is built for msvcrt.dll only).
#ifndef XELAGT_LOCK_H
#define XELAGT_LOCK_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace xelagt {

// Satisfies Lockable's lock and unlock, for std::lock_guard.
class Mutex {
  public:
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace xelagt
#else
#include <mutex>

namespace xelagt {
using Mutex = std::mutex;
}  // namespace xelagt
#endif

#endif  // XELAGT_LOCK_H
