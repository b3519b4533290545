// Differential-test driver: reads lines "op<TAB>digits<TAB>fuzz<TAB>form<TAB>a<TAB>b" and writes
// one line per case: the result string, or "error N" when the operation raised REXX error N.
// The operators are written as in REXX (+ - * / % // **, prefix forms "p+", "p-", "abs",
// "sign", and the comparison operators).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "rexx/runtime/arith.h"
#include "support/rexx_test.h"

namespace {

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t t = line.find('\t', start);
        if (t == std::string::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, t - start));
        start = t + 1;
    }
}

int arith_op(const std::string& op) {
    static const char* const names[] = {"+",  "-",  "*",  "/",   "%",   "//",
                                        "**", "p+", "p-", "abs", "sign"};
    for (int i = 0; i < 11; ++i)
        if (op == names[i]) return i + 1;
    return 0;
}

int compare_op(const std::string& op) {
    static const char* const names[] = {
        "=", "\\=", ">", "<", ">=", "<=", "==", "\\==", ">>", "<<", ">>=", "<<="};
    for (int i = 0; i < 12; ++i)
        if (op == names[i]) return i + 1;
    return 0;
}

}  // namespace

int main() {
    ketra::test::ScopedRun run;
    std::string line;
    std::string out;
    while (std::getline(std::cin, line)) {
        std::vector<std::string> f = split_tabs(line);
        if (f.size() != 6) {
            out += "bad input\n";
            continue;
        }
        ketra::Numeric n;
        int digits = std::stoi(f[1]);
        n.fuzz = std::stoi(f[2]);
        n.engineering = f[3] == "E";
        int e = ketra::test::error_of([&] { ketra::set_numeric_digits(n, digits); });
        if (e) {
            out += "error " + std::to_string(e) + "\n";
            continue;
        }
        ketra::ValueHolder a(ketra::make_value(f[4]));
        ketra::ValueHolder b(ketra::make_value(f[5]));
        std::string result;
        e = ketra::test::error_of([&] {
            if (int op = arith_op(f[0])) {
                ketra::ValueHolder r(ketra::arith(a.get(), b.get(), op, n));
                result = std::string(ketra::string_of(r.get()));
            } else if (int c = compare_op(f[0])) {
                result = std::to_string(ketra::compare(a.get(), b.get(), c, n));
            } else {
                result = "bad op";
            }
        });
        out += e ? "error " + std::to_string(e) : result;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
