// Operators: arithmetic by operation (fast path, decimal path, rounding, layout, limits),
// numeric and strict comparison, logical operators and concatenation.
#include "rexx/runtime/arith.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rexx/runtime/number.h"
#include "support/rexx_test.h"

namespace ketra {
namespace {

Numeric digits(int d, int fuzz = 0, bool eng = false) {
    Numeric n;
    set_numeric_digits(n, d);
    n.fuzz = fuzz;
    n.engineering = eng;
    return n;
}

// The result string of a op b, or "error N".
std::string calc(const std::string& a, int op, const std::string& b, const Numeric& n = {}) {
    std::string out;
    int e = test::error_of([&] {
        ValueHolder l(make_value(a));
        ValueHolder r(make_value(b));
        ValueHolder res(arith(l.get(), r.get(), op, n));
        out = std::string(string_of(res.get()));
    });
    return e ? "error " + std::to_string(e) : out;
}

int cmp(const std::string& a, int op, const std::string& b, const Numeric& n = {}) {
    ValueHolder l(make_value(a));
    ValueHolder r(make_value(b));
    return compare(l.get(), r.get(), op, n);
}

class Arith : public ::testing::Test {
  protected:
    test::ScopedRun run;
};

TEST_F(Arith, AddAndSubtract) {
    EXPECT_EQ(calc("999999999", kOpAdd, "1"), "1.00000000E+9");  // leaves the fast path
    EXPECT_EQ(calc("-999999999", kOpSubtract, "1"), "-1.00000000E+9");
    EXPECT_EQ(calc("1.50", kOpAdd, "1"), "2.50");  // trailing zeros of the operands stay
    EXPECT_EQ(calc("1.5", kOpSubtract, "1.5"), "0");
    EXPECT_EQ(calc("0.000", kOpAdd, "1.5"), "1.5");  // zero carries no digits
    EXPECT_EQ(calc(" + 12 ", kOpAdd, "-  3"), "9");
    EXPECT_EQ(calc("1", kOpAdd, "1E-100"), "1.00000000");
    EXPECT_EQ(calc("1", kOpSubtract, "1E-100"), "1.00000000");  // 0.999... rounds up
    EXPECT_EQ(calc("1E+100", kOpSubtract, "1"), "1.00000000E+100");
    EXPECT_EQ(calc("9.9999999999", kOpAdd, "0"), "10.0000000");  // carry out of the first digit
    EXPECT_EQ(calc("0.1", kOpAdd, "0.2"), "0.3");
}

TEST_F(Arith, OperandsAreCutBeforeRounding) {
    // Cut to 3 digits, 1.4499 is 1.44; the sum 1.4411 rounds to 1.4 (the exact 1.451 would give
    // 1.5).
    EXPECT_EQ(calc("1.4499", kOpAdd, "0.0011", digits(2)), "1.4");
    EXPECT_EQ(calc("1.23456", kOpAdd, "0", digits(5)), "1.2346");
    EXPECT_EQ(calc("-1.23455", kOpAdd, "0", digits(5)), "-1.2346");  // half up on the magnitude
    EXPECT_EQ(calc("0.96", kOpAdd, "0", digits(1)), "1");
}

TEST_F(Arith, Multiply) {
    EXPECT_EQ(calc("1.5", kOpMultiply, "2"), "3.0");
    EXPECT_EQ(calc("12345", kOpMultiply, "-6789"), "-83810205");
    EXPECT_EQ(calc("123456789", kOpMultiply, "987654321"), "1.21932631E+17");
    EXPECT_EQ(calc("0", kOpMultiply, "-5.5"), "0");
    EXPECT_EQ(calc("0.1", kOpMultiply, "0.1"), "0.01");
}

TEST_F(Arith, DivideIntegerDivideRemainder) {
    EXPECT_EQ(calc("1", kOpDivide, "3"), "0.333333333");
    EXPECT_EQ(calc("2", kOpDivide, "3"), "0.666666667");
    EXPECT_EQ(calc("1", kOpDivide, "4"), "0.25");
    EXPECT_EQ(calc("1.00", kOpDivide, "1"), "1");  // quotients lose trailing zeros
    EXPECT_EQ(calc("-10", kOpDivide, "4"), "-2.5");
    EXPECT_EQ(calc("7", kOpIntDivide, "2"), "3");
    EXPECT_EQ(calc("-7", kOpIntDivide, "2"), "-3");
    EXPECT_EQ(calc("-7", kOpRemainder, "2"), "-1");
    EXPECT_EQ(calc("7", kOpRemainder, "-2"), "1");
    EXPECT_EQ(calc("7.50", kOpRemainder, "2"), "1.50");
    EXPECT_EQ(calc("7.5", kOpIntDivide, "2"), "3");
    EXPECT_EQ(calc("1E20", kOpIntDivide, "3"), "3.33333333E+19");
    EXPECT_EQ(calc("0.5", kOpRemainder, "2"), "0.5");
    EXPECT_EQ(calc("5", kOpIntDivide, "0"), "error 42");
    EXPECT_EQ(calc("5", kOpRemainder, "0"), "error 42");
    EXPECT_EQ(calc("5", kOpDivide, "0.000"), "error 42");
    // The integer quotient of 1E20 // 3 needs more than DIGITS digits.
    EXPECT_EQ(calc("1E20", kOpRemainder, "3"), "error 26");
}

TEST_F(Arith, Power) {
    EXPECT_EQ(calc("2", kOpPower, "-1"), "0.5");
    EXPECT_EQ(calc("2", kOpPower, "0.5"), "error 26");
    EXPECT_EQ(calc("2", kOpPower, "10"), "1024");
    EXPECT_EQ(calc("2", kOpPower, "1.0"), "2");  // a whole exponent need not be in integer syntax
    EXPECT_EQ(calc("2.0", kOpPower, "2"), "4");  // trailing zeros removed
    EXPECT_EQ(calc("10", kOpPower, "10"), "1E+10");
    EXPECT_EQ(calc("0", kOpPower, "0"), "1");
    EXPECT_EQ(calc("0", kOpPower, "-1"), "error 42");
    EXPECT_EQ(calc("-2", kOpPower, "3"), "-8");
    EXPECT_EQ(calc("1.1", kOpPower, "27"), "13.1099942");
    EXPECT_EQ(calc("abc", kOpPower, "2"), "error 41");
}

TEST_F(Arith, PrefixOperations) {
    EXPECT_EQ(calc("1.50", kOpPlus, ""), "1.50");
    EXPECT_EQ(calc("  -0.0 ", kOpMinus, ""), "0");
    EXPECT_EQ(calc("-3", kOpAbs, ""), "3");
    EXPECT_EQ(calc("-1234567890", kOpAbs, ""), "1.23456789E+9");
    EXPECT_EQ(calc("-0.001", kOpSign, ""), "-1");
    EXPECT_EQ(calc("0.000", kOpSign, ""), "0");
    EXPECT_EQ(calc("12", kOpMinus, "not a number"), "-12");  // prefix operations ignore r
}

TEST_F(Arith, Layout) {
    EXPECT_EQ(calc("123456789", kOpAdd, "0"), "123456789");
    EXPECT_EQ(calc("1234567890", kOpAdd, "0"), "1.23456789E+9");
    EXPECT_EQ(calc("0.000000000000000001", kOpAdd, "0"), "0.000000000000000001");  // 18 after
    EXPECT_EQ(calc("0.0000000000000000001", kOpAdd, "0"), "1E-19");                // 19 after
    EXPECT_EQ(calc("1E+5", kOpAdd, "0"), "100000");
    EXPECT_EQ(calc("-1.5E-3", kOpAdd, "0"), "-0.0015");
    Numeric eng = digits(9, 0, true);
    EXPECT_EQ(calc("12345678901", kOpAdd, "0", eng), "12.3456789E+9");
    EXPECT_EQ(calc("0.0000000000000000001", kOpAdd, "0", eng), "100E-21");
    EXPECT_EQ(calc("1.5E+20", kOpAdd, "0", eng), "150E+18");
    EXPECT_EQ(calc("1.5E+20", kOpAdd, "0"), "1.5E+20");
    EXPECT_EQ(calc("12", kOpAdd, "0", digits(1, 0, true)), "10E+0");
    // Every exponential result under ENGINEERING has an exponent that is a multiple of 3.
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        char a[40];
        std::snprintf(a, sizeof a, "%u.%uE%d", static_cast<unsigned>(rng() % 9 + 1),
                      static_cast<unsigned>(rng() % 1000), static_cast<int>(rng() % 200) - 100);
        std::string r = calc(a, kOpMultiply, "1", eng);
        std::size_t e = r.find('E');
        if (e == std::string::npos) continue;
        int x = std::stoi(r.substr(e + 1));
        EXPECT_EQ(x % 3, 0) << a << " -> " << r;
        std::size_t before = r.find_first_of(".E");
        EXPECT_GE(before, 1u);
        EXPECT_LE(before, 3u) << r;
    }
}

TEST_F(Arith, ExponentLimits) {
    // The limit is on the exponent as laid out, so every result reads back as a number.
    EXPECT_EQ(calc("1E999999999", kOpMultiply, "1"), "1E+999999999");
    EXPECT_EQ(calc("1E999999999", kOpMultiply, "10"), "error 42");
    EXPECT_EQ(calc("9.99999999E999999999", kOpAdd, "5E999999990"), "error 42");  // by rounding
    EXPECT_EQ(calc("1E-999999999", kOpMultiply, "1"), "1E-999999999");
    EXPECT_EQ(calc("1E-999999998", kOpMultiply, "0.01"), "error 42");
    EXPECT_EQ(calc("1E-999999999", kOpAdd, "0", digits(9, 0, true)), "1E-999999999");
    EXPECT_EQ(calc("1E999999998", kOpDivide, "1E-5"), "error 42");
    EXPECT_EQ(calc("10", kOpPower, "999999999"), "1E+999999999");
    EXPECT_EQ(calc("10", kOpPower, "-999999999"), "1E-999999999");
    EXPECT_EQ(calc("100", kOpPower, "999999999"), "error 42");
    EXPECT_EQ(calc("0.01", kOpPower, "999999999"), "error 42");
    EXPECT_EQ(calc("1E+500000000", kOpPower, "-2"), "error 42");
    EXPECT_EQ(calc("1E+999999990", kOpAdd, "-1E-999999990", digits(20)),
              "1.0000000000000000000E+999999990");
}

TEST_F(Arith, NonNumbers) {
    EXPECT_EQ(calc("abc", kOpAdd, "1"), "error 41");
    EXPECT_EQ(calc("1", kOpMultiply, ""), "error 41");
    EXPECT_EQ(calc("1E1234567890", kOpAdd, "1"), "error 41");
    EXPECT_EQ(calc(" ", kOpMinus, ""), "error 41");
    EXPECT_EQ(calc("1", kOpIntDivide, "x"), "error 41");
}

// The fast path and the decimal path must agree: the same integers written with a leading blank
// are numbers but not whole, so they take the decimal path.
TEST_F(Arith, FastPathMatchesDecimalPath) {
    std::mt19937 rng(1931);
    const int ops[] = {kOpAdd,  kOpSubtract, kOpMultiply, kOpIntDivide, kOpRemainder,
                       kOpPlus, kOpMinus,    kOpAbs,      kOpSign};
    auto pick = [&]() -> long {
        switch (rng() % 4) {
            case 0:
                return static_cast<long>(rng() % 21) - 10;
            case 1:
                return static_cast<long>(rng() % 2000001) - 1000000;
            default:
                return static_cast<long>(rng() % 1999999999) - 999999999;
        }
    };
    for (int i = 0; i < 3000; ++i) {
        std::string a = std::to_string(pick());
        std::string b = std::to_string(pick());
        for (int op : ops) {
            EXPECT_EQ(calc(a, op, b), calc(" " + a, op, " " + b)) << a << " op " << op << " " << b;
        }
    }
}

// The eight-digits-per-word conversions: every byte value in every position of the scan,
// and the boundaries of the word values.
TEST(DigitWords, ScanAndConvert) {
    for (int pos = 0; pos < 8; ++pos) {
        for (int b = 0; b < 256; ++b) {
            char w[8];
            std::memset(w, '7', 8);
            w[pos] = static_cast<char>(b);
            if (pos < 7) w[7] = static_cast<char>(b ^ 0x80);  // a later byte must not matter
            // A digit at pos leaves the flipped (never a digit) byte 7 as the first non-digit.
            bool digit = b >= '0' && b <= '9';
            unsigned want = digit ? (pos < 7 ? 7u : 8u) : static_cast<unsigned>(pos);
            EXPECT_EQ(first_non_digit8(load8(w)), want) << pos << " " << b;
        }
    }
    for (std::uint32_t v :
         {0u, 1u, 9u, 10u, 99999999u, 12345678u, 10000000u, 9999999u, 50505050u}) {
        std::uint8_t d[8];
        store8(d, value_digits8(v));
        std::uint32_t back = 0;
        for (std::uint8_t x : d) {
            EXPECT_LE(x, 9);
            back = back * 10 + x;
        }
        EXPECT_EQ(back, v);
        EXPECT_EQ(digits8_value(d), v);
    }
}

// The small-precision path against the digit path, on operands that stress its edges: more
// digits than are kept, leading and trailing zeros, exponents, blanks, carries into a new
// digit, far-apart magnitudes and quotients that round up to a power of ten.
TEST_F(Arith, ShortPathMatchesDigitPath) {
    std::mt19937 rng(77);
    auto digits_of = [&](int len, bool lead_zero) {
        std::string s;
        for (int i = 0; i < len; ++i) {
            int r = static_cast<int>(rng() % 10);
            s += static_cast<char>('0' + (rng() % 3 == 0 ? 9 : r));
        }
        if (lead_zero) s = "00" + s;
        return s;
    };
    auto operand = [&]() -> std::string {
        switch (rng() % 7) {
            case 0:
                return std::to_string(static_cast<long>(rng() % 1999999999) - 999999999);
            case 1:
                return digits_of(1 + static_cast<int>(rng() % 20), rng() % 4 == 0);
            case 2:
                return "-" + digits_of(1 + static_cast<int>(rng() % 8), false) + "." +
                       digits_of(static_cast<int>(rng() % 12), false);
            case 3:
                return "0." + std::string(rng() % 6, '0') + digits_of(1 + rng() % 17, false);
            case 4:
                return digits_of(1 + static_cast<int>(rng() % 5), false) + "E" +
                       std::to_string(static_cast<int>(rng() % 61) - 30);
            case 5:
                return " " + std::string(rng() % 2 ? "+" : "-") + " " +
                       digits_of(1 + static_cast<int>(rng() % 6), false) + ".50 ";
            default:
                return rng() % 2 ? "0" : "-0.000";
        }
    };
    const int ops[] = {kOpAdd, kOpSubtract, kOpMultiply, kOpDivide};
    auto reference = [&](const std::string& a, int op, const std::string& b, const Numeric& n) {
        std::string out;
        int e = test::error_of([&] {
            ValueHolder l(make_value(a));
            ValueHolder r(make_value(b));
            ValueHolder res(digit_arith(l.get(), r.get(), op, n));
            out = std::string(string_of(res.get()));
        });
        return e ? "error " + std::to_string(e) : out;
    };
    for (int d : {1, 2, 5, 9, 10, 15, 16}) {
        Numeric n = digits(d, 0, d == 5);
        for (int i = 0; i < 1500; ++i) {
            std::string a = operand();
            std::string b = operand();
            for (int op : ops)
                EXPECT_EQ(calc(a, op, b, n), reference(a, op, b, n))
                    << "digits " << d << ": " << a << " op " << op << " " << b;
        }
    }
    Numeric d16 = digits(16);
    EXPECT_EQ(calc("9999999999999999.5", kOpAdd, "0", d16), "1.000000000000000E+16");
    EXPECT_EQ(calc("1", kOpDivide, "3", d16), "0.3333333333333333");
    EXPECT_EQ(calc("2", kOpDivide, "3", d16), "0.6666666666666667");
    EXPECT_EQ(calc("1E+20", kOpAdd, "-1E-20", d16), "1.000000000000000E+20");
}

// Short plain operands, which are read with word arithmetic, against the digit path:
// every shape of eight characters or fewer (a lone sign or period, a second period, a period
// at either end, leading zeros, zero with a fraction, blanks, signs, exponents), whole numbers
// of nine and ten characters, and running
// totals whose results feed back as operands across the inline and the buffered lengths.
TEST_F(Arith, ShortSumsMatchDigitPath) {
    // The result's characters, or "error N".
    auto result_of = [](auto compute) {
        std::string out;
        int e = test::error_of([&] {
            ValueHolder res(compute());
            out = std::string(string_of(res.get()));
        });
        return e ? "error " + std::to_string(e) : out;
    };
    auto reference = [&](const Value& a, int op, const Value& b, const Numeric& n) {
        return result_of([&] { return digit_arith(a, b, op, n); });
    };
    auto fast = [&](const Value& a, int op, const Value& b, const Numeric& n) {
        return result_of([&] { return arith(a, b, op, n); });
    };
    auto text_of = [](const Value& v) {
        NumberBuffer buf;
        return std::string(view_of(v, buf));
    };
    const char* shapes[] = {
        "-",          "-05",       "00000000", "-0000001", ".",         "-.",        "1.",
        ".5",         "-.5",       "0.0",      "-0.000",   "00.10",     "1.2.3",     "12.3",
        "-12.30",     "9999999",   "99999.99", "-9999.99", "0.000001",  ".0000001",  "1234567.",
        "12345678",   "-1234567",  "5-",       "1e5",      " 1.5",      "1.5 ",      "+1.5",
        "1,5",        "",          "0",        "05",       "-0",        "0.5",       "99.5",
        "-99.5",      "1.0",       "0.01",     "7",        "123456789", "-99999999", "999999999",
        "-123456789", "1000000000"};
    std::vector<ValueHolder> ops;
    for (const char* s : shapes) {
        ops.emplace_back(make_value(s));
        // As a piece of a parsed string: not yet classified.
        Value raw = make_value(s);
        raw.flags &= static_cast<std::uint8_t>(~(kWhole | kNumber | kClassified));
        ops.emplace_back(raw);
    }
    ops.emplace_back(integer_constant(-42));
    ops.emplace_back(integer_constant(999999999));
    ops.emplace_back(integer_constant(0));
    for (int d : {1, 3, 7, 9, 16}) {
        Numeric n = digits(d);
        for (const ValueHolder& a : ops)
            for (const ValueHolder& b : ops)
                for (int op :
                     {kOpAdd, kOpSubtract, kOpMultiply, kOpDivide, kOpIntDivide, kOpRemainder})
                    EXPECT_EQ(fast(a.get(), op, b.get(), n), reference(a.get(), op, b.get(), n))
                        << "digits " << d << ": '" << text_of(a.get()) << "' op " << op << " '"
                        << text_of(b.get()) << "'";
    }
    // Short fractions keep their coefficient in the record: as operands at other precisions
    // (where they are cut) and through a copy they must act as their characters.
    int kept = 0;
    ValueHolder other(make_value("0.7"));
    for (const ValueHolder& a : ops)
        for (const ValueHolder& b : ops) {
            std::string chars;
            ValueHolder res;
            if (test::error_of(
                    [&] { res = ValueHolder(arith(a.get(), b.get(), kOpSubtract, {})); }))
                continue;
            const Value& v = res.get();
            if (!(v.flags & kScanned) || v.length > kInlineMax) continue;
            ++kept;
            ValueHolder same(make_value(text_of(v)));
            for (int e : {1, 2, 5, 16})
                for (int op : {kOpAdd, kOpMultiply, kOpDivide, kOpRemainder}) {
                    Numeric m = digits(e);
                    EXPECT_EQ(fast(v, op, other.get(), m), fast(same.get(), op, other.get(), m))
                        << text_of(v) << " at " << e;
                    EXPECT_EQ(fast(other.get(), op, v, m), reference(other.get(), op, v, m))
                        << text_of(v) << " at " << e;
                }
        }
    EXPECT_GT(kept, 50);
    // A shortened record may keep stale characters past its length; they are not read.
    for (const char* text : {"12.5", "7.25", "-3.5e1", "12345.6"}) {
        ValueHolder cut(make_value(text));
        shorten(cut.get(), 2);
        ValueHolder same(make_value(text_of(cut.get())));
        for (int op : {kOpAdd, kOpSubtract, kOpMultiply, kOpIntDivide})
            EXPECT_EQ(fast(cut.get(), op, other.get(), {}), fast(same.get(), op, other.get(), {}))
                << text;
    }
    std::mt19937 rng(515);
    for (int d : {3, 9, 16}) {
        Numeric n = digits(d);
        for (int run = 0; run < 40; ++run) {
            ValueHolder total(make_value(run % 2 ? "0" : "-0.5"));
            for (int i = 0; i < 60; ++i) {
                const std::string step = std::to_string(rng() % 2000) + "." +
                                         std::to_string(rng() % 10) +
                                         (rng() % 3 ? "" : std::to_string(rng() % 10));
                ValueHolder s(make_value(step));
                const int op = rng() % 4 ? kOpAdd : kOpSubtract;
                const std::string want = reference(total.get(), op, s.get(), n);
                ASSERT_EQ(fast(total.get(), op, s.get(), n), want) << "digits " << d;
                total = ValueHolder(arith(total.get(), s.get(), op, n));
            }
        }
    }
}

// A result that keeps its coefficient beside its characters must behave as its characters do:
// as an operand at the same, a lower and a higher precision, and through a copy, a borrow and
// a shortening (which drops the kept form).
TEST_F(Arith, KeptResultsActAsTheirCharacters) {
    std::mt19937 rng(4242);
    const int ops[] = {kOpAdd, kOpSubtract, kOpMultiply, kOpDivide};
    auto text = [](Value& v) { return std::string(string_of(v)); };
    auto use = [&](const Value& v, int op, const std::string& other, const Numeric& n) {
        std::string out;
        int e = test::error_of([&] {
            ValueHolder r(make_value(other));
            ValueHolder res(arith(v, r.get(), op, n));
            out = std::string(string_of(res.get()));
        });
        return e ? "error " + std::to_string(e) : out;
    };
    int kept = 0;
    for (int d : {3, 9, 12, 16}) {
        Numeric n = digits(d);
        for (int i = 0; i < 400; ++i) {
            std::string a = std::to_string(static_cast<long>(rng() % 200000) - 100000);
            std::string b = std::to_string(1 + rng() % 9999);
            ValueHolder l(make_value(a));
            ValueHolder r(make_value(b));
            ValueHolder res(arith(l.get(), r.get(), ops[rng() % 4], n));
            Value& v = res.get();
            if (v.flags & kScanned) ++kept;
            const std::string chars = text(v);
            const std::string other = std::to_string(1 + rng() % 97) + ".5";
            for (int e : {1, 3, 9, 16, 20}) {
                Numeric m = digits(e);
                for (int op : ops) {
                    std::string want = calc(chars, op, other, m);
                    EXPECT_EQ(use(v, op, other, m), want) << chars << " op " << op << " at " << e;
                    ValueHolder copy(copy_value(v));
                    EXPECT_EQ(use(copy.get(), op, other, m), want) << chars;
                    EXPECT_EQ(use(borrow(v), op, other, m), want) << chars;
                }
            }
            if (v.length > 2) {
                ValueHolder cut(copy_value(v));
                shorten(cut.get(), v.length - 1);
                EXPECT_FALSE(cut.get().flags & kScanned);
                EXPECT_EQ(use(cut.get(), kOpAdd, "0", n),
                          calc(chars.substr(0, v.length - 1), kOpAdd, "0", n));
            }
        }
    }
    EXPECT_GT(kept, 100);  // the kept form was exercised
}

TEST_F(Arith, HighPrecisionIsExact) {
    Numeric n = digits(2000);
    std::mt19937 rng(5);
    auto random_integer = [&](int len) {
        std::string s(1, static_cast<char>('1' + rng() % 9));
        for (int i = 1; i < len; ++i) s += static_cast<char>('0' + rng() % 10);
        return s;
    };
    for (int i = 0; i < 5; ++i) {
        std::string a = random_integer(900 + i * 17);
        std::string b = random_integer(800 - i * 113);
        std::string prod = calc(a, kOpMultiply, b, n);
        EXPECT_TRUE(prod.size() == a.size() + b.size() || prod.size() + 1 == a.size() + b.size());
        EXPECT_EQ(calc(prod, kOpDivide, b, n), a);
        EXPECT_EQ(calc(prod, kOpIntDivide, a, n), b);
        EXPECT_EQ(calc(prod, kOpRemainder, a, n), "0");
        std::string plus1 = calc(prod, kOpAdd, "1", n);
        EXPECT_EQ(calc(plus1, kOpRemainder, b, n), "1");
        EXPECT_EQ(calc(plus1, kOpIntDivide, b, n), a);
    }
    // v = 5E26 + 1 and u = 3v - 1: the two-limb estimate of the quotient digit is 3, one too
    // large, and only the trial subtraction finds out (the rare add-back step of long division).
    Numeric d30 = digits(30);
    const std::string u = "1500000000000000000000000002", v = "500000000000000000000000001";
    EXPECT_EQ(calc(u, kOpIntDivide, v, d30), "2");
    EXPECT_EQ(calc(u, kOpRemainder, v, d30), "500000000000000000000000000");
    EXPECT_EQ(calc(u, kOpDivide, v, d30), "2.999999999999999999999999998");
    Numeric k = digits(1000);
    std::string third = calc("1", kOpDivide, "3", k);
    EXPECT_EQ(third, "0." + std::string(1000, '3'));
    EXPECT_EQ(calc("2", kOpDivide, "3", k), "0." + std::string(999, '6') + "7");
    EXPECT_EQ(calc(third, kOpMultiply, "3", k), "0." + std::string(1000, '9'));
    // 2**3000 exactly has 904 digits; halving it 3000 times must give 1 back.
    std::string p = calc("2", kOpPower, "3000", k);
    EXPECT_EQ(p.size(), 904u);
    EXPECT_EQ(calc(p, kOpDivide, calc("2", kOpPower, "2999", k), k), "2");
    // 2**-3000 is 8.1285486255...E-904, still in fixed notation (1903 digits after the point).
    std::string inv = calc("2", kOpPower, "-3000", k);
    EXPECT_EQ(inv.substr(0, 2 + 903 + 11), "0." + std::string(903, '0') + "81285486255");
    EXPECT_EQ(inv.size(), 2u + 903 + 1000);
}

TEST_F(Arith, DigitsLimit) {
    Numeric n;
    EXPECT_REXX_ERROR(set_numeric_digits(n, kMaxDigits + 1), 5);
    EXPECT_EQ(n.digits, 9);
    set_numeric_digits(n, kMaxDigits);
    EXPECT_EQ(calc("1", kOpDivide, "8", n), "0.125");
    EXPECT_EQ(calc("2", kOpPower, "-3", n), "0.125");  // power works beyond DIGITS
    EXPECT_EQ(calc("1", kOpAdd, "1E-999999", n), "1." + std::string(999998, '0') + "1");
}

TEST_F(Arith, Comparison) {
    EXPECT_EQ(cmp(" 12 ", kCmpEq, "12"), 1);
    EXPECT_EQ(cmp("a ", kCmpEq, " a"), 1);
    EXPECT_EQ(cmp("a ", kCmpStrictEq, "a"), 0);
    EXPECT_EQ(cmp("1.000000001", kCmpEq, "1", digits(9, 1)), 1);
    EXPECT_EQ(cmp("1.000000001", kCmpEq, "1"), 0);
    EXPECT_EQ(cmp("1E5", kCmpEq, "100000"), 1);
    EXPECT_EQ(cmp("10", kCmpGt, "9"), 1);  // numeric, not string order
    EXPECT_EQ(cmp("10", kCmpStrictGt, "9"), 0);
    EXPECT_EQ(cmp("-0", kCmpEq, "0.00"), 1);
    EXPECT_EQ(cmp("-1", kCmpLt, "0"), 1);
    EXPECT_EQ(cmp("-2.5", kCmpLt, "-2.4"), 1);
    EXPECT_EQ(cmp("abc", kCmpLt, "abd"), 1);
    EXPECT_EQ(cmp("", kCmpEq, "  "), 1);
    EXPECT_EQ(cmp("", kCmpStrictEq, " "), 0);
    EXPECT_EQ(cmp("ab", kCmpStrictLt, "abc"), 1);
    EXPECT_EQ(cmp("\xff", kCmpGt, "a"), 1);  // bytes compare unsigned
    EXPECT_EQ(cmp("12", kCmpEq, "12a"), 0);
    EXPECT_EQ(cmp("999999999", kCmpLt, "1000000000"), 1);
    EXPECT_EQ(cmp("2", kCmpGe, "2.0"), 1);
    EXPECT_EQ(cmp("2", kCmpLe, "1.99"), 0);
    EXPECT_EQ(cmp("2", kCmpNe, "2.0"), 0);
    EXPECT_EQ(cmp("a", kCmpStrictNe, "b"), 1);
    EXPECT_EQ(cmp("b", kCmpStrictGe, "b"), 1);
    EXPECT_EQ(cmp("a", kCmpStrictLe, "b"), 1);
    // Integer comparison and the decimal comparison agree.
    EXPECT_EQ(compare(make_integer(-5), make_value("-5.0"), kCmpEq, Numeric{}), 1);
    EXPECT_EQ(compare(make_integer(7), make_integer(-8), kCmpGt, Numeric{}), 1);
}

TEST_F(Arith, LogicalOperators) {
    Value one = kOneValue, zero = kZeroValue;
    EXPECT_EQ(logical(one, zero, kLogAnd), 0);
    EXPECT_EQ(logical(one, one, kLogAnd), 1);
    EXPECT_EQ(logical(zero, one, kLogOr), 1);
    EXPECT_EQ(logical(zero, zero, kLogOr), 0);
    EXPECT_EQ(logical(one, one, kLogXor), 0);
    EXPECT_EQ(logical(one, zero, kLogXor), 1);
    EXPECT_EQ(logical(make_value("0"), kAbsentValue, kLogNot), 1);
    EXPECT_REXX_ERROR(logical(make_value(""), one, kLogAnd), 34);
    EXPECT_REXX_ERROR(logical(one, make_value("2"), kLogOr), 34);
}

TEST_F(Arith, Concatenation) {
    ValueHolder ab(concat(make_value("a"), make_value("b"), false));
    EXPECT_EQ(string_of(ab.get()), "ab");
    ValueHolder blank(concat(make_value("hello,"), make_value("world"), true));
    EXPECT_EQ(string_of(blank.get()), "hello, world");
    // Integer-form operands and a classified result: 12||34 is whole and adds on the fast path.
    ValueHolder digits12(concat(make_integer(12), make_integer(34), false));
    EXPECT_TRUE(is_whole(digits12.get()));
    ValueHolder sum(arith(digits12.get(), kOneValue, kOpAdd, Numeric{}));
    EXPECT_TRUE(is_integer_form(sum.get()));
    EXPECT_EQ(sum.get().data.integer, 1235);
    // The length limit is checked before anything is copied.
    static const char byte = 'x';
    Value huge{};
    huge.length = 300000000;
    huge.flags = kClassified;
    huge.data.ptr = &byte;
    EXPECT_REXX_ERROR(concat(huge, huge, false), 5);
}

}  // namespace
}  // namespace ketra
