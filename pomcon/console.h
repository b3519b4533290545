// What the parts of the console library share: the text of the line that output has left
// unfinished (the editor shows it again as its prompt) and the line editor.
#pragma once

#include <cstddef>
#include <string>

namespace pomcon {

// The text written to standard output since its last line feed, when standard output is a
// terminal and that text is short and printable; false otherwise. The tail is forgotten once
// the terminal has moved to a new line.
bool unfinished_line(std::string& text);
void forget_unfinished_line();

// Reads a line from the terminal with line editing and history (standard input is a terminal).
long edit_line(char* buffer, unsigned long size);
// Ends the line editor, putting the terminal back as it was; the history goes with it.
void end_editor();

}  // namespace pomcon
