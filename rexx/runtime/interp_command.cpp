// The command clause: commands inhibited by TRACE "!", the dispatch, RC, and the ERROR and
// FAILURE conditions of a command that ends in error or failure.
#include "rexx/host/command_dispatch.h"
#include "rexx/host/error.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_conditions.h"

namespace ketra {

namespace {

bool has_mode(const Activation* a, std::uint8_t mode) {
    return (a->trace_flags & (static_cast<std::uint32_t>(mode) << 8)) != 0;
}

}  // namespace

void run_command(Interp& in, const Value& environment, Value& command) {
    NumberBuffer eb, cb;
    std::string_view env = is_absent(environment) ? std::string_view() : view_of(environment, eb);
    if (env.size() > kMaxEnvironmentName) error(29);
    std::string_view cmd = is_absent(command) ? std::string_view() : view_of(command, cb);
    Activation* a = in.act;
    // The ">>>" line of a traced command goes here once tracing is built.

    CommandResult r;
    if (has_mode(a, kTraceModeInhibit))
        r = CommandResult{kZeroValue, kCommandOk};
    else
        r = dispatch_command(env.data(), env.size(), cmd.data(), cmd.size());
    ValueHolder rc(r.rc);
    // A command given in an interactive pause leaves RC as the program set it.
    if (!has_mode(a, kTraceModeInPause)) assign_symbol(in, 0, rc.get());

    // The "*-*", ">>>" and "+++ RC(...)" lines of a command that failed go here once tracing
    // is built.

    // No instruction sets a pending label for a command, so the conditions are always raised.
    // A failure raises FAILURE unless that trap is OFF, and then nothing at all.
    if (r.flag == kCommandFailure) {
        if (a->traps[kCondFailure].state != kTrapOff) raise_condition(kCondFailure, command);
    } else if (r.flag == kCommandError) {
        raise_condition(kCondError, command);
    }
}

}  // namespace ketra
