// Fuzz target of the scanner and the clause compiler together. The first input byte chooses
// the way in, the rest is the text:
//   bit 0 set:    INTERPRET text, through the interpreter's own port, against a small program;
//   bit 1 set:    a program given in store to RexxStart with "/T" (translate only), which hands
//                 back its compiled image;
//   neither:      a program translated directly, with the statement table when bit 7 is set and
//                 label trace markers when bit 2 is set.
// Any outcome but a REXX error or a sound program is a finding: a crash, a hang, a read outside
// the text, code that does not verify or does not survive its image, or tables that an
// INTERPRET that failed leaves changed.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/translate/disasm.h"
#include "rexx/translate/translator.h"

namespace {

using namespace ketra;
using namespace ketra::fuzz;

void translate_direct(std::uint8_t how, const ExactCopy& text) {
    ManualRun run(kStateTranslating);
    run.inst.source_start = run.inst.source_pos = text.chars();
    run.inst.source_end = text.chars() + text.length;
    std::uint8_t mode = how & 0x80 ? kModeInitial : static_cast<std::uint8_t>(kModeInitial & ~0x38);
    if (how & 0x04) mode |= kModeTracePermitted;
    run.inst.mode = mode;
    ProgramPtr p;
    try {
        p = translate_source(&run.inst);
    } catch (const RexxUnwind& u) {
        expect(u.number > 0, "translation unwound without an error number");
        return;
    }
    check_code_shape(p->code);
    expect(!p->code.empty() && p->code.back() == kOpEnd, "program does not end in END");
    expect(verify_program(*p), "translated program does not verify");
    bool statements = (mode & kModeSourceInformation) != 0;
    expect(statements || p->statements.empty(), "statements recorded without being asked for");
    check_image_round_trip(*p, statements);
    std::string listing = disassemble(*p, "fuzz.rex");
    expect(listing.find("verification ok") != std::string::npos, "listing does not verify");
}

void translate_through_rexxstart(const ExactCopy& text) {
    // An empty in-store source makes the run read the program file of that name instead.
    if (text.length == 0) return;
    RXSTRING arg, instore[2], result;
    MAKERXSTRING(arg, const_cast<char*>("/T"), 2);
    MAKERXSTRING(instore[0], text.chars(), text.length);
    MAKERXSTRING(instore[1], nullptr, 0);
    MAKERXSTRING(result, nullptr, 0);
    SHORT rc = 0;
    LONG status =
        RexxStart(1, &arg, "fuzz.rex", instore, "CMD", RXSUBROUTINE, quiet_exits(), &rc, &result);
    GlobalBlock image(instore[1].strptr);
    expect(result.strptr == nullptr, "a translate-only run gave a result");
    // A run either stops with a REXX error or translates and hands the image back.
    expect(status <= 0, "translate-only run returned a start-up code");
    if (status < 0) {
        expect(image.ptr == nullptr, "a failed translation handed back an image");
        return;
    }
    expect(image.ptr != nullptr, "a translation handed back no image");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(instore[1].strptr);
    ProgramPtr p = unpack_image(bytes, instore[1].strlength, true);
    expect(p != nullptr, "the image a translation handed back does not load");
}

// The interpreted block: whole instructions, jumps inside the block, call and SIGNAL targets
// inside the program, every table index in range.
void check_interpret_block(const Program& p, const RexxVector<std::uint8_t>& code) {
    expect(!code.empty() && code.back() == kOpInterpretEnd, "block does not end the INTERPRET");
    expect(code.size() <= 10000, "block longer than the INTERPRET work area");
    for (std::size_t pc = 0; pc < code.size();) {
        std::uint8_t op = code[pc];
        const OpcodeInfo* info = opcode_info(op);
        expect(info && pc + info->length <= code.size(), "instruction cut short or undefined");
        const std::uint8_t* o = &code[pc + 1];
        for (OperandKind k : info->operands) {
            std::uint32_t v = 0;
            for (std::size_t b = 0; b < operand_width(k); ++b)
                v |= static_cast<std::uint32_t>(o[b]) << (8 * b);
            switch (k) {
                case kOperandLiteral16:
                case kOperandLiteral24:
                case kOperandTemplate16:
                    expect(v < p.literals.size(), "literal index out of range");
                    break;
                case kOperandSymbol16:
                    expect(v < p.symbols.size(), "symbol index out of range");
                    break;
                case kOperandTarget24: {
                    bool outside = op == kOpCallInternal || op == kOpFuncInternal ||
                                   op == kOpSignal || op == kOpTrapName;
                    expect(v < (outside ? p.code.size() : code.size()), "target out of range");
                    break;
                }
                default:
                    break;
            }
            o += operand_width(k);
        }
        pc += info->length;
    }
}

void translate_interpreted(std::uint8_t how, const ExactCopy& text) {
    static const char kBase[] = "exit\nh: return 1\nl: say 1\n";
    ProgramPtr program;
    {
        ManualRun run(kStateTranslating);
        run.inst.source_start = run.inst.source_pos = kBase;
        run.inst.source_end = kBase + sizeof kBase - 1;
        run.inst.mode = how & 0x04 ? kModeInitial : kModeInitial & ~kModeTracePermitted;
        program = translate_source(&run.inst);
    }
    ManualRun run(kStateExecuting);
    run.inst.program = std::move(program);
    Program& p = *run.inst.program;
    std::size_t literals = p.literals.size(), symbols = p.symbols.size();
    RexxVector<std::uint8_t> code;
    try {
        translate_interpret_string(&run.inst, text.chars(), text.length, code);
    } catch (const RexxUnwind& u) {
        expect(u.number > 0, "translation unwound without an error number");
        expect(p.literals.size() == literals && p.symbols.size() == symbols,
               "a failed INTERPRET left entries in the tables");
        return;
    }
    expect(p.literals.size() <= literals + 40 && p.symbols.size() <= symbols + 40,
           "INTERPRET grew the tables past their room");
    check_interpret_block(p, code);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    start_quiet_library();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ExactCopy text(data + 1, size - 1);
    std::uint8_t how = data[0];
    if (how & 0x01)
        translate_interpreted(how, text);
    else if (how & 0x02)
        translate_through_rexxstart(text);
    else
        translate_direct(how, text);
    return 0;
}
