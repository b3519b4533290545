// Child processes: starting a program found along PATH with the caller's standard handles,
// an environment and the current folder, and waiting for it to end. Also a snapshot of the
// process environment taken under one lock shared with the library's own environment changes.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace ketra::platform {

// Results of run_process that are not exit codes.
inline constexpr int kProcessNotFound = -2;  // the program does not exist (or its name is invalid)
inline constexpr int kProcessStartFailed = -1;  // any other reason it could not be started

// Starts argv[0] (searched along PATH when it holds no "/") with the arguments argv and the
// environment `env` ("NAME=value" entries), in the current folder, and waits for it. The child
// shares standard input, output and error with the caller; every other descriptor is closed
// in it. The result is the exit code, 128 plus the signal number for a child killed by a
// signal, kProcessNotFound or kProcessStartFailed when it cannot be started, or the negated
// errno when waiting for it fails.
int run_process(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// The lock under which the library reads and changes the process environment, so that a
// snapshot never sees half a change made by another thread.
std::mutex& environment_lock();

// A copy of the process environment ("NAME=value" entries), taken under environment_lock().
std::vector<std::string> environment_snapshot();

}  // namespace ketra::platform
