// A stand-in for the console library that records what the REXX library asks of it: one line
// per call in the file named by FAKE_POMCON_LOG. With FAKE_POMCON_FAIL set, no window can be
// created; with FAKE_POMCON_BREAK set, every read is a break (the user pressed Ctrl-C). Output
// still reaches standard output, input comes from standard input.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

void record(const std::string& line) {
    const char* path = getenv("FAKE_POMCON_LOG");
    if (!path) return;
    if (FILE* f = fopen(path, "a")) {
        fputs(line.c_str(), f);
        fputc('\n', f);
        fclose(f);
    }
}

// Loading is worth a line of its own: runs with an I/O exit must not load the library at all.
__attribute__((constructor)) void loaded() {
    record("load");
}

unsigned long g_serial = 0;

}  // namespace

extern "C" __attribute__((visibility("default"))) void* CreateRxWindow(const char* title,
                                                                       unsigned long style, int x,
                                                                       int y, int width, int height,
                                                                       void* parent, void* module,
                                                                       void* param) {
    char line[512];
    snprintf(line, sizeof line,
             "create '%s' style=%08lX x=%d y=%d w=%d h=%d parent=%s module=%s "
             "param=%s",
             title, style, x, y, width, height, parent ? "set" : "none", module ? "set" : "none",
             param ? "set" : "none");
    record(line);
    if (getenv("FAKE_POMCON_FAIL")) return nullptr;
    return reinterpret_cast<void*>(++g_serial);
}

extern "C" __attribute__((visibility("default"))) void RxWinPuts(const char* text,
                                                                 unsigned long length, int flag) {
    std::string shown(text, length);
    for (char& c : shown)
        if (c == '\n')
            c = '|';
        else if (c == '\r')
            c = '^';
    record("puts " + std::to_string(flag) + " " + shown);
    [[maybe_unused]] ssize_t w = write(STDOUT_FILENO, text, length);
}

extern "C" __attribute__((visibility("default"))) long RxWinGets(void*, char* buffer,
                                                                 unsigned long size) {
    if (getenv("FAKE_POMCON_BREAK")) {
        record("gets break");
        return -2;
    }
    ssize_t n = read(STDIN_FILENO, buffer, size);
    record("gets " + std::to_string(n));
    return n < 0 ? 0 : static_cast<long>(n);
}

extern "C" __attribute__((visibility("default"))) void RxWinClose(void* window) {
    record("close " + std::to_string(reinterpret_cast<unsigned long>(window)));
}
