// The process-wide ApiLock and its per-thread depth.
#include "platform/lock.h"

namespace ketra::platform {

namespace {
thread_local int t_depth = 0;
}

std::recursive_mutex& api_lock() {
    static std::recursive_mutex lock;
    return lock;
}

void api_enter() {
    api_lock().lock();
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
    for (int i = 0; i < depth_; ++i) api_lock().lock();
    t_depth = depth_;
}

}  // namespace ketra::platform
