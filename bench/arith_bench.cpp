// Operator throughput: add, multiply, divide and power at NUMERIC DIGITS 9, 50 and 1000 on
// operands with DIGITS significant digits, and the 32-bit integer fast path.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "rexx/runtime/arith.h"

namespace {

using namespace ketra;

// A number of d significant digits with the point after the third.
std::string operand(int d, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(1, static_cast<char>('1' + rng() % 9));
    for (int i = 1; i < d; ++i) {
        if (i == 3) s += '.';
        s += static_cast<char>('0' + rng() % 10);
    }
    return s;
}

void run_op(benchmark::State& state, int op, const char* right = nullptr) {
    Numeric n;
    set_numeric_digits(n, static_cast<int>(state.range(0)));
    ValueHolder a(make_value(operand(n.digits, 1)));
    ValueHolder b(make_value(right ? std::string(right) : operand(n.digits, 2)));
    for (auto _ : state) {
        Value r = arith(a.get(), b.get(), op, n);
        benchmark::DoNotOptimize(r);
        release(r);
    }
}

void BM_Add(benchmark::State& s) {
    run_op(s, kOpAdd);
}
void BM_Multiply(benchmark::State& s) {
    run_op(s, kOpMultiply);
}
void BM_Divide(benchmark::State& s) {
    run_op(s, kOpDivide);
}
void BM_Power(benchmark::State& s) {
    run_op(s, kOpPower, "17");
}
BENCHMARK(BM_Add)->Arg(9)->Arg(50)->Arg(1000);
BENCHMARK(BM_Multiply)->Arg(9)->Arg(50)->Arg(1000);
BENCHMARK(BM_Divide)->Arg(9)->Arg(50)->Arg(1000);
BENCHMARK(BM_Power)->Arg(9)->Arg(50)->Arg(1000);

// Loop-counter style arithmetic: whole operands, integer-form results.
void BM_IntegerFastPath(benchmark::State& state) {
    Numeric n;
    Value acc = make_integer(0);
    Value step = make_value("7");
    for (auto _ : state) {
        acc = arith(acc, step, kOpAdd, n);
        if (acc.data.integer > 900000000) acc = make_integer(0);
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_IntegerFastPath);

void BM_IntegerMultiplyRemainder(benchmark::State& state) {
    Numeric n;
    Value a = make_value("12345");
    Value b = make_value("678");
    for (auto _ : state) {
        Value p = arith(a, b, kOpMultiply, n);
        Value r = arith(p, b, kOpRemainder, n);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_IntegerMultiplyRemainder);

void BM_CompareNumeric(benchmark::State& state) {
    Numeric n;
    ValueHolder a(make_value("3.14159265"));
    ValueHolder b(make_value("3.14159266"));
    for (auto _ : state) benchmark::DoNotOptimize(compare(a.get(), b.get(), kCmpLt, n));
}
BENCHMARK(BM_CompareNumeric);

}  // namespace

BENCHMARK_MAIN();
