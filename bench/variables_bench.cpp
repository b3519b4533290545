// Variable access cost through the interpreter's ports: fetch and store of a simple variable
// found through the symbol-table cache, of a compound variable with a short tail in a stem of
// 1000 compounds, access by name (RexxVariablePool, VALUE), and a PARSE of three words.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/parse.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"

namespace {

using namespace ketra;

// A current run with a hand-made program: X, N, I, A., A.I and a template for three words.
struct Fixture {
    ExecInstance inst{};
    Activation act{};
    std::uint16_t x, n, i, stem, compound, w1, w2, w3, tmpl;

    Fixture() {
        ensure_library_started();
        inst.state = kStateExecuting;
        inst.program = make_program();
        g_lib.current = &inst;
        Program& p = *inst.program;
        for (const char* name : {"RC", "RESULT", "SIGL"}) add(name, kSymbolSimple);
        x = add("X", kSymbolSimple);
        n = add("N", kSymbolSimple);
        i = add("I", kSymbolSimple);
        stem = add("A.", kSymbolStem);
        compound = add("A.I", kSymbolCompound);
        std::string d = {3, static_cast<char>(stem), 0, 3, static_cast<char>(i), 0};
        p.literals.push_back(make_value(d, true));
        p.symbols[compound].tail = static_cast<std::uint32_t>(p.literals.size() - 1);
        w1 = add("W1", kSymbolSimple);
        w2 = add("W2", kSymbolSimple);
        w3 = add("W3", kSymbolSimple);
        std::vector<std::uint16_t> words = {9, 0, 3, w1, w2, w3};
        std::string t;
        for (std::uint16_t w : words) {
            t += static_cast<char>(w & 0xFF);
            t += static_cast<char>(w >> 8);
        }
        p.literals.push_back(make_value(t, true));
        tmpl = static_cast<std::uint16_t>(p.literals.size() - 1);
        vars_open_program(&act);
        var_store(&act, x, make_value("short", true));
        var_store(&act, n, make_integer(0));
        for (int k = 1; k <= 1000; ++k) {
            var_store(&act, i, make_integer(k));
            var_store(&act, compound, make_value("value", true));
        }
        var_store(&act, i, make_integer(500));
    }
    ~Fixture() {
        vars_close(&act);
        inst.program.reset();
        g_lib.current = nullptr;
    }
    std::uint16_t add(const char* name, std::uint8_t kind) {
        SymbolEntry e{};
        e.name = make_value(name, true);
        e.kind = kind;
        inst.program->symbols.push_back(e);
        return static_cast<std::uint16_t>(inst.program->symbols.size() - 1);
    }
};

void BM_FetchSimple(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        Value v;
        benchmark::DoNotOptimize(var_fetch(&f.act, f.x, v));
        benchmark::DoNotOptimize(v);
    }
}

void BM_StoreSimpleInteger(benchmark::State& state) {
    Fixture f;
    std::int32_t k = 0;
    for (auto _ : state) var_store(&f.act, f.n, make_integer(++k & 0xFFFF));
}

void BM_StoreSimpleShortString(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) var_store(&f.act, f.x, make_value("abcdefg", 7, false));
}

void BM_FetchCompound(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        Value v;
        benchmark::DoNotOptimize(var_fetch(&f.act, f.compound, v));
        benchmark::DoNotOptimize(v);
    }
}

void BM_StoreCompound(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) var_store(&f.act, f.compound, make_value("abc", 3, false));
}

void BM_FetchByName(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        ResolvedName r;
        resolve_symbolic_name(f.act.scope, "A.I", r);
        Value v;
        benchmark::DoNotOptimize(fetch_by_name(f.act.scope, r, v));
        release(v);
    }
}

void BM_ParseThreeWords(benchmark::State& state) {
    Fixture f;
    Value src = make_value("alpha beta gamma", true);
    for (auto _ : state) parse_string(&f.act, f.tmpl, src, false);
    release(src);
}

}  // namespace

BENCHMARK(BM_FetchSimple);
BENCHMARK(BM_StoreSimpleInteger);
BENCHMARK(BM_StoreSimpleShortString);
BENCHMARK(BM_FetchCompound);
BENCHMARK(BM_StoreCompound);
BENCHMARK(BM_FetchByName);
BENCHMARK(BM_ParseThreeWords);
BENCHMARK_MAIN();
