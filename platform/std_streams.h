// The process's standard streams as a console: writing text with the platform's line ends and
// reading input without taking more than a line from a regular file. Header-only, because both
// the REXX library (its own console when the console library is not used) and the console
// library itself, which links nothing of the project, read and write the same way.
#pragma once

#include <errno.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace ketra::platform {

// The result of a console read that a signal interrupted (Ctrl-C): a break.
inline constexpr long kReadBreak = -2;

// Writes all of the bytes, going on after interrupted writes; gives up on any other failure.
inline void write_all(int fd, const char* data, std::size_t length) {
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

// Writes text whose lines may end in "\r\n" as lines ending in "\n"; converted in pieces so
// that no text needs a heap copy.
inline void write_text(int fd, const char* text, std::size_t length) {
    if (!std::memchr(text, '\r', length)) {
        write_all(fd, text, length);
        return;
    }
    char chunk[4096];
    std::size_t used = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
        chunk[used++] = text[i];
        if (used == sizeof chunk) {
            write_all(fd, chunk, used);
            used = 0;
        }
    }
    if (used) write_all(fd, chunk, used);
}

// A regular file: one line (or `size` bytes of it), the file offset put back to just behind
// what was returned, so that commands started later read on from there.
inline long read_file_line(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return 0;
    auto got = static_cast<std::size_t>(n);
    if (const char* nl = static_cast<const char*>(std::memchr(buffer, '\n', got))) {
        std::size_t keep = static_cast<std::size_t>(nl - buffer) + 1;
        if (keep < got) ::lseek(fd, -static_cast<off_t>(got - keep), SEEK_CUR);
        got = keep;
    }
    return static_cast<long>(got);
}

// A pipe, socket or terminal: what one read gives. The wait is in poll, which any caught
// signal ends (restarting handlers or not), so that Ctrl-C during the wait is a break.
inline long read_device(int fd, char* buffer, std::size_t size) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, -1);
        if (r > 0) break;
        if (r < 0 && errno == EINTR) return kReadBreak;
        if (r < 0) return 0;
    }
    ssize_t n = ::read(fd, buffer, size);
    if (n < 0) return errno == EINTR ? kReadBreak : 0;
    return static_cast<long>(n);
}

// Reads console input from a descriptor that is not edited: a line of a regular file, else
// what the device gives. The count, 0 at the end of the input, kReadBreak for a break.
inline long read_input(int fd, char* buffer, std::size_t size) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return read_file_line(fd, buffer, size);
    return read_device(fd, buffer, size);
}

}  // namespace ketra::platform
