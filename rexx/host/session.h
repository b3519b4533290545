// The records of a REXX session: the per-thread TaskEntry list, the per-run ExecInstance and
// RunFrame, and the library-wide state that points at the run in progress.
//
// Everything here is read and written only while the ApiLock is held. The "current" pointers
// are plain globals on purpose: the interpreter, the built-ins and the error path consult them
// on hot paths, and a run saves and restores them around every call into host code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "rexx/host/condition.h"
#include "rexxsaa.h"

namespace ketra {

struct ExecInstance;
struct Activation;  // one level of the interpreter's call stack
struct Value;
struct Program;     // the compiled program of a run

// Releases a compiled program with the values its tables own.
struct ProgramDeleter {
    void operator()(Program* program) const;
};
using ProgramPtr = std::unique_ptr<Program, ProgramDeleter>;

// One entry per thread that uses the interface.
struct TaskEntry {
    TaskEntry* next;
    long thread_id;
    std::uint32_t unused[3];
    ExecInstance* outermost;  // the instance of the outermost run on this thread
    std::uint32_t unused6;
    void* registrations[3];   // heads of the thread's subcommand, exit and function lists
    std::uint32_t active;     // 1 while a top-level run is in progress on the thread
};

// Run states; `error` chooses its message form by them.
enum RunState : std::uint8_t { kStateInitialising = 0, kStateTranslating = 1, kStateExecuting = 2 };

// Mode flags.
inline constexpr std::uint8_t kModeInitial = 0xB8;
inline constexpr std::uint8_t kModeTracePermitted = 0x04;
inline constexpr std::uint8_t kModeTranslateOnly = 0x40;
inline constexpr std::uint8_t kModeLoadImage = 0x80;

// Run flags.
inline constexpr std::uint8_t kRunImageOwnsMemory = 0x01;
inline constexpr std::uint8_t kRunHaltChecksOff = 0x08;
inline constexpr std::uint8_t kRunRecoveryArmed = 0x20;

// Debug flags.
inline constexpr std::uint8_t kDebugDeveloper = 0x40;
inline constexpr std::uint8_t kDebugImage16 = 0x08;

// Option flags.
inline constexpr std::uint32_t kOptNoArgPrompt = 0x80;
inline constexpr std::uint32_t kOptFromFrontEnd = 0x08;

// Exit handler entry point as hosts register it.
using ExitEntry = RexxExitHandler*;

struct ExitSlot {
    ExitEntry handler;
    void* registration;
};
inline constexpr int kExitSlots = 11;

// An item released when the run ends, whatever way it ends.
struct Cleanup {
    Cleanup* next;
    void (*release)(void* item);
    void* item;
};

// The per-run working block: arguments, call type, result, pending conditions, the stack.
struct RunFrame {
    int argc;
    Value* args;            // argc values, the last argument in the first slot
    int call_type;          // 0 command, 1 subroutine, 2 function
    Value* result;          // the program's result, when no_result is 0
    bool no_result;
    bool trace_marked;      // tracing is permitted in this run
    Value* pending_description[kConditionCount];
    int pending_calls;      // CALL traps waiting for the next clause boundary
    Value* stack_base;      // the evaluation stack (grows downward)
    Value* stack_top;
    std::size_t stack_size;
};

struct ExecInstance {
    std::uint8_t state;
    char* program_name;
    bool recovery_armed;    // mirrors run flag 0x20: `error` may unwind to the run
    long process_id;
    long thread_id;
    std::uint8_t mode;
    char* environment;
    std::uint8_t run_flags;
    ExecInstance* parent;
    std::uint8_t debug_flags;
    char trace_letters[2];
    RunFrame* frame;
    Cleanup* cleanups;

    // The program source: the block, the first byte, one past the last byte (the first Ctrl-Z
    // or the end of the text), and the translator's read position.
    char* source_block;
    std::size_t source_block_size;
    const char* source_start;
    const char* source_end;
    const char* source_pos;
    bool source_in_store;

    ProgramPtr program;         // the compiled program (produced or loaded from an image)
    const unsigned char* image_bytes;  // an image handed in by the caller, not yet loaded
    std::size_t image_size;
    int file_handle;            // open program file while the source is read; -1 otherwise
    void* owner_window;
    long owner_thread_id;
    void* in_store;             // the RexxStart in-store argument (two RXSTRINGs)
    void* exit_list;            // the RexxStart exit list
    ExitSlot exits[kExitSlots];
    std::uint32_t option_flags;
    bool bounds_messages;       // option BoundsMessages
    bool io_window;             // the run writes to the REXX I/O window (no RXSIO exit)
    ExecInstance* child;
    int halt_countdown;
    int halt_reload;

    // Set by the translator while it works: the current line and, when it has it, the text of
    // that line (up to and including its line feed) for the second line of an error message.
    std::uint32_t translate_line;
    const char* line_text;
    std::size_t line_length;

    // Set by a run that ends in an error; the number it ends with.
    int error_number;
    bool ending_in_error;
};

// Library-wide state. A constant-initialised aggregate, so it needs no constructor.
struct LibraryState {
    bool initialized;            // RxInitialized
    bool package_loaded;         // the function package was registered (or found absent)
    bool halt_pending;           // set by RexxSetHalt, taken by the next poll
    bool halt_raised;
    TaskEntry* tasks;
    ExecInstance* current;       // the run in progress
    Activation* activation;      // the activation in progress
    int last_error;
    bool use_os_console;
    std::uint32_t global_scbs;
};

extern constinit LibraryState g_lib;

inline ExecInstance* current_instance() { return g_lib.current; }

// The id of the calling thread as the interface uses it (the kernel thread id).
long current_thread_id();

// The TaskEntry of the calling thread, or null.
TaskEntry* find_task(long thread_id);
// Finds the calling thread's entry or creates it (prepended); null when it cannot be created.
TaskEntry* find_or_create_task(long thread_id);
// Unlinks and releases an entry.
void release_task(TaskEntry* entry);

// Makes sure the library has started (the process-attach work); false when the start failed.
bool ensure_library_started();
// The process-detach work; safe to call more than once.
void library_end();

// Registers an item to be released at the end of the run.
void add_cleanup(ExecInstance* inst, void (*release)(void*), void* item);

}  // namespace ketra
