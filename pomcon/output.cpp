// The console library's window and output entries: CreateRxWindow and RxWinPuts on standard
// output, and the record of the line that output has left unfinished.
#include <errno.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "pomcon/console.h"
#include "pomcon/pomcon.h"

namespace pomcon {

namespace {

// A prompt longer than this is not worth showing again (it would wrap on most terminals).
constexpr std::size_t kTailLimit = 200;

struct Tail {
    std::mutex lock;
    std::string text;
    bool usable = true;  // false once the unfinished text held control characters or grew long
    int terminal = -1;   // whether standard output is a terminal: -1 not yet known
};

Tail& tail() {
    static Tail t;
    return t;
}

void remember(const char* text, std::size_t length) {
    Tail& t = tail();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.terminal < 0) t.terminal = ::isatty(STDOUT_FILENO) ? 1 : 0;
    if (!t.terminal) return;
    const char* end = text + length;
    const char* start = text;
    for (const char* p = end; p > text; --p) {
        if (p[-1] == '\n' || p[-1] == '\r') {
            start = p;
            t.text.clear();
            t.usable = true;
            break;
        }
    }
    if (!t.usable) return;
    for (const char* p = start; p < end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || t.text.size() >= kTailLimit) {
            t.text.clear();
            t.usable = false;
            return;
        }
        t.text.push_back(static_cast<char>(c));
    }
}

}  // namespace

void write_all(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t w = ::write(fd, data, length);
        if (w < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += w;
        length -= static_cast<std::size_t>(w);
    }
}

bool unfinished_line(std::string& text) {
    Tail& t = tail();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.terminal != 1 || !t.usable || t.text.empty()) return false;
    text = t.text;
    return true;
}

void forget_unfinished_line() {
    Tail& t = tail();
    std::lock_guard<std::mutex> guard(t.lock);
    t.text.clear();
    t.usable = true;
}

}  // namespace pomcon

using pomcon::write_all;

extern "C" void* CreateRxWindow(const char*, unsigned long, int, int, int, int, void*, void*,
                                void*) {
    // The terminal is the window; a new handle per call keeps windows apart for the caller.
    static std::atomic<std::uintptr_t> serial{0};
    return reinterpret_cast<void*>(++serial);
}

extern "C" void RxWinPuts(const char* text, unsigned long length, int) {
    if (!text || length == 0) return;
    const char* cr = static_cast<const char*>(std::memchr(text, '\r', length));
    if (!cr) {
        write_all(STDOUT_FILENO, text, length);
    } else {
        // "\r\n" becomes "\n"; converted in pieces so that no text needs a heap copy.
        char chunk[4096];
        std::size_t used = 0;
        for (unsigned long i = 0; i < length; ++i) {
            if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
            chunk[used++] = text[i];
            if (used == sizeof chunk) {
                write_all(STDOUT_FILENO, chunk, used);
                used = 0;
            }
        }
        if (used) write_all(STDOUT_FILENO, chunk, used);
    }
    pomcon::remember(text, length);
}
