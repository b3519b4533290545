// The points where a run hands over to the other subsystems: the translator, the image
// loader, the interpreter, the exits, the I/O window, the streams and the library services.
// Each is defined by the subsystem that owns it.
#pragma once

#include "rexxsaa.h"

namespace ketra {

struct ExecInstance;
struct TaskEntry;

// Library start and end work of the subsystems (numeric defaults, stream table, global
// registry, console library); false when the start fails.
bool start_services();
void end_services();

// Releases the registrations a thread made (its TaskEntry is going away).
void release_thread_registrations(TaskEntry* entry);

// Opens (on library start) and closes (on library end) the global registration area;
// opening fails the library start when it fails.
bool open_global_registry();
void close_global_registry();

// The automatic registration of the external function package; true when it succeeded or the
// package is not installed.
bool register_function_package();

// Fills the run's exit table from the RexxStart exit list.
void build_exit_table(ExecInstance* inst, PRXSYSEXIT exits);

// Translates the loaded source into the run's image; translation errors raise `error`.
void translate_program(ExecInstance* inst);

// When the caller's second in-store string holds a valid image, takes it as the run's image.
bool take_in_store_image(ExecInstance* inst, PRXSTRING image);
// Stores the run's image into the caller's (absent) second in-store string.
void give_in_store_image(ExecInstance* inst, PRXSTRING image);
// Looks for object code behind the source of an open program file of `size` bytes; returns the
// size of the source part (the whole size when there is none) and takes the image when the run
// may load it.
unsigned long probe_file_image(ExecInstance* inst, int fd, unsigned long size);
// Stores the image behind the program file after a translate-only run.
void store_file_image(ExecInstance* inst);
// Loads a supplied image into the interpreter's working form.
void load_image(ExecInstance* inst);

// Runs the translated program; on return the run frame holds the result (if any).
void run_program(ExecInstance* inst);

// The run-time handling of error n while an activation runs: a SYNTAX trap, or the traceback,
// the message and the unwind to the interpreter loop. `text` is the error's table text ("" for
// numbers without one). Called by `error` with its recursion guard (in_error()) still set:
// the callee clears it immediately before it unwinds or resumes at a trap. Never returns.
[[noreturn]] void interpreter_error(ExecInstance* inst, int n, const char* text);

// Closes the stream table entries that belong to a thread.
void close_thread_streams(long thread_id);

}  // namespace ketra
