// The process-wide ApiLock, its per-thread depth, and the count of threads waiting for it (which
// lets the interpreter's between-clause yield skip the unlock and relock when nobody waits).
#include "platform/lock.h"

#include <atomic>
#include <thread>

namespace ketra::platform {

constinit std::atomic<int> detail::g_api_waiters{0};

namespace {
thread_local int t_depth = 0;

// Takes the mutex once, counting this thread among the waiters while it blocks.
void lock_counted(std::recursive_mutex& lock) {
    if (lock.try_lock()) return;
    detail::g_api_waiters.fetch_add(1, std::memory_order_relaxed);
    lock.lock();
    detail::g_api_waiters.fetch_sub(1, std::memory_order_relaxed);
}
}  // namespace

std::recursive_mutex& api_lock() {
    static std::recursive_mutex lock;
    return lock;
}

void api_enter() {
    lock_counted(api_lock());
    ++t_depth;
}

void api_leave() {
    if (t_depth <= 0) return;  // not held by this thread: unlocking would be undefined
    --t_depth;
    api_lock().unlock();
}

int api_lock_depth() {
    return t_depth;
}

ApiUnlock::ApiUnlock() : depth_(t_depth) {
    for (int i = 0; i < depth_; ++i) api_lock().unlock();
    t_depth = 0;
}

ApiUnlock::~ApiUnlock() {
    if (depth_ > 0) {
        auto& lock = api_lock();
        lock_counted(lock);
        for (int i = 1; i < depth_; ++i) lock.lock();  // recursive: cannot block now
    }
    t_depth = depth_;
}

void api_yield() {
    if (!api_contended()) return;
    ApiUnlock unlocked;
    // The waiter needs a moment to wake and take the mutex; without this the releasing thread
    // usually takes it straight back.
    std::this_thread::yield();
}

}  // namespace ketra::platform
