// What the parts of the console library share: the standard-output writer and the text of the
// line that output has left unfinished (the editor shows it again as its prompt).
#pragma once

#include <cstddef>
#include <string>

namespace pomcon {

// Writes all of the bytes to a descriptor, going on after interrupted writes.
void write_all(int fd, const char* data, std::size_t length);

// The text written to standard output since its last line feed, when standard output is a
// terminal and that text is short and printable; false otherwise. The tail is forgotten once
// the terminal has moved to a new line.
bool unfinished_line(std::string& text);
void forget_unfinished_line();

// Reads a line from the terminal with line editing and history (standard input is a terminal).
long edit_line(char* buffer, unsigned long size);

}  // namespace pomcon
