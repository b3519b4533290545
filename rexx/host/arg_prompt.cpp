// The argument prompt: a program that reads its arguments but was given none asks the
// registered external function PromptBox for them, at most once per run.
#include <cstring>

#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/value.h"
#include "rexxsaa.h"

namespace ketra {

void argument_prompt(ExecInstance* inst) {
    RunFrame* f = inst->frame;
    if (f->argc > 0 || (inst->option_flags & kOptNoArgPrompt)) return;
    inst->option_flags |= kOptNoArgPrompt;
    static constexpr char kTitle[] = "Execution ARG Prompt.";
    const char* name = inst->program_name ? inst->program_name : "";
    RXSTRING args[2];
    args[0].strptr = const_cast<char*>(kTitle);
    args[0].strlength = sizeof kTitle - 1;
    args[1].strptr = const_cast<char*>(name);
    args[1].strlength = static_cast<ULONG>(std::strlen(name));
    char buffer[250];
    RXSTRING result;
    result.strptr = buffer;
    result.strlength = sizeof buffer;
    USHORT retc = 0;
    if (RexxCallFunction("PromptBox", 2, args, &retc, &result, "SESSION") != 0) return;
    Value v = result.strptr ? make_value(result.strptr, result.strlength, true) : kNullString;
    if (result.strptr && result.strptr != buffer) RexxFreeMemory(result.strptr);
    if (f->args) {
        for (int i = 0; i < f->argc; ++i) release(f->args[i]);
        release(static_cast<void*>(f->args));
    }
    f->args = static_cast<Value*>(allocate(sizeof(Value)));
    f->args[0] = v;
    f->argc = 1;
    if (Activation* a = g_lib.activation) {
        // The program's activation reads its arguments from the frame.
        while (a->caller) a = a->caller;
        a->args = f->args;
        a->argc = 1;
    }
}

}  // namespace ketra
