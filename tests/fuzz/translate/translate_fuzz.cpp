// Fuzz target of the scanner and the clause compiler together: the input is translated as a
// program source (first byte even) or as INTERPRET text against a small program (first byte
// odd). Any outcome but a REXX error or a program is a fault: a crash, a hang, a read outside
// the text, or code whose instructions or jump targets leave the code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rexx/host/error.h"
#include "rexx/host/output.h"
#include "rexx/host/session.h"
#include "rexx/translate/opcodes.h"
#include "rexx/translate/program.h"
#include "rexx/translate/translator.h"

namespace {

using namespace ketra;

void quiet(const char*, std::size_t, void*) {}

// Every instruction is whole and every jump lands inside the code.
void check_code(const RexxVector<std::uint8_t>& code) {
    std::size_t pc = 0;
    while (pc < code.size()) {
        const OpcodeInfo* info = opcode_info(code[pc]);
        if (!info || pc + info->length > code.size()) std::abort();
        if (has_target(code[pc])) {
            std::uint32_t target = code[pc + info->length - 3] | code[pc + info->length - 2] << 8 |
                                   code[pc + info->length - 1] << 16;
            if (target >= code.size()) std::abort();
        }
        pc += info->length;
    }
}

struct Run {
    explicit Run(std::uint8_t state) : saved(g_lib.current) {
        ensure_library_started();
        inst.state = state;
        inst.program_name = name;
        inst.recovery_armed = true;
        g_lib.current = &inst;
    }
    ~Run() { g_lib.current = saved; }
    char name[16] = "fuzz.rex";
    ExecInstance inst{};
    ExecInstance* saved;
    InnerRecovery recovery;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    set_diagnostic_sink(&quiet, nullptr);
    // The text lives in its own allocation of exactly its size, so that a read past its end is
    // seen by the sanitizer.
    std::size_t n = size - 1;
    char* text = static_cast<char*>(std::malloc(n ? n : 1));
    for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>(data[i + 1]);
    if (data[0] % 2 == 0) {
        Run run(kStateTranslating);
        run.inst.source_start = run.inst.source_pos = text;
        run.inst.source_end = text + n;
        run.inst.mode =
            data[0] & 0x80 ? kModeInitial : static_cast<std::uint8_t>(kModeInitial & ~0x38);
        try {
            ProgramPtr p = translate_source(&run.inst);
            check_code(p->code);
            if (p->code.empty() || p->code.back() != kOpEnd) std::abort();
        } catch (const RexxUnwind&) {
        }
    } else {
        static const char kBase[] = "exit\nh: return\n";
        ProgramPtr program;
        {
            Run run(kStateTranslating);
            run.inst.source_start = run.inst.source_pos = kBase;
            run.inst.source_end = kBase + sizeof kBase - 1;
            program = translate_source(&run.inst);
        }
        Run run(kStateExecuting);
        std::size_t literals = program->literals.size(), symbols = program->symbols.size();
        try {
            RexxVector<std::uint8_t> code =
                translate_interpret(&run.inst, *program, text, n, literals + 40, symbols + 40);
            if (code.empty() || code.back() != kOpInterpretEnd) std::abort();
        } catch (const RexxUnwind&) {
            // A failed translation leaves the tables as they were.
            if (program->literals.size() != literals || program->symbols.size() != symbols)
                std::abort();
        }
    }
    std::free(text);
    set_diagnostic_sink(nullptr, nullptr);
    return 0;
}
