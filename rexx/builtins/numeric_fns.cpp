// The NUMERIC settings as functions (DIGITS, FUZZ, FORM) and the numeric functions that are one
// arithmetic operation each: ABS, SIGN, MAX and MIN.
#include "rexx/builtins/handlers.h"
#include "rexx/host/error.h"
#include "rexx/runtime/arith.h"

namespace ketra {

namespace {

// MAX and MIN: the first argument that no later one beats; every argument must be present and
// a number. The result is best + 0, rounded to DIGITS.
void extreme(BuiltinCall& call, int better) {
    if (call.argc == 0) error(40);
    for (int i = 1; i <= call.argc; ++i)
        if (!call.raw(i)) error(40);
    const Numeric& n = current_numeric();
    const Value* best = call.raw(1);
    if (!is_number(*best)) error(41);
    for (int i = 2; i <= call.argc; ++i) {
        const Value* v = call.raw(i);
        if (!is_number(*v)) error(41);
        if (compare_normal(*v, *best, n) == better) best = v;
    }
    result_value(call, arith(*best, kZeroValue, kOpAdd, n));
}

}  // namespace

void bif_digits(BuiltinCall& call) {
    result_integer(call, current_numeric().digits);
}

void bif_fuzz(BuiltinCall& call) {
    result_integer(call, current_numeric().fuzz);
}

void bif_form(BuiltinCall& call) {
    result_static(call, current_numeric().engineering ? "ENGINEERING" : "SCIENTIFIC");
}

void bif_abs(BuiltinCall& call) {
    result_value(call, arith(*call.arg[0].value, kZeroValue, kOpAbs, current_numeric()));
}

void bif_sign(BuiltinCall& call) {
    result_value(call, arith(*call.arg[0].value, kZeroValue, kOpSign, current_numeric()));
}

void bif_max(BuiltinCall& call) {
    extreme(call, 1);
}

void bif_min(BuiltinCall& call) {
    extreme(call, -1);
}

}  // namespace ketra
