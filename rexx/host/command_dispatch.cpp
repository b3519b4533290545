// The command dispatcher: the RXCMD exit, the special handlers EXECIO, GLOBALV and LISTFILE of
// the operating-system environments, registered subcommand handlers, then the library's own
// commands and the operating-system runner, and return code 30 for an environment nobody
// serves.
#include "rexx/host/command_dispatch.h"

#include <cstdint>
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/registration.h"
#include "rexx/host/session.h"
#include "rexx/runtime/nocase.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

// NAME and MODULE of an environment name "NAME.MODULE", each NUL-terminated for the lookup.
struct EnvironmentName {
    char name[kMaxEnvironmentName + 1];
    char module[kMaxEnvironmentName + 1];
    std::size_t name_length;
    std::size_t module_length;
};

void split_environment(const char* env, std::size_t length, EnvironmentName& out) {
    if (length > kMaxEnvironmentName) length = kMaxEnvironmentName;
    const char* dot = length ? static_cast<const char*>(std::memchr(env, '.', length)) : nullptr;
    std::size_t n = dot ? static_cast<std::size_t>(dot - env) : length;
    if (n) std::memcpy(out.name, env, n);
    out.name[n] = '\0';
    out.name_length = n;
    std::size_t m = dot ? length - n - 1 : 0;
    if (m) std::memcpy(out.module, dot + 1, m);
    out.module[m] = '\0';
    out.module_length = m;
}

// Whether a host left the result in the buffer we gave it (anywhere inside it), rather than
// in a block of its own.
bool in_buffer(const char* p, const char* buffer, std::size_t buffer_size) {
    auto at = reinterpret_cast<std::uintptr_t>(p);
    auto start = reinterpret_cast<std::uintptr_t>(buffer);
    return at >= start && at < start + buffer_size;
}

// The characters a host wrote into a result RXSTRING: its own block (taken and released) or
// the buffer we gave it, whose length cannot reach past the buffer's end.
Value take_result_string(RXSTRING& r, const char* buffer, std::size_t buffer_size) {
    // No string at all reads as a return code of 0, as from a handler that returns nothing.
    if (!r.strptr) return kZeroValue;
    if (!in_buffer(r.strptr, buffer, buffer_size)) {
        Value v = make_value(r.strptr, r.strlength, true);
        RexxFreeMemory(r.strptr);
        r.strptr = nullptr;
        return v;
    }
    std::size_t room = buffer_size - static_cast<std::size_t>(r.strptr - buffer);
    return make_value(r.strptr, r.strlength < room ? r.strlength : room, true);
}

void free_foreign_block(RXSTRING& r, const char* buffer, std::size_t buffer_size) {
    if (r.strptr && !in_buffer(r.strptr, buffer, buffer_size)) RexxFreeMemory(r.strptr);
    r.strptr = nullptr;
}

// Step of the RXCMD exit: true with `out` set when the exit handled the command.
bool try_command_exit(const EnvironmentName& env, const char* command, std::size_t length,
                      CommandResult& out) {
    ExecInstance* inst = g_lib.current;
    if (!inst) return false;
    ExitEntry handler = inst->exits[RXCMD].handler;
    if (!handler) return false;
    // Zeroed so that an exit that claims the buffer without filling it passes no stack garbage.
    char buffer[RXAUTOBUFLEN] = {};
    RXCMDHST_PARM parm;
    std::memset(&parm, 0, sizeof parm);
    parm.rxcmd_address = reinterpret_cast<PUCHAR>(const_cast<char*>(env.name));
    parm.rxcmd_addressl = static_cast<USHORT>(env.name_length);
    parm.rxcmd_dll =
        env.module_length ? reinterpret_cast<PUCHAR>(const_cast<char*>(env.module)) : nullptr;
    parm.rxcmd_dll_len = static_cast<USHORT>(env.module_length);
    parm.rxcmd_command.strptr = const_cast<char*>(command);
    parm.rxcmd_command.strlength = length;
    parm.rxcmd_retc.strptr = buffer;
    parm.rxcmd_retc.strlength = sizeof buffer;
    LONG rc;
    {
        HostCall call;
        rc = handler(RXCMD, RXCMDHST, reinterpret_cast<PEXIT>(&parm));
    }
    if (rc != RXEXIT_HANDLED) {
        free_foreign_block(parm.rxcmd_retc, buffer, sizeof buffer);
        if (rc == -1) error(48);
        return false;
    }
    out.rc = take_result_string(parm.rxcmd_retc, buffer, sizeof buffer);
    out.flag = parm.rxcmd_flags.rxfcfail  ? kCommandFailure
               : parm.rxcmd_flags.rxfcerr ? kCommandError
                                          : kCommandOk;
    return true;
}

// The word of a special handler that the command begins with, or null.
const char* special_handler(std::string_view command) {
    static constexpr const char* kNames[] = {"LISTFILE", "EXECIO", "GLOBALV"};
    for (const char* n : kNames)
        if (starts_nocase(command, n)) return n;
    return nullptr;
}

// Resolves a handler; a module that cannot be loaded is error 97, a missing procedure 96.
// False when nothing is registered under the name.
bool resolve_handler(const char* name, const char* module, SubcomTarget& target) {
    switch (resolve_subcom(name, module, &target)) {
        case RXSUBCOM_OK:
            return true;
        case RXSUBCOM_NOTREG:
            return false;
        case RXSUBCOM_LOADERR:
            error(97);
        case RXSUBCOM_NOPROC:
            error(96);
        default:
            memory_full(2202, kPoolGlobalScb);
    }
}

CommandResult call_handler(SubcomTarget& target, const char* command, std::size_t length) {
    char buffer[RXAUTOBUFLEN] = {};
    RXSTRING cmd;
    cmd.strptr = const_cast<char*>(command);
    cmd.strlength = length;
    RXSTRING result;
    result.strptr = buffer;
    result.strlength = sizeof buffer;
    USHORT flag = RXSUBCOM_OK;
    APIRET rc;
    {
        HostCall call;
        rc = target.entry(&cmd, &flag, &result);
    }
    CommandResult out;
    out.flag = flag == RXSUBCOM_FAILURE ? kCommandFailure
               : flag == RXSUBCOM_ERROR ? kCommandError
                                        : kCommandOk;
    if (rc == 0 && result.strptr) {
        out.rc = take_result_string(result, buffer, sizeof buffer);
    } else {
        free_foreign_block(result, buffer, sizeof buffer);
        // Handlers return a 32-bit code; a negative one reads as such.
        out.rc = make_integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(rc)));
    }
    return out;
}

// A result from a whole number, with the flag the dispatcher gives it.
CommandResult numeric_result(int code, bool negative_fails) {
    int flag =
        code > 0 ? kCommandError : (code < 0 && negative_fails ? kCommandFailure : kCommandOk);
    return CommandResult{make_integer(code), flag};
}

}  // namespace

bool is_os_environment(std::string_view name) {
    static constexpr const char* kNames[] = {"CMD", "DOS", "COMMAND", "SYSTEM", "SH", "BASH"};
    for (const char* n : kNames)
        if (same_nocase(name, n)) return true;
    return false;
}

CommandResult dispatch_command(const char* env, std::size_t env_length, const char* command,
                               std::size_t command_length) {
    if (!command) {
        command = "";
        command_length = 0;
    }
    if (!env) env_length = 0;
    EnvironmentName name;
    split_environment(env, env_length, name);
    std::string_view text(command, command_length);
    const char* module = name.module_length ? name.module : nullptr;

    CommandResult out{kZeroValue, kCommandOk};
    if (try_command_exit(name, command, command_length, out)) return out;

    bool os = is_os_environment(std::string_view(name.name, name.name_length));
    SubcomTarget target;
    bool found = false;
    if (os) {
        if (const char* special = special_handler(text)) {
            found = resolve_handler(special, module, target);
            // A special handler's module stays loaded for the life of the process.
            if (found) target.module.release();
        }
    }
    if (!found) found = resolve_handler(name.name, module, target);
    if (found) return call_handler(target, command, command_length);

    // The library's own commands and the runner serve only the operating-system environments:
    // a "CD" or "SET" sent to an environment that nobody serves must not change this process.
    if (!os || module) return CommandResult{make_integer(30), kCommandOk};
    int code;
    {
        HostCall call;
        code = run_library_command(text);
    }
    if (code >= 0) return numeric_result(code, false);
    return numeric_result(run_system_command(text), true);
}

}  // namespace ketra
