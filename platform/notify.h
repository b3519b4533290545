// User notifications: message boxes and fatal application exits become a line on standard
// error ("title: text"); a Yes/No question is asked on the terminal, and answered No when there
// is no terminal to ask.
#pragma once

#include <string_view>

namespace ketra::platform {

// Writes "title: text\n" to standard error in one write.
void message_box(std::string_view title, std::string_view text);

// Flushes stdio, writes "title: text\n" to standard error and ends the process with
// _exit(status) (no destructors, no atexit handlers: the process is in a state that cannot go on).
[[noreturn]] void fatal_app_exit(std::string_view title, std::string_view text, int status = 70);

// When standard input is a terminal, asks "title: text [y/N] " on /dev/tty and returns true for
// an answer beginning with "y" or "Y". Otherwise writes "title: text" to standard error (so the
// question is on record) and returns false.
bool ask_yes_no(std::string_view title, std::string_view text);

}  // namespace ketra::platform
