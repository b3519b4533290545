// The REXX I/O window on this platform: the terminal. Program output goes to standard output.
#include <unistd.h>

#include "rexx/host/hooks.h"

namespace ketra {

bool create_io_window() { return true; }

void write_io_window(const char* text, unsigned long length) {
    while (length > 0) {
        ssize_t w = ::write(STDOUT_FILENO, text, length);
        if (w <= 0) return;
        text += w;
        length -= static_cast<unsigned long>(w);
    }
}

}  // namespace ketra
