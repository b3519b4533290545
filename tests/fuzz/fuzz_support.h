// What the fuzz targets share: a quiet library (an option registry of its own in a scratch
// folder, an RXSIO exit that swallows every line, diagnostics dropped), a translating run made
// current by hand, the shape check of byte code, and the round trip of a program through its
// compiled image. A broken expectation ends the process with a message, which libFuzzer
// reports as a finding together with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "platform/memory.h"
#include "rexx/host/error.h"
#include "rexx/host/output.h"
#include "rexx/host/session.h"
#include "rexx/translate/image.h"
#include "rexx/translate/opcodes.h"
#include "rexx/translate/program.h"
#include "rexxsaa.h"

namespace ketra::fuzz {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void expect(bool ok, const char* what) {
    if (!ok) fail(what);
}

inline LONG APIENTRY swallow_io(LONG, LONG, PEXIT) {
    return RXEXIT_HANDLED;
}

inline void drop_diagnostic(const char*, std::size_t, void*) {}

// The scratch folder of this process (option registry, program files); removed at exit.
inline const std::string& scratch_folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ketra-fuzz-run.XXXXXX";
        if (!::mkdtemp(pattern.data())) fail("no scratch folder");
        return pattern;
    }();
    return folder;
}

inline void remove_scratch_folder() {
    std::string cmd = "rm -rf '" + scratch_folder() + "'";
    if (std::system(cmd.c_str()) != 0) {
        // Nothing to be done about a scratch folder that will not go.
    }
}

// The exit list that routes a run's output to swallow_io.
inline RXSYSEXIT* quiet_exits() {
    static RXSYSEXIT exits[] = {{"KFUZZSIO", RXSIO}, {nullptr, RXENDLST}};
    return exits;
}

// Once per process: options that keep a run from loading the function package or prompting,
// the RXSIO exit, and no diagnostics on standard error.
inline void start_quiet_library() {
    static const bool started = [] {
        const std::string& dir = scratch_folder();
        std::string reg = dir + "/HKEY_CURRENT_USER.reg";
        if (FILE* f = std::fopen(reg.c_str(), "w")) {
            std::fputs(
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx\\ExecOptions]\n"
                "\"InitTPXternals\"=dword:00000000\n"
                "\"NoAutoArgPrompt\"=dword:00000001\n"
                "\"NoArgPrompts\"=dword:00000001\n",
                f);
            std::fclose(f);
        }
        ::setenv("KETRA_REGISTRY", dir.c_str(), 1);
        std::atexit(&remove_scratch_folder);
        if (!ensure_library_started()) fail("library start");
        RexxRegisterExitExe("KFUZZSIO", reinterpret_cast<PFN>(&swallow_io), nullptr);
        set_diagnostic_sink(&drop_diagnostic, nullptr);
        return true;
    }();
    (void)started;
}

// A run made current by hand, as the library's own tests make one: errors unwind to the
// caller as RexxUnwind.
struct ManualRun {
    explicit ManualRun(std::uint8_t state) : saved(g_lib.current) {
        inst.state = state;
        inst.program_name = name;
        inst.recovery_armed = true;
        g_lib.current = &inst;
    }
    ~ManualRun() { g_lib.current = saved; }
    ManualRun(const ManualRun&) = delete;
    ManualRun& operator=(const ManualRun&) = delete;
    char name[16] = "fuzz.rex";
    ExecInstance inst{};
    ExecInstance* saved;
    InnerRecovery recovery;
};

// A copy of the bytes in an allocation of exactly their size, so that a read past the end is
// seen by the address sanitizer.
struct ExactCopy {
    ExactCopy(const std::uint8_t* data, std::size_t size)
        : bytes(static_cast<std::uint8_t*>(std::malloc(size ? size : 1))), length(size) {
        if (!bytes) fail("out of memory");
        if (size) std::memcpy(bytes, data, size);
    }
    ~ExactCopy() { std::free(bytes); }
    ExactCopy(const ExactCopy&) = delete;
    ExactCopy& operator=(const ExactCopy&) = delete;
    char* chars() const { return reinterpret_cast<char*>(bytes); }
    std::uint8_t* bytes;
    std::size_t length;
};

// A global memory block handed out by the library, released on scope exit.
struct GlobalBlock {
    explicit GlobalBlock(void* p = nullptr) : ptr(p) {}
    ~GlobalBlock() {
        if (ptr) platform::global_free(ptr);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    void* ptr;
};

inline std::uint32_t operand_u24(const std::uint8_t* p) {
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
}

// Every instruction of the code is defined and whole, and every jump lands inside the code.
inline void check_code_shape(const RexxVector<std::uint8_t>& code) {
    std::size_t pc = 0;
    while (pc < code.size()) {
        const OpcodeInfo* info = opcode_info(code[pc]);
        expect(info && pc + info->length <= code.size(), "instruction cut short or undefined");
        if (has_target(code[pc]))
            expect(operand_u24(&code[pc + info->length - 3]) < code.size(), "jump leaves the code");
        pc += info->length;
    }
}

// A program that verifies survives its compiled image: the full form (and the 16-bit form when
// the program fits it) validates, unpacks, verifies again and carries the same code and tables.
inline void check_image_round_trip(const Program& p, bool with_statements) {
    std::size_t size = 0;
    GlobalBlock block(build_image(p, with_statements, &size));
    expect(block.ptr != nullptr, "no image built");
    const auto* bytes = static_cast<const std::uint8_t*>(block.ptr);
    expect(size == image_size(p, with_statements), "image size differs from its layout");
    expect(validate_image(bytes, size), "built image does not validate");
    ProgramPtr back = unpack_image(bytes, size, with_statements);
    expect(back != nullptr, "built image does not load");
    expect(back->code == p.code, "code changed through the image");
    expect(back->literals.size() == p.literals.size() && back->symbols.size() == p.symbols.size() &&
               back->labels.size() == p.labels.size(),
           "tables changed through the image");
    RexxVector<std::uint8_t> small;
    if (build_image16(p, with_statements, small)) {
        expect(validate_image(small.data(), small.size()), "16-bit image does not validate");
        ProgramPtr back16 = unpack_image(small.data(), small.size(), with_statements);
        expect(back16 != nullptr, "16-bit image does not load");
        expect(back16->code == p.code, "code changed through the 16-bit image");
    }
}

}  // namespace ketra::fuzz
