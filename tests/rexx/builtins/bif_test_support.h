// Calls of built-in functions by name with literal arguments, the way the interpreter makes
// them: the arguments laid out in stack order, omitted ones absent. Results come back as
// strings, or as "error N" when the call raised REXX error N.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "rexx/builtins/dispatch.h"
#include "rexx/builtins/names.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "support/rexx_test.h"

namespace ketra::test {

// One argument: a string, an integer held in integer form, or omitted.
struct Arg {
    enum Kind { kString, kInteger, kOmitted } kind;
    std::string s;
    std::int32_t n = 0;
    Arg(const char* text) : kind(kString), s(text) {}
    Arg(std::string text) : kind(kString), s(std::move(text)) {}
    Arg(int i) : kind(kInteger), n(i) {}
    static Arg omitted() {
        Arg a("");
        a.kind = kOmitted;
        return a;
    }
};
inline const Arg kOmit = Arg::omitted();

// The record the call produced, kept for inspection.
struct CallOutcome {
    int error = 0;
    Value result = kNullString;
    ~CallOutcome() { release(result); }
    std::string text() {
        if (error) return "error " + std::to_string(error);
        return std::string(string_of(result));
    }
};

inline int code_of(const char* name) {
    return builtin_code(name, std::strlen(name));
}

inline void call_into(CallOutcome& out, const char* name, const std::vector<Arg>& args) {
    const int argc = static_cast<int>(args.size());
    std::vector<Value> block(args.size() + 1);  // never empty, so data() is usable
    for (int i = 0; i < argc; ++i) {
        const Arg& a = args[static_cast<std::size_t>(i)];
        Value& v = block[static_cast<std::size_t>(argc - 1 - i)];
        if (a.kind == Arg::kOmitted)
            v = kAbsentValue;
        else if (a.kind == Arg::kInteger)
            v = integer_constant(a.n);
        else
            v = make_value(a.s);
    }
    out.error = error_of([&] {
        Value r;
        builtin_call(code_of(name), block.data(), argc, r);
        out.result = r;
    });
    for (int i = 0; i < argc; ++i) release(block[static_cast<std::size_t>(i)]);
}

// The result of NAME(args...) as a string, or "error N".
inline std::string bif(const char* name, const std::vector<Arg>& args = {}) {
    CallOutcome out;
    call_into(out, name, args);
    return out.text();
}

// The error number NAME(args...) raised, 0 when it raised none.
inline int bif_error(const char* name, const std::vector<Arg>& args = {}) {
    CallOutcome out;
    call_into(out, name, args);
    return out.error;
}

// A run with an activation of its own made current (NUMERIC settings, arguments, condition,
// trace), restored on destruction.
class ActivationScope {
  public:
    ActivationScope() : saved_(g_lib.activation) {
        std::memset(static_cast<void*>(&act_), 0, sizeof act_);
        act_.numeric = Numeric{};
        act_.environment = kAbsentValue;
        act_.previous_environment = kAbsentValue;
        act_.condition_description = kAbsentValue;
        act_.trace[0] = 'N';
        act_.trace[1] = ' ';
        act_.trace_flags = kTraceFailures;
        g_lib.activation = &act_;
    }
    ~ActivationScope() {
        release(act_.environment);
        release(act_.condition_description);
        for (Value& v : args_) release(v);
        g_lib.activation = saved_;
    }
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

    Activation& act() { return act_; }
    ScopedRun& run() { return run_; }
    // The routine's arguments in order; kOmit for an omitted one.
    void set_args(const std::vector<Arg>& args) {
        for (const Arg& a : args)
            args_.push_back(a.kind == Arg::kOmitted ? kAbsentValue : make_value(a.s));
        act_.args = args_.data();
        act_.argc = static_cast<int>(args_.size());
    }

  private:
    ScopedRun run_;
    Activation act_;
    Activation* saved_;
    std::vector<Value> args_;
};

}  // namespace ketra::test
