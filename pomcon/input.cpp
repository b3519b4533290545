// The console library's input entries: RxWinGets (the terminal through the line editor, a
// regular file a line at a time without reading past the line, so that commands started later
// see the rest, a pipe or other device by plain reads) and RxWinClose, which ends the editor.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "platform/std_streams.h"
#include "pomcon/console.h"
#include "pomcon/pomcon.h"

namespace {

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
    if (::isatty(STDIN_FILENO) && (::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO)))
        n = pomcon::edit_line(buffer, want);
    else
        n = ketra::platform::read_input(STDIN_FILENO, buffer, want);
    if (n >= 0 && static_cast<unsigned long>(n) < size) buffer[n] = '\0';
    if (n != 0) pomcon::forget_unfinished_line();
    return n;
}

extern "C" void RxWinClose(void*) {
    // Every window is the one terminal: closing one puts the terminal back as the editor found
    // it, and a later read starts a new editor. A read in progress on another thread keeps its
    // editor (the close must not wait for the user).
    std::unique_lock<std::mutex> guard(input_lock(), std::try_to_lock);
    if (guard.owns_lock()) pomcon::end_editor();
    pomcon::forget_unfinished_line();
}
