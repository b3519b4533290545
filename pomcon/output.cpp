// The console library's window and output entries: CreateRxWindow and RxWinPuts on standard
// output, and the record of the line that output has left unfinished.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/std_streams.h"
#include "pomcon/console.h"
#include "pomcon/pomcon.h"

namespace pomcon {

namespace {

// A prompt longer than this is not worth showing again (it would wrap on most terminals).
constexpr std::size_t kTailLimit = 200;

// Plain data without a destructor: output and the close of the window may still come while
// the process ends, after the destructors of this library have run.
struct Tail {
    std::mutex lock;
    char text[kTailLimit];
    std::size_t size;
    bool unusable;  // the unfinished text held control characters or grew long
    int terminal;   // whether standard output is a terminal: 0 not yet known, 1 yes, 2 no
};
constinit Tail g_tail{};

void remember(const char* text, std::size_t length) {
    Tail& t = g_tail;
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.terminal == 0) t.terminal = ::isatty(STDOUT_FILENO) ? 1 : 2;
    if (t.terminal != 1) return;
    const char* end = text + length;
    const char* start = text;
    for (const char* p = end; p > text; --p) {
        if (p[-1] == '\n' || p[-1] == '\r') {
            start = p;
            t.size = 0;
            t.unusable = false;
            break;
        }
    }
    if (t.unusable) return;
    for (const char* p = start; p < end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || t.size >= kTailLimit) {
            t.size = 0;
            t.unusable = true;
            return;
        }
        t.text[t.size++] = static_cast<char>(c);
    }
}

}  // namespace

bool unfinished_line(std::string& text) {
    Tail& t = g_tail;
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.terminal != 1 || t.unusable || t.size == 0) return false;
    text.assign(t.text, t.size);
    return true;
}

void forget_unfinished_line() {
    Tail& t = g_tail;
    std::lock_guard<std::mutex> guard(t.lock);
    t.size = 0;
    t.unusable = false;
}

}  // namespace pomcon

extern "C" void* CreateRxWindow(const char*, unsigned long, int, int, int, int, void*, void*,
                                void*) {
    // The terminal is the window; a new handle per call keeps windows apart for the caller.
    static std::atomic<std::uintptr_t> serial{0};
    return reinterpret_cast<void*>(++serial);
}

extern "C" void RxWinPuts(const char* text, unsigned long length, int) {
    if (!text || length == 0) return;
    ketra::platform::write_text(STDOUT_FILENO, text, length);
    pomcon::remember(text, length);
}
