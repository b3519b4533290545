// The SIGINT handler of active runs and its installation.
#include "rexx/host/interrupt.h"

#include <signal.h>

namespace ketra {

namespace detail {
constinit std::atomic<bool> g_interrupt{false};
}

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// Written only while no handler of ours is installed; read by the handler.
struct sigaction g_previous;
int g_depth = 0;
bool g_installed = false;

void on_interrupt(int) {
    if (detail::g_interrupt.exchange(true, std::memory_order_relaxed)) {
        // The first request was not taken yet: the program does not reach halt checks.
        ::sigaction(SIGINT, &g_previous, nullptr);
        ::raise(SIGINT);
    }
}

}  // namespace

InterruptScope::InterruptScope() {
    if (g_depth++ > 0) return;
    detail::g_interrupt.store(false, std::memory_order_relaxed);
    struct sigaction now;
    if (::sigaction(SIGINT, nullptr, &now) != 0) return;
    if (!(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN) return;
    struct sigaction mine {};
    mine.sa_handler = on_interrupt;
    sigemptyset(&mine.sa_mask);
    // Restarting keeps the system calls of commands and file I/O unaware of the signal; reads
    // of the console wait in poll, which the signal ends anyway.
    mine.sa_flags = SA_RESTART;
    g_previous = now;
    g_installed = ::sigaction(SIGINT, &mine, nullptr) == 0;
}

InterruptScope::~InterruptScope() {
    if (--g_depth > 0) return;
    if (g_installed) ::sigaction(SIGINT, &g_previous, nullptr);
    g_installed = false;
    // A request that came too late for the run is not kept for the next one.
    detail::g_interrupt.store(false, std::memory_order_relaxed);
}

}  // namespace ketra
