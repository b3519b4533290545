// The REXX operators on value records: the eleven arithmetic operations (32-bit fast path and
// decimal path), numeric and strict comparison, the logical operators and concatenation.
#pragma once

#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

// Arithmetic operation numbers, as the interpreter's opcodes use them.
enum ArithOp : int {
    kOpAdd = 1,
    kOpSubtract = 2,
    kOpMultiply = 3,
    kOpDivide = 4,
    kOpIntDivide = 5,
    kOpRemainder = 6,
    kOpPower = 7,
    kOpPlus = 8,   // prefix +
    kOpMinus = 9,  // prefix -
    kOpAbs = 10,
    kOpSign = 11,
};

// The result of l op r under the settings n (prefix operations ignore r). The result is a new
// record (integer form, or an owned/inline string classified as a number). Errors: 41 for a
// non-number, 42 for division by zero or exponent overflow, 26 for a power whose exponent is not
// a whole number (and for // whose integer quotient needs more than DIGITS digits).
Value arith(const Value& l, const Value& r, int op, const Numeric& n);

// l + r (l - r when subtract), the same as arith with kOpAdd or kOpSubtract: the entry for sums,
// which reads the integer form, kept coefficients and short plain strings in place (it lives
// with the small-precision operators, and past their precision it is arith). `into`, when
// given, is the record that the result is about to replace (a variable's value): when it is a
// long kept number, its buffer may be taken for the result, leaving it the empty string. l and
// r may share that buffer; they are read first.
Value add_values(const Value& l, const Value& r, bool subtract, const Numeric& n,
                 Value* into = nullptr);

// The same result computed on the digit arrays of the working form alone, without the integer
// and small-precision paths that arith takes when it can (they must agree with it).
Value digit_arith(const Value& l, const Value& r, int op, const Numeric& n);

// Comparison operators.
enum CompareOp : int {
    kCmpEq = 1,         // =
    kCmpNe = 2,         // \=  <>  ><
    kCmpGt = 3,         // >
    kCmpLt = 4,         // <
    kCmpGe = 5,         // >=  \<
    kCmpLe = 6,         // <=  \>
    kCmpStrictEq = 7,   // ==
    kCmpStrictNe = 8,   // \==
    kCmpStrictGt = 9,   // >>
    kCmpStrictLt = 10,  // <<
    kCmpStrictGe = 11,  // >>=  \<<
    kCmpStrictLe = 12,  // <<=  \>>
};

// 1 when l op r holds, else 0. Numeric when both are numbers (precision DIGITS - FUZZ),
// otherwise a comparison of the blank-stripped strings; strict operators compare exactly.
int compare(const Value& l, const Value& r, int op, const Numeric& n);
// -1, 0 or 1: numeric (or blank-stripped string) comparison of l and r.
int compare_normal(const Value& l, const Value& r, const Numeric& n);
// -1, 0 or 1: byte-wise comparison of the exact strings.
int compare_strict(const Value& l, const Value& r);

// Logical operators.
enum LogicalOp : int {
    kLogAnd = 1,  // &
    kLogOr = 2,   // |
    kLogXor = 3,  // &&
    kLogNot = 4,  // prefix \  (r ignored)
};
// 0 or 1; each operand must be 0 or 1 (error 34).
int logical(const Value& l, const Value& r, int op);

// l followed by r (abuttal and ||), or with one blank between them (blank concatenation). The
// result is a new record. Longer than the string limit: memory-full report, error 5.
Value concat(const Value& l, const Value& r, bool blank);

}  // namespace ketra
