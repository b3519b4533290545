// The lines of a run on the console: SAY output, terminal input for PULL and debug input, each
// offered to the run's RXSIO exit first; and the default input buffer that PULL, PARSE LINEIN
// and the default stream share, filled from the I/O window.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

#include "rexx/host/console.h"
#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/registration.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

// Console input not yet handed out. Shared by every run of the process, as the window is.
struct InputBuffer {
    char data[4096];
    std::size_t start;
    std::size_t end;
};
constinit InputBuffer g_input{};

// Refills the buffer from the window; false at the end of the input or after a break.
bool fill_input() {
    long n = read_io_window(current_instance() ? current_instance()->owner_window : nullptr,
                            g_input.data, sizeof g_input.data);
    if (n <= 0) return false;
    g_input.start = 0;
    g_input.end = static_cast<std::size_t>(n);
    return true;
}

// Calls the run's RXSIO exit with a parameter block; the exit's return code, or 1 (not
// handled) when the run has none.
LONG call_sio_exit(ExecInstance* inst, LONG subfunction, void* parm) {
    if (!inst) return RXEXIT_NOT_HANDLED;
    ExitEntry handler = inst->exits[RXSIO].handler;
    if (!handler) return RXEXIT_NOT_HANDLED;
    HostCall call;
    return handler(RXSIO, subfunction, static_cast<PEXIT>(parm));
}

// A read exit's answer: the line in its result string (a block the exit allocated in place of
// the buffer is taken and released).
Value exit_line(const RXSTRING& r, const char* buffer) {
    Value v = r.strptr ? make_value(r.strptr, r.strlength, true) : kNullString;
    if (r.strptr && r.strptr != buffer) RexxFreeMemory(r.strptr);
    return v;
}

// A line read through an exit with a buffer of `Size` bytes, or nothing when the exit did not
// handle it; -1 (also as an unsigned 16-bit code) is error 48.
template <std::size_t Size, typename Parm>
bool read_through_exit(ExecInstance* inst, LONG subfunction, RXSTRING Parm::*result, Value& line) {
    if (!inst || !inst->exits[RXSIO].handler) return false;
    char buffer[Size];
    Parm parm;
    (parm.*result).strptr = buffer;
    (parm.*result).strlength = Size;
    LONG rc = call_sio_exit(inst, subfunction, &parm);
    if (rc == RXEXIT_RAISE_ERROR || rc == 65535) error(48);
    if (rc != RXEXIT_HANDLED) return false;
    line = exit_line(parm.*result, buffer);
    return true;
}

Value line_value(const LineBuffer& line) {
    return make_value(line.data(), line.size(), true);
}

}  // namespace

void LineBuffer::append(const char* bytes, std::size_t n) {
    if (n == 0) return;
    if (size_ + n > capacity_) {
        std::size_t cap = capacity_;
        while (cap < size_ + n) cap *= 2;
        auto grown = std::make_unique<char[]>(cap);
        std::memcpy(grown.get(), data(), size_);
        heap_ = std::move(grown);
        capacity_ = cap;
    }
    std::memcpy((heap_ ? heap_.get() : small_) + size_, bytes, n);
    size_ += n;
}

bool read_default_line(LineBuffer& line) {
    bool got = false;
    for (;;) {
        if (g_input.start == g_input.end) {
            if (!fill_input()) break;
        }
        got = true;
        const char* p = g_input.data + g_input.start;
        std::size_t avail = g_input.end - g_input.start;
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', avail));
        std::size_t take = nl ? static_cast<std::size_t>(nl - p) : avail;
        line.append(p, take);
        g_input.start += take + (nl ? 1 : 0);
        if (nl) break;
    }
    if (line.size() && line.data()[line.size() - 1] == '\r') line.drop_last();
    return got;
}

std::size_t default_input_read(char* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (g_input.start == g_input.end) {
            // Only the first piece waits; later ones would block a reader that has enough.
            if (done > 0 || !fill_input()) break;
        }
        std::size_t take = g_input.end - g_input.start;
        if (take > n - done) take = n - done;
        std::memcpy(buffer + done, g_input.data + g_input.start, take);
        g_input.start += take;
        done += take;
    }
    return done;
}

std::size_t default_input_buffered() {
    return g_input.end - g_input.start;
}

std::size_t console_read(char* buffer, std::size_t n) {
    return default_input_read(buffer, n);
}

bool console_input_pending() {
    if (default_input_buffered()) return true;
    int waiting = 0;
    if (::ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0 && waiting > 0) return true;
    return false;
}

void console_write(const char* text, std::size_t n) {
    write_io_window(text, static_cast<unsigned long>(n), halt_write_flag());
}

void console_line_end() {
    write_io_window("\n", 1, kWriteLineEnd);
}

int console_line_size() {
    winsize ws{};
    for (int fd : {STDOUT_FILENO, STDERR_FILENO, STDIN_FILENO})
        if (::ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

bool say_text(ExecInstance* inst, const char* text, std::size_t n) {
    if (inst && inst->exits[RXSIO].handler) {
        RXSIOSAY_PARM parm;
        parm.rxsio_string.strptr = const_cast<char*>(text);
        parm.rxsio_string.strlength = static_cast<ULONG>(n);
        LONG rc = call_sio_exit(inst, RXSIOSAY, &parm);
        if (rc == RXEXIT_RAISE_ERROR || rc == 65535) return false;
        if (rc == RXEXIT_HANDLED) return true;
    }
    // A short line goes out with its line end in one write, so that lines stay whole when
    // other processes write to the same terminal.
    char buf[1024];
    if (n < sizeof buf) {
        if (n) std::memcpy(buf, text, n);
        buf[n] = '\n';
        write_io_window(buf, static_cast<unsigned long>(n + 1), halt_write_flag());
    } else {
        write_io_window(text, static_cast<unsigned long>(n), halt_write_flag());
        write_io_window("\n", 1, kWriteLineEnd);
    }
    return true;
}

Value read_terminal_line(ExecInstance* inst) {
    Value line;
    if (read_through_exit<4096>(inst, RXSIOTRD, &RXSIOTRD_PARM::rxsiotrd_retc, line)) return line;
    LineBuffer buffer;
    read_default_line(buffer);
    return line_value(buffer);
}

Value read_debug_line(ExecInstance* inst) {
    Value line;
    if (read_through_exit<256>(inst, RXSIODTR, &RXSIODTR_PARM::rxsiodtr_retc, line)) return line;
    write_io_window("\n", 1, kWriteLineEnd);
    write_io_window("? ", 2, halt_write_flag());
    LineBuffer buffer;
    read_default_line(buffer);
    return line_value(buffer);
}

}  // namespace ketra
