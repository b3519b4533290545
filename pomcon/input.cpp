// The console library's input entry RxWinGets: the terminal through the line editor, a regular
// file a line at a time without reading past the line (commands started later see the rest), a
// pipe or other device by plain reads.
#include <errno.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "pomcon/console.h"
#include "pomcon/pomcon.h"

namespace {

// A regular file: one line (or `size` bytes of it); the file offset is put back to just behind
// what was returned.
long read_file_line(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return 0;
    auto got = static_cast<std::size_t>(n);
    const char* nl = static_cast<const char*>(std::memchr(buffer, '\n', got));
    if (nl) {
        std::size_t keep = static_cast<std::size_t>(nl - buffer) + 1;
        if (keep < got) ::lseek(fd, -static_cast<off_t>(got - keep), SEEK_CUR);
        got = keep;
    }
    return static_cast<long>(got);
}

// A pipe, socket or terminal without an editor: waits in poll, which any caught signal ends
// (restarting handlers or not), so that Ctrl-C during the wait is a break.
long read_device(int fd, char* buffer, std::size_t size) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, -1);
        if (r > 0) break;
        if (r < 0 && errno == EINTR) return POMCON_BREAK;
        if (r < 0) return 0;
    }
    ssize_t n = ::read(fd, buffer, size);
    if (n < 0) return errno == EINTR ? POMCON_BREAK : 0;
    return static_cast<long>(n);
}

std::mutex& input_lock() {
    static std::mutex m;
    return m;
}

}  // namespace

extern "C" long RxWinGets(void*, char* buffer, unsigned long size) {
    if (!buffer || size == 0) return 0;
    // Room for the NUL that follows a short read; the count itself never exceeds `size`.
    std::size_t want = size > static_cast<unsigned long>(LONG_MAX) ? LONG_MAX : size;
    std::lock_guard<std::mutex> guard(input_lock());
    long n;
    struct stat st;
    if (::isatty(STDIN_FILENO) && (::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO)))
        n = pomcon::edit_line(buffer, want);
    else if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        n = read_file_line(STDIN_FILENO, buffer, want);
    else
        n = read_device(STDIN_FILENO, buffer, want);
    if (n >= 0 && static_cast<unsigned long>(n) < size) buffer[n] = '\0';
    if (n != 0) pomcon::forget_unfinished_line();
    return n;
}
