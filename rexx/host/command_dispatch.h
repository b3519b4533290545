// The command environments: the dispatcher that delivers a command string to an ADDRESS
// environment (RXCMD exit, registered subcommand handlers, the library's own commands, the
// operating-system command runner) and reports its return code and whether it ended in error
// or failure; and the process environment variables as VALUE reaches them.
//
// The dispatcher and the runner expect the ApiLock to be held; they leave it (restoring the
// current instance and activation) around every call out: the exit, a handler, the library's
// own commands, the start of a process and the wait for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rexx/runtime/value.h"

namespace ketra {

enum CommandFlag : int { kCommandOk = 0, kCommandError = 1, kCommandFailure = 2 };

struct CommandResult {
    Value rc;  // the return code (owned)
    int flag;  // CommandFlag
};

// Longest environment name of an ADDRESS clause (longer is error 29).
inline constexpr std::size_t kMaxEnvironmentName = 250;

// Runs `command` in environment `env` (at most 250 characters, checked by the caller). Raises
// error 48 when the RXCMD exit fails, 97 / 96 when a handler's module or procedure cannot be
// had.
CommandResult dispatch_command(const char* env, std::size_t env_length, const char* command,
                               std::size_t command_length);

// True for the names of the operating-system environments: CMD, DOS, COMMAND, and the SYSTEM,
// SH and BASH that programs written on other Unix hosts use (case ignored).
bool is_os_environment(std::string_view name);

// ---- the operating-system command runner ---------------------------------------------------

// Longest command the runner starts; a longer one gives -1.
inline constexpr std::size_t kMaxSystemCommand = 1024;

// How a command is started: through the command interpreter, or directly as a program with
// its arguments split at blanks.
struct SystemCommand {
    bool shell = false;
    std::string text;  // the command after the "@" and "CMD "-style prefixes are taken off
};
SystemCommand plan_system_command(std::string_view command);
// The argument vector of a planned command: "$COMSPEC" (else /bin/sh), "-c", the command; or
// the words of the command.
std::vector<std::string> system_command_argv(const SystemCommand& plan);

// Runs a command as a child process and waits for it: its exit code (128 + n when killed by
// signal n), -2 when the program was not found, -1 when it could not be started or the command
// is too long. Leaves the ApiLock for the start and the wait.
int run_system_command(std::string_view command);

// ---- the library's own commands ------------------------------------------------------------

// CLS, "SET name=value", "CD folder": 0 done, 1 when it failed, -1 when the command is not
// one of these ("CD" alone, and a drive change "X:", as there are no drives, go on to the
// command interpreter). Called with the ApiLock left.
int run_library_command(std::string_view command);

// ---- environment variables (VALUE with a selector) -----------------------------------------

// True when `selector` names the process environment: ENVIRONMENT, DOSENVIRONMENT,
// OS2ENVIRONMENT (case ignored).
bool is_environment_selector(std::string_view selector);
// The variable's whole value, "" when it is not set (or the name cannot be a variable name).
std::string get_environment_variable(std::string_view name);
// Sets the variable; false when it cannot be set (an empty name, or one holding "=").
bool set_environment_variable(std::string_view name, std::string_view value);
// Removes the variable; false when the name cannot be a variable name.
bool remove_environment_variable(std::string_view name);

}  // namespace ketra
