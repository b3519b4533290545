// The command dispatcher: delivers a command string to an ADDRESS environment and reports its
// return code and whether it ended in error or failure.
#pragma once

#include <cstddef>

#include "rexx/runtime/value.h"

namespace ketra {

enum CommandFlag : int { kCommandOk = 0, kCommandError = 1, kCommandFailure = 2 };

struct CommandResult {
    Value rc;  // the return code (owned)
    int flag;  // CommandFlag
};

// Runs `command` in environment `env` (at most 250 characters, checked by the caller).
CommandResult dispatch_command(const char* env, std::size_t env_length, const char* command,
                               std::size_t command_length);

}  // namespace ketra
