// Calls that leave the program: built-in functions, and external routines resolved at run
// time through the RXFNC exit, the registered external functions, and REXX program files
// found along PATH, which run as nested programs.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

constexpr char kQueueName[] = "SESSION";

// The arguments of a call as RXSTRINGs (argument 1 first); omitted ones are absent strings.
struct ArgumentStrings {
    RexxVector<RXSTRING> strings;
    RexxVector<NumberBuffer> numbers;
    ArgumentStrings(Interp& in, int argc)
        : strings(static_cast<std::size_t>(argc)), numbers(static_cast<std::size_t>(argc)) {
        for (int i = 1; i <= argc; ++i) {
            Value& v = in.sp[argc - i];
            RXSTRING& r = strings[static_cast<std::size_t>(i - 1)];
            if (is_absent(v)) {
                r.strptr = nullptr;
                r.strlength = 0;
                continue;
            }
            std::string_view s = view_of(v, numbers[static_cast<std::size_t>(i - 1)]);
            // A string of length 0 still needs a pointer, or it reads as omitted.
            r.strptr = const_cast<char*>(s.data() ? s.data() : "");
            r.strlength = static_cast<ULONG>(s.size());
        }
    }
    PRXSTRING data() { return strings.empty() ? nullptr : strings.data(); }
};

// Takes a result the callee handed back: copied, and released when it lives in a block of
// its own rather than in our buffer.
Value take_result(RXSTRING& r, const char* buffer) {
    Value v = make_value(r.strptr, r.strlength, true);
    if (r.strptr != buffer) RexxFreeMemory(r.strptr);
    return v;
}

// The RXFNC exit: 1 handled with a result, 0 handled without one, -1 not handled.
int function_exit(Interp& in, const std::string& name, int argc, bool function, Value& result) {
    ExitSlot& slot = in.inst->exits[RXFNC];
    if (!slot.handler) return -1;
    ArgumentStrings args(in, argc);
    char buffer[256];
    RXFNCCAL_PARM parm{};
    parm.rxfnc_flags.rxffsub = function ? 0 : 1;
    parm.rxfnc_name = reinterpret_cast<PUCHAR>(const_cast<char*>(name.c_str()));
    parm.rxfnc_namel = static_cast<USHORT>(name.size());
    parm.rxfnc_que = reinterpret_cast<PUCHAR>(const_cast<char*>(kQueueName));
    parm.rxfnc_quel = sizeof kQueueName - 1;
    parm.rxfnc_argc = static_cast<USHORT>(argc);
    parm.rxfnc_argv = args.data();
    parm.rxfnc_retc.strptr = buffer;
    parm.rxfnc_retc.strlength = sizeof buffer;
    LONG rc;
    {
        HostCall call;
        rc = slot.handler(RXFNC, RXFNCCAL, reinterpret_cast<PEXIT>(&parm));
    }
    if (rc == RXEXIT_RAISE_ERROR) error(48);
    if (rc != RXEXIT_HANDLED) return -1;
    if (parm.rxfnc_flags.rxfferr) error(40);
    if (parm.rxfnc_flags.rxffnfnd) error(43);
    if (!parm.rxfnc_retc.strptr) return 0;
    result = take_result(parm.rxfnc_retc, buffer);
    return 1;
}

// A registered external function: 1 with a result, 0 without, -1 not registered.
int registered_function(Interp& in, const std::string& name, int argc, Value& result) {
    FunctionTarget target;
    if (!resolve_function(name.c_str(), &target)) return -1;
    ArgumentStrings args(in, argc);
    char buffer[256];
    RXSTRING r;
    r.strptr = buffer;
    r.strlength = sizeof buffer;
    APIRET rc;
    {
        HostCall call;
        rc = target.entry(reinterpret_cast<PUCHAR>(const_cast<char*>(name.c_str())),
                          static_cast<ULONG>(argc), args.data(), const_cast<PSZ>(kQueueName), &r);
    }
    if (rc != 0) {
        if (r.strptr && r.strptr != buffer) RexxFreeMemory(r.strptr);
        error(40);
    }
    if (!r.strptr) return 0;
    result = take_result(r, buffer);
    return 1;
}

bool is_readable_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// The extension of a file name ("" when it has none).
std::string extension_of(const std::string& name) {
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return name.substr(dot + 1);
}

// Finds the program file of an external routine; "" when there is none.
std::string find_program_file(Interp& in, const std::string& name) {
    RexxVector<std::string> exts;
    if (!extension_of(name).empty()) {
        exts.push_back("");
    } else {
        std::string own = extension_of(in.inst->program_name ? in.inst->program_name : "");
        exts.push_back(own.empty() || own.size() > 3 ? "REX" : own);
        exts.push_back("REX");
        exts.push_back("CMD");
    }
    RexxVector<std::string> dirs;
    if (name.find('/') != std::string::npos) {
        dirs.push_back("");
    } else {
        // The current folder and the calling program's folder come before PATH, as the
        // system's own search does.
        dirs.push_back("");
        std::string prog = in.inst->program_name ? in.inst->program_name : "";
        std::size_t slash = prog.rfind('/');
        if (slash != std::string::npos) dirs.push_back(prog.substr(0, slash + 1));
        if (const char* path = std::getenv("PATH")) {
            std::string p = path;
            std::size_t i = 0;
            while (i <= p.size()) {
                std::size_t j = p.find(':', i);
                if (j == std::string::npos) j = p.size();
                std::string d = p.substr(i, j - i);
                if (!d.empty()) dirs.push_back(d.back() == '/' ? d : d + "/");
                i = j + 1;
            }
        }
    }
    for (const std::string& ext : exts) {
        RexxVector<std::string> forms;
        if (ext.empty()) {
            forms.push_back(name);
            forms.push_back(lower(name));
        } else {
            forms.push_back(name + "." + ext);
            forms.push_back(lower(name) + "." + lower(ext));
            forms.push_back(name + "." + lower(ext));
            forms.push_back(lower(name) + "." + ext);
        }
        for (const std::string& d : dirs)
            for (const std::string& f : forms) {
                std::string path = d + f;
                if (is_readable_file(path)) return path;
            }
    }
    return "";
}

// Runs a program file as a nested program: 1 with a result, 0 without.
int run_program_file(Interp& in, const std::string& path, int argc, bool function, Value& result) {
    ArgumentStrings args(in, argc);
    NumberBuffer nb;
    std::string env(view_of(in.act->environment, nb));
    SHORT retc = 0;
    RXSTRING r{0, nullptr};
    Activation* act = in.act;
    ExecInstance* inst = in.inst;
    LONG rc = RexxStart(argc, args.data(), path.c_str(), nullptr, env.c_str(),
                        function ? RXFUNCTION : RXSUBROUTINE,
                        static_cast<PRXSYSEXIT>(inst->exit_list), &retc, &r);
    g_lib.current = inst;
    g_lib.activation = act;
    if (rc < 0) {
        if (r.strptr) RexxFreeMemory(r.strptr);
        error(static_cast<int>(-rc));
    }
    if (!r.strptr) return 0;
    result = take_result(r, nullptr);
    return 1;
}

// VALUE with a new value, the one built-in that assigns a variable. Out of line, so that the
// other calls go straight on to the dispatcher.
[[gnu::noinline]] bool call_assigning_builtin(Interp& in, int code, int argc, Value& result) {
    keep_stack_values(in);
    return builtin_call(code, in.sp, argc, result);
}

}  // namespace

bool call_builtin_at(Interp& in, int code, int argc, Value& result) {
    constexpr int kBuiltinValue = 57;
    if (code == kBuiltinValue && argc >= 2) [[unlikely]]
        return call_assigning_builtin(in, code, argc, result);
    return builtin_call(code, in.sp, argc, result);
}

bool call_external(Interp& in, std::uint32_t lit, int argc, bool function, Value& result) {
    if (lit >= in.prog->literals.size()) internal_error(5);
    // A registered function may assign variables through the variable pool interface.
    keep_stack_values(in);
    NumberBuffer nb;
    std::string name(view_of(in.prog->literals[lit], nb));
    int got = function_exit(in, name, argc, function, result);
    if (got < 0) got = registered_function(in, name, argc, result);
    if (got < 0) {
        std::string path = find_program_file(in, name);
        if (path.empty()) error(43);
        got = run_program_file(in, path, argc, function, result);
    }
    return got == 1;
}

}  // namespace ketra
