// Helpers for tests that call library internals directly: a run made current in the executing
// state, with an inner recovery point armed, so that code raising REXX errors can be called
// and the error numbers seen; and a capture of the library's diagnostic lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rexx/host/error.h"
#include "rexx/host/output.h"
#include "rexx/host/session.h"

namespace ketra::test {

class ScopedRun {
public:
    explicit ScopedRun(std::uint8_t state = kStateExecuting) : saved_(g_lib.current) {
        ensure_library_started();
        inst_.state = state;
        inst_.program_name = name_;
        inst_.recovery_armed = true;
        g_lib.current = &inst_;
    }
    ~ScopedRun() { g_lib.current = saved_; }
    ScopedRun(const ScopedRun&) = delete;
    ScopedRun& operator=(const ScopedRun&) = delete;

    ExecInstance& instance() { return inst_; }

private:
    char name_[16] = "test.rex";
    ExecInstance inst_{};
    ExecInstance* saved_;
    InnerRecovery recovery_;
};

// Runs f and returns the number of the REXX error it raised, or 0 when it raised none.
template <class F>
int error_of(F&& f) {
    try {
        f();
    } catch (const RexxUnwind& u) {
        return u.number;
    }
    return 0;
}

// Collects the diagnostic lines written while it lives.
class DiagnosticCapture {
public:
    DiagnosticCapture() { set_diagnostic_sink(&DiagnosticCapture::sink, this); }
    ~DiagnosticCapture() { set_diagnostic_sink(nullptr, nullptr); }
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    static void sink(const char* text, std::size_t length, void* context) {
        static_cast<DiagnosticCapture*>(context)->lines_.emplace_back(text, length);
    }
    std::vector<std::string> lines_;
};

}  // namespace ketra::test

#define EXPECT_REXX_ERROR(stmt, n) EXPECT_EQ(::ketra::test::error_of([&] { stmt; }), (n))
