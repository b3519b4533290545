// Release of the tables of a compiled program.
#include "rexx/translate/program.h"

#include "rexx/host/session.h"

namespace ketra {

void clear_program(Program& program) {
    for (Value& v : program.literals) release(v);
    for (SymbolEntry& s : program.symbols) release(s.name);
    program.code.clear();
    program.literals.clear();
    program.symbols.clear();
    program.labels.clear();
    program.statements.clear();
    program.source_lines = 0;
    program.flags = 0;
}

void ProgramDeleter::operator()(Program* program) const {
    if (!program) return;
    clear_program(*program);
    std::default_delete<Program>()(program);
}

ProgramPtr make_program() { return ProgramPtr(std::make_unique<Program>().release()); }

}  // namespace ketra
