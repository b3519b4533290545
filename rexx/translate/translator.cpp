// The translation driver: sets up the scanner and compiler over a run's source or an INTERPRET
// text, runs the compile loop, ends the code and resolves the references.
#include "rexx/translate/translator.h"

#include "rexx/host/hooks.h"
#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

constexpr std::size_t kInterpretCodeLimit = 10000;

// Removes the table entries an INTERPRET translation added unless it finished.
class TableRollback {
  public:
    explicit TableRollback(Program& p)
        : p_(p), literals_(p.literals.size()), symbols_(p.symbols.size()) {}
    ~TableRollback() {
        if (committed_) return;
        while (p_.literals.size() > literals_) {
            release(p_.literals.back());
            p_.literals.pop_back();
        }
        while (p_.symbols.size() > symbols_) {
            release(p_.symbols.back().name);
            p_.symbols.pop_back();
        }
    }
    TableRollback(const TableRollback&) = delete;
    TableRollback& operator=(const TableRollback&) = delete;
    void commit() { committed_ = true; }

  private:
    Program& p_;
    std::size_t literals_;
    std::size_t symbols_;
    bool committed_ = false;
};

}  // namespace

ProgramPtr translate_source(ExecInstance* inst) {
    ProgramPtr program = make_program();
    Compiler c;
    c.program = program.get();
    c.code = &program->code;
    c.record_statements = (inst->mode & kModeSourceInformation) != 0;
    c.trace_labels = (inst->mode & kModeTracePermitted) != 0;
    start_scanner(c.sc, inst, program.get());
    ScannerGuard guard(c.sc);
    compile_clauses(c);
    emit(c, kOpEnd);
    resolve_references(c);
    program->source_lines = c.sc.line_counter;
    return program;
}

void translate_program(ExecInstance* inst) {
    inst->program = translate_source(inst);
}

RexxVector<std::uint8_t> translate_interpret(ExecInstance* inst, Program& program, const char* text,
                                             std::size_t length, std::size_t literal_limit,
                                             std::size_t symbol_limit) {
    TableRollback rollback(program);
    RexxVector<std::uint8_t> work;
    work.reserve(64);
    {
        Compiler c;
        c.program = &program;
        c.code = &work;
        c.code_limit = kInterpretCodeLimit;
        c.interpret = true;
        start_interpret_scanner(c.sc, inst, &program, text, length, literal_limit, symbol_limit);
        ScannerGuard guard(c.sc);
        compile_clauses(c);
        emit(c, kOpInterpretEnd);
    }
    rollback.commit();
    return work;
}

}  // namespace ketra
