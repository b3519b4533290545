// Ctrl-C during a run: SIGINT is a halt request, as RexxSetHalt makes one. The handler is
// installed only while an outermost run is active, so that an embedding host keeps its own
// handling otherwise; a host that ignores SIGINT keeps ignoring it. A second SIGINT that arrives
// before the first was taken by a halt check puts the previous handling back and re-raises the
// signal (with the default handling the process ends, as a stuck program should).
#pragma once

#include <atomic>

namespace ketra {

namespace detail {
extern constinit std::atomic<bool> g_interrupt;
}

// Installs the handler for the life of the scope (counted: the outermost scope of the process
// installs it, the last one to end restores what was there). Made and ended under the ApiLock.
class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
};

// Requests a halt from the console (a break while reading) as SIGINT does.
inline void request_interrupt() {
    detail::g_interrupt.store(true, std::memory_order_relaxed);
}

// Takes a waiting request; a single relaxed load when there is none.
inline bool take_interrupt() {
    if (!detail::g_interrupt.load(std::memory_order_relaxed)) [[likely]]
        return false;
    return detail::g_interrupt.exchange(false, std::memory_order_relaxed);
}

}  // namespace ketra
