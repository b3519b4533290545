// Shared pieces of the session tests: running a program through RexxStart while recording
// what the run was started with, and setting the library's options in the test registry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "rexx/host/session.h"
#include "rexx/host/testing_hooks.h"
#include "rexx/runtime/value.h"
#include "rexxsaa.h"

namespace ketra::test {

inline constexpr const char* kExecOptions = "Software\\Corvane\\Rexx\\ExecOptions";

inline void set_option(const char* name, std::uint32_t value) {
    ASSERT_TRUE(platform::set_dword(platform::Hive::CurrentUser, kExecOptions, name, value));
}
inline void set_option_string(const char* name, const char* value) {
    ASSERT_TRUE(platform::set_string(platform::Hive::CurrentUser, kExecOptions, name, value));
}
inline void clear_options() { platform::delete_key(platform::Hive::CurrentUser, kExecOptions); }

// What a run looked like just before it would execute.
struct SeenRun {
    int calls = 0;
    std::uint8_t mode = 0;
    std::uint8_t debug_flags = 0;
    char trace[2] = {0, 0};
    std::uint32_t option_flags = 0;
    int halt_reload = 0;
    std::string name;
    std::string environment;
    std::string source;
    std::vector<std::string> args;  // in argument order
    bool has_parent = false;
    bool bounds = false;
};

inline void record_run(ExecInstance* inst, void* context) {
    auto* seen = static_cast<SeenRun*>(context);
    ++seen->calls;
    seen->mode = inst->mode;
    seen->debug_flags = inst->debug_flags;
    seen->trace[0] = inst->trace_letters[0];
    seen->trace[1] = inst->trace_letters[1];
    seen->option_flags = inst->option_flags;
    seen->halt_reload = inst->halt_reload;
    seen->name = inst->program_name ? inst->program_name : "";
    seen->environment = inst->environment ? inst->environment : "";
    seen->source.assign(inst->source_start, inst->source_end);
    seen->has_parent = inst->parent != nullptr;
    seen->bounds = inst->bounds_messages;
    seen->args.clear();
    RunFrame* f = inst->frame;
    for (int i = f->argc - 1; i >= 0; --i) {
        NumberBuffer b;
        seen->args.emplace_back(view_of(f->args[i], b));
    }
}

// Observes every run while alive.
class RunRecorder {
public:
    RunRecorder() { testing::set_run_observer(&record_run, &seen_); }
    ~RunRecorder() { testing::set_run_observer(nullptr, nullptr); }
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;
    SeenRun& seen() { return seen_; }

private:
    SeenRun seen_;
};

// Runs in-store source with the given arguments; returns the RexxStart value.
inline LONG run_in_store(const std::string& source, const std::vector<std::string>& args,
                         const char* name = "test.cmd", const char* env = nullptr,
                         SHORT* retc_out = nullptr) {
    std::vector<RXSTRING> rx(args.size());
    for (std::size_t i = 0; i < args.size(); ++i)
        MAKERXSTRING(rx[i], const_cast<char*>(args[i].data()), args[i].size());
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], const_cast<char*>(source.data()), source.size());
    MAKERXSTRING(instore[1], nullptr, 0);
    SHORT retc = -1;
    RXSTRING result;
    MAKERXSTRING(result, nullptr, 0);
    LONG rc = RexxStart(static_cast<LONG>(rx.size()), rx.empty() ? nullptr : rx.data(), name,
                        instore, env, RXCOMMAND, nullptr, &retc, &result);
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    if (retc_out) *retc_out = retc;
    return rc;
}

}  // namespace ketra::test
