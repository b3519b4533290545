// The process-wide ApiLock: one recursive mutex that serialises all runs and API calls of the
// process, with a per-thread depth so that the lock can be left completely around a call into
// host code (exits, handlers, process waits, console reads) and re-entered to the same depth.
//
// Always take the lock through api_enter()/api_leave() or the guards below, never by locking
// api_lock() directly, or the depth kept for ApiUnlock goes wrong.
#pragma once

#include <atomic>
#include <mutex>

namespace ketra::platform {

std::recursive_mutex& api_lock();

// Enters / leaves the lock once, counting the calling thread's depth.
void api_enter();
void api_leave();
// How many times the calling thread holds the lock (0 when it does not).
int api_lock_depth();

// Gives the lock to any thread that waits for it and takes it back to the same depth. Costs one
// relaxed atomic load when no thread waits, so it can run between every two clauses.
void api_yield();

namespace detail {
extern std::atomic<int> g_api_waiters;
}
// Whether another thread is blocked on the lock now.
inline bool api_contended() {
    return detail::g_api_waiters.load(std::memory_order_relaxed) != 0;
}

// Holds the lock for a scope.
class ApiLockGuard {
  public:
    ApiLockGuard() { api_enter(); }
    ~ApiLockGuard() { api_leave(); }
    ApiLockGuard(const ApiLockGuard&) = delete;
    ApiLockGuard& operator=(const ApiLockGuard&) = delete;
};

// Leaves the lock fully (every level this thread holds) for a scope, and enters it again to the
// same depth at the end. Harmless when the thread does not hold the lock.
class ApiUnlock {
  public:
    ApiUnlock();
    ~ApiUnlock();
    ApiUnlock(const ApiUnlock&) = delete;
    ApiUnlock& operator=(const ApiUnlock&) = delete;

  private:
    int depth_;
};

}  // namespace ketra::platform
