// User notifications on a terminal system: standard error for boxes, /dev/tty for questions.
#include "platform/notify.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform/std_streams.h"

namespace ketra::platform {

namespace {

void write_fd(int fd, std::string_view data) {
    write_all(fd, data.data(), data.size());
}

std::string line_of(std::string_view title, std::string_view text) {
    std::string line;
    line.reserve(title.size() + text.size() + 3);
    line.append(title);
    line.append(": ");
    line.append(text);
    line.push_back('\n');
    return line;
}

}  // namespace

void message_box(std::string_view title, std::string_view text) {
    try {
        write_fd(STDERR_FILENO, line_of(title, text));
    } catch (...) {
        write_fd(STDERR_FILENO, title);
        write_fd(STDERR_FILENO, "\n");
    }
}

void fatal_app_exit(std::string_view title, std::string_view text, int status) {
    std::fflush(nullptr);
    message_box(title, text);
    ::_exit(status);
}

bool ask_yes_no(std::string_view title, std::string_view text) {
    if (!::isatty(STDIN_FILENO)) {
        message_box(title, text);
        return false;
    }
    int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        message_box(title, text);
        return false;
    }
    std::string prompt;
    try {
        prompt = line_of(title, text);
    } catch (...) {
        ::close(fd);
        return false;
    }
    prompt.back() = ' ';
    prompt += "[y/N] ";
    write_fd(fd, prompt);
    char answer = 0;
    bool first = true;
    char c;
    while (true) {
        ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') break;
        if (first && c != ' ' && c != '\t') {
            answer = c;
            first = false;
        }
    }
    ::close(fd);
    return answer == 'y' || answer == 'Y';
}

}  // namespace ketra::platform
