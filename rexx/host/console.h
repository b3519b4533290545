// The console layer: the REXX I/O window (served by the console library, or the process's own
// standard input and output when the UseOSConsole option is set), the default input buffer that
// PULL, PARSE PULL, PARSE LINEIN and the default stream share, and the lines that SAY writes and
// that PULL and interactive debug read, offered to the run's RXSIO exit first.
//
// Everything here expects the ApiLock to be held; reads leave it while they wait.
#pragma once

#include <cstddef>
#include <memory>

#include "rexx/runtime/value.h"

namespace ketra {

struct ExecInstance;

// ---- the I/O window -------------------------------------------------------------------------

// Flags of window writes: the halt-raised state for SAY, trace and message text, 1 for line
// ends (and CLS), 0 for the begin and end messages of a run.
inline constexpr int kWriteLineEnd = 1;
inline constexpr int kWriteBounds = 0;
int halt_write_flag();

// Opens the I/O window for the current run (runs without an RXSIO exit); false when it cannot
// be (the TPX606 box was shown).
bool create_io_window();
// Writes text to the I/O window (opening it first when needed), or to standard output when
// the UseOSConsole option is set.
void write_io_window(const char* text, unsigned long length, int flag);

// Reads up to `size` bytes through the I/O window with the ApiLock left (current instance and
// activation restored): the count, 0 at the end of input or when no window can be opened, -2
// for a break (which also requests a halt of the run in progress).
long read_io_window(void* owner, char* buffer, unsigned long size);

// Sends the newest window its close (the last thread detached, or the library ends) and, at
// library end, gives up the console library; later writes and reads then do nothing.
void close_io_window();
void release_console_library();

// ---- what the stream functions need of the console -------------------------------------------

// Reads up to n bytes of console input, leaving the ApiLock while waiting; 0 at the end of input
// or after a break.
std::size_t console_read(char* buffer, std::size_t n);
// True when console input can be read without waiting (buffered or on standard input).
bool console_input_pending();
// Writes n bytes of text, and a line end.
void console_write(const char* text, std::size_t n);
void console_line_end();
// The width of the console in characters: the terminal's, 80 without one.
int console_line_size();

// ---- the default input buffer ----------------------------------------------------------------

// A line being collected: short lines stay in the record, longer ones move to the heap.
class LineBuffer {
  public:
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;
    void append(const char* bytes, std::size_t n);
    void drop_last() { --size_; }
    const char* data() const { return heap_ ? heap_.get() : small_; }
    std::size_t size() const { return size_; }

  private:
    char small_[256];
    std::unique_ptr<char[]> heap_;
    std::size_t size_ = 0;
    std::size_t capacity_ = sizeof small_;
};

// Reads one line of the default input (its line feed, and a carriage return before it, are
// dropped). False when the input had ended and nothing was read; a break ends the line early.
bool read_default_line(LineBuffer& line);
// Reads up to n bytes of the default input, buffered bytes first; 0 at the end of input.
std::size_t default_input_read(char* buffer, std::size_t n);
// How many bytes of the default input are buffered.
std::size_t default_input_buffered();

// ---- lines of a run ------------------------------------------------------------------------

// SAY output: the RXSIO exit (subfunction 1), else the I/O window with a line end. False when
// the exit failed (the caller raises error 48 or reports the failure).
bool say_text(ExecInstance* inst, const char* text, std::size_t n);

// Terminal input (PULL, PARSE PULL, PARSE LINEIN after the queue): the RXSIO exit (subfunction
// 3, 4096-byte buffer), else a line of the default input. Raises error 48 when the exit fails.
Value read_terminal_line(ExecInstance* inst);

// Interactive-debug input: the RXSIO exit (subfunction 4, 256-byte buffer), else a line end
// and the prompt "? " to the I/O window and a line of the default input. Error 48 as above.
Value read_debug_line(ExecInstance* inst);

}  // namespace ketra
