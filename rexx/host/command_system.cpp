// The operating-system command runner: whether a command needs the command interpreter or is
// started directly, the argument vector for either way, and the start and wait.
#include <cstring>

#include "platform/process.h"
#include "rexx/host/command_dispatch.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/nocase.h"

namespace ketra {

namespace {

// Characters that only the command interpreter understands (a backslash escapes the next one).
constexpr char kShellSyntax[] = "<>|;&$`'\"*?()~\\\n";

// Commands that exist only inside the command interpreter; a command whose first word is one
// of them (case ignored) goes through it. The upper-case names are the classic DOS ones, the
// others the POSIX shell's built-ins and keywords. The whole word is compared, so that
// programs such as "md5sum" or "datediff" are still started directly.
constexpr const char* kShellCommands[] = {
    "BREAK", "CALL",   "CD",    "CHDIR",  "CLS",  "COPY",   "CTTY",   "DATE",  "DEL",
    "DIR",   "ECHO",   "ERASE", "FOR",    "GOTO", "IF",     "MD",     "MKDIR", "PATH",
    "PAUSE", "PROMPT", "RD",    "REM",    "REN",  "RENAME", "RMDIR",  "SET",   "SHIFT",
    "TIME",  "TYPE",   "VER",   "VERIFY", "VOL",  "MOVE",   "export", "unset", "exit",
    "test",  "[",      ".",     "source", "eval", "exec",   "read",   "while", "case",
    "until", "alias",  "umask", "ulimit", "trap", "{",      "!",
};

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool needs_shell(std::string_view text) {
    if (same_nocase(text, "CMD.EXE") || same_nocase(text, "Command.COM")) return false;
    if (text.find_first_of(std::string_view(kShellSyntax, sizeof kShellSyntax - 1)) !=
        std::string_view::npos)
        return true;
    std::size_t start = 0;
    while (start < text.size() && is_blank(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !is_blank(text[end])) ++end;
    std::string_view word = text.substr(start, end - start);
    for (const char* name : kShellCommands)
        if (same_nocase(word, name)) return true;
    return false;
}

}  // namespace

SystemCommand plan_system_command(std::string_view command) {
    SystemCommand plan;
    if (!command.empty() && command.front() == '@') command.remove_prefix(1);
    for (std::string_view prefix :
         {std::string_view("COMMAND "), std::string_view("CMD "), std::string_view("DOS ")}) {
        if (starts_nocase(command, prefix)) {
            plan.shell = true;
            plan.text.assign(command.substr(prefix.size()));
            return plan;
        }
    }
    plan.shell = needs_shell(command);
    plan.text.assign(command);
    return plan;
}

std::vector<std::string> system_command_argv(const SystemCommand& plan) {
    std::vector<std::string> argv;
    if (plan.shell) {
        std::string interpreter = get_environment_variable("COMSPEC");
        argv.push_back(interpreter.empty() ? std::string("/bin/sh") : interpreter);
        argv.emplace_back("-c");
        argv.push_back(plan.text);
        return argv;
    }
    const std::string& t = plan.text;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && is_blank(t[i])) ++i;
        std::size_t start = i;
        while (i < t.size() && !is_blank(t[i])) ++i;
        if (i > start) argv.push_back(t.substr(start, i - start));
    }
    return argv;
}

int run_system_command(std::string_view command) {
    SystemCommand plan = plan_system_command(command);
    if (plan.text.size() > kMaxSystemCommand) return platform::kProcessStartFailed;
    // A NUL cannot be passed to a program: such a command is not a valid name.
    if (plan.text.find('\0') != std::string::npos) return platform::kProcessNotFound;
    std::vector<std::string> argv = system_command_argv(plan);
    if (argv.empty()) return platform::kProcessNotFound;
    std::vector<std::string> env = platform::environment_snapshot();
    HostCall call;
    return platform::run_process(argv, env);
}

}  // namespace ketra
