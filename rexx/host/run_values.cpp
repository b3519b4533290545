// Arguments in, result out: the conversions between the caller's RXSTRINGs and the run's values.
#include "rexx/host/run_values.h"

#include <cstring>

#include "platform/memory.h"
#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/value.h"

namespace ketra {

void make_argument_values(ExecInstance* inst, LONG argc, PRXSTRING argv) {
    RunFrame* f = inst->frame;
    f->argc = 0;
    if (argc <= 0) return;
    f->args = static_cast<Value*>(allocate(sizeof(Value) * static_cast<std::size_t>(argc)));
    // The caller's strings live for the whole run, so the values refer to them.
    for (LONG i = 0; i < argc; ++i) {
        f->args[argc - 1 - i] = from_rxstring(argv[i], false);
        f->argc = static_cast<int>(i + 1);
    }
}

void deliver_result(ExecInstance* inst, PSHORT retc, PRXSTRING result) {
    RunFrame* f = inst->frame;
    if (f->no_result || !f->result) return;
    Value& v = *f->result;
    if (is_absent(v)) return;
    std::int32_t n;
    if (retc && try_whole_number(v, n) && n >= -32768 && n <= 32767)
        *retc = static_cast<SHORT>(n);
    if (!result) return;
    StringRef s = to_rxstring(v);
    char* block = static_cast<char*>(RexxAllocateMemory(s.length ? s.length : 1));
    if (!block) memory_full(30, kPoolOperatingSystem);
    if (s.length) std::memcpy(block, s.ptr, s.length);
    result->strptr = block;
    result->strlength = s.length;
}

void release_run_values(ExecInstance* inst) {
    RunFrame* f = inst->frame;
    if (!f) return;
    if (f->args) {
        for (int i = 0; i < f->argc; ++i) release(f->args[i]);
        release(static_cast<void*>(f->args));
        f->args = nullptr;
        f->argc = 0;
    }
    if (f->result) {
        release(*f->result);
        release(static_cast<void*>(f->result));
        f->result = nullptr;
    }
    if (f->stack_base) {
        release(static_cast<void*>(f->stack_base));
        f->stack_base = f->stack_top = nullptr;
    }
    for (Value*& d : f->pending_description) {
        if (d) {
            release(*d);
            release(static_cast<void*>(d));
            d = nullptr;
        }
    }
}

}  // namespace ketra
