// INTERPRET: the string is translated into a code block of its own that runs in place of the
// program's code until its end opcode (or a SIGNAL out of it); the literals and symbols its
// translation added to the program's tables are removed again when it ends. INTERPRETs nest.
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

void truncate_tables(Program* p, std::size_t literals, std::size_t symbols) {
    while (p->literals.size() > literals) {
        release(p->literals.back());
        p->literals.pop_back();
    }
    while (p->symbols.size() > symbols) {
        release(p->symbols.back().name);
        p->symbols.pop_back();
    }
}

}  // namespace

void start_interpret(Interp& in, Value& text) {
    Program* p = in.prog;
    std::size_t literals = p->literals.size();
    std::size_t symbols = p->symbols.size();
    RexxVector<std::uint8_t> code;
    try {
        NumberBuffer nb;
        std::string_view s = is_absent(text) ? std::string_view() : view_of(text, nb);
        translate_interpret_string(in.inst, s.data(), s.size(), code);
    } catch (const RexxUnwind&) {
        truncate_tables(p, literals, symbols);
        throw;
    }
    code.push_back(44);
    auto* f = static_cast<InterpretFrame*>(allocate_zeroed(sizeof(InterpretFrame)));
    f->block = static_cast<std::uint8_t*>(allocate(code.size()));
    std::memcpy(f->block, code.data(), code.size());
    f->block_size = static_cast<std::uint32_t>(code.size());
    f->saved_code = in.code;
    f->saved_code_size = in.code_size;
    f->resume = in.pc + 1;
    f->location = in.pc;
    f->literal_count = literals;
    f->symbol_count = symbols;
    f->next = in.act->interprets;
    in.act->interprets = f;
    drop_top(in);
    in.code = f->block;
    in.code_size = f->block_size;
    in.pc = 0;
}

void end_interpret(Interp& in) {
    InterpretFrame* f = in.act->interprets;
    if (!f) internal_error(5);
    in.act->interprets = f->next;
    in.code = f->saved_code;
    in.code_size = f->saved_code_size;
    in.pc = f->resume;
    truncate_tables(in.prog, f->literal_count, f->symbol_count);
    release_if(f->block);
    release(static_cast<void*>(f));
}

}  // namespace ketra
