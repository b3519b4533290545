#!/usr/bin/env python3
"""Exact reference for the REXX decimal arithmetic, and the differential test against the C++
driver (arith_driver).

The reference works on Python's decimal module with precision to spare and applies the
language's own rules on top: operands cut to DIGITS+1 significant digits (no rounding), results
rounded half up on the magnitude to DIGITS digits, division results without trailing zeros, the
power procedure (left-to-right binary powering at DIGITS plus the digit count of the exponent),
the exponent range check and the fixed/exponential layout under FORM SCIENTIFIC and ENGINEERING.

Usage: arith_reference.py --driver PATH [--cases N] [--seed S] [--show]
Standard library only.
"""

import argparse
import decimal as D
import random
import re
import subprocess
import sys

NUMBER = re.compile(r" *[+-]? *([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]{1,9})? *")
WHOLE = re.compile(r"-?(0|[1-9][0-9]{0,8})")
MAX_EXP = 999999999


class RexxError(Exception):
    def __init__(self, number):
        super().__init__(number)
        self.number = number


def context(prec, rounding):
    return D.Context(prec=prec, rounding=rounding, Emax=D.MAX_EMAX, Emin=D.MIN_EMIN,
                     traps=[D.InvalidOperation, D.DivisionByZero, D.Overflow, D.Underflow])


def convert(s, p):
    """The operand at precision p: cut to p+1 significant digits; zero carries no digits."""
    if NUMBER.fullmatch(s) is None:
        raise RexxError(41)
    t = s.strip(" ")
    sign = ""
    if t[0] in "+-":
        sign = "-" if t[0] == "-" else ""
        t = t[1:].lstrip(" ")
    x = D.Decimal(sign + t)
    if x.is_zero():
        return D.Decimal(0)
    return context(p + 1, D.ROUND_DOWN).plus(x)


def round_to(x, p):
    return context(p, D.ROUND_HALF_UP).plus(x)


def whole(s):
    """The whole-number rule: precision 9, rounded, no fraction, fewer than 10 integer digits."""
    if NUMBER.fullmatch(s) is None:
        raise RexxError(26)
    x = round_to(convert(s, 9), 9)
    if x.is_zero():
        return 0
    x = x.normalize(context(9, D.ROUND_HALF_UP))
    if x.as_tuple().exponent < 0 or x.adjusted() >= 9:
        raise RexxError(26)
    return int(x)


def layout(x, digits, engineering):
    if x.is_zero():
        return "0"
    sign, coeff, exp = x.as_tuple()
    ds = "".join(str(c) for c in coeff)
    e = len(ds) + exp  # digits before the point of 0.ds form
    if e - 1 > MAX_EXP or e - 1 < -MAX_EXP:
        raise RexxError(42)
    neg = "-" if sign else ""
    before = max(e, 0)
    after = max(len(ds) - e, 0)
    if before <= digits and after <= 2 * digits:
        if e <= 0:
            return neg + "0." + "0" * (-e) + ds
        if len(ds) <= e:
            return neg + ds + "0" * (e - len(ds))
        return neg + ds[:e] + "." + ds[e:]
    sci = e - 1
    lead = 1
    if engineering:
        r = sci % 3
        sci -= r
        lead += r
    if len(ds) < lead:
        mant = ds + "0" * (lead - len(ds))
    elif len(ds) > lead:
        mant = ds[:lead] + "." + ds[lead:]
    else:
        mant = ds
    return neg + mant + "E" + ("-" if sci < 0 else "+") + str(abs(sci))


def pad_digits(x, p):
    """x written with p digits (trailing zeros added to the coefficient)."""
    sign, coeff, exp = x.as_tuple()
    short = p - len(coeff)
    if short <= 0:
        return x
    return D.Decimal((sign, tuple(coeff) + (0,) * short, exp - short))


def power(a, b, p):
    n = whole(b)
    base = round_to(convert(a, p), p)
    mag = abs(n)
    if mag == 0:
        return D.Decimal(1)
    if base.is_zero():
        if n < 0:
            raise RexxError(42)
        return D.Decimal(0)
    w = p + len(str(mag))
    cw = context(w, D.ROUND_HALF_UP)
    acc = D.Decimal(1)
    for bit in range(30, -1, -1):
        acc = cw.multiply(acc, acc)
        if (mag >> bit) & 1:
            acc = cw.multiply(acc, base)
    if n < 0:
        acc = cw.divide(D.Decimal(1), acc)
    return round_to(acc, p).normalize(context(p, D.ROUND_HALF_UP))


def integer_part_digits(a, b, p):
    q = context(p + 3, D.ROUND_DOWN).divide(a.copy_abs(), b.copy_abs())
    return q.adjusted() + 1 if not q.is_zero() else 0


def arith(op, a, b, p):
    cp = context(p, D.ROUND_HALF_UP)
    if op == "**":
        return power(a, b, p)
    x = convert(a, p)
    if op in ("p+", "p-", "abs", "sign"):
        if op == "sign":
            return D.Decimal(0 if x.is_zero() else (-1 if x < 0 else 1))
        x = round_to(x, p)
        if op == "p-":
            x = x.copy_negate()
        elif op == "abs":
            x = x.copy_abs()
        return x
    y = convert(b, p)
    if op in ("+", "-"):
        if op == "-":
            y = y.copy_negate()
        if x.is_zero():
            return round_to(y, p)
        if y.is_zero():
            return round_to(x, p)
        return cp.add(x, y)
    if op == "*":
        return cp.multiply(x, y)
    if y.is_zero():
        raise RexxError(42)
    if x.is_zero():
        return D.Decimal(0)
    if op == "/":
        return cp.divide(x, y).normalize(cp)
    if op == "%":
        # The integer part is an integer of adjusted() + 1 digits; every one of them is a digit
        # of the result before rounding, so a rounded result keeps exactly p digits.
        q = context(p + 3, D.ROUND_DOWN).divide(x, y)
        if q.adjusted() < 0:
            return D.Decimal(0)
        if q.adjusted() + 1 <= p:
            return q.to_integral_value(rounding=D.ROUND_DOWN).quantize(D.Decimal(1), context=context(p + 5, D.ROUND_DOWN))
        return pad_digits(round_to(q, p), p)
    if op == "//":
        if x.copy_abs() < y.copy_abs():
            return round_to(x, p)
        if integer_part_digits(x, y, p) > p:
            raise RexxError(26)
        r = context(4 * p + 100, D.ROUND_HALF_UP).remainder(x, y)
        return round_to(r, p)
    raise ValueError(op)


def strip_blanks(s):
    return s.strip(" ")


def compare(op, a, b, digits, fuzz):
    strict = op in ("==", "\\==", ">>", "<<", ">>=", "<<=")
    if strict:
        ka, kb = a.encode("latin-1"), b.encode("latin-1")
        c = (ka > kb) - (ka < kb)
    elif NUMBER.fullmatch(a) and NUMBER.fullmatch(b):
        p = digits - fuzz
        x, y = convert(a, p), convert(b, p)
        c = (x > y) - (x < y)
    else:
        ka, kb = strip_blanks(a).encode("latin-1"), strip_blanks(b).encode("latin-1")
        c = (ka > kb) - (ka < kb)
    base = op.lstrip("\\") if op.startswith("\\") else op
    table = {"=": c == 0, "==": c == 0, ">": c > 0, ">>": c > 0, "<": c < 0, "<<": c < 0,
             ">=": c >= 0, ">>=": c >= 0, "<=": c <= 0, "<<=": c <= 0}
    v = table[base]
    if op.startswith("\\"):
        v = not v
    return "1" if v else "0"


COMPARE_OPS = ("=", "\\=", ">", "<", ">=", "<=", "==", "\\==", ">>", "<<", ">>=", "<<=")


def expected(op, digits, fuzz, form, a, b):
    try:
        if digits > 1000000:
            raise RexxError(5)
        if op in COMPARE_OPS:
            return compare(op, a, b, digits, fuzz)
        return layout(arith(op, a, b, digits), digits, form == "E")
    except RexxError as e:
        return "error %d" % e.number
    except (D.Overflow, D.Underflow):
        return "error 42"


# ---- case generation --------------------------------------------------------------------------

def rand_digits(rng, n):
    s = "".join(rng.choice("0123456789") for _ in range(n))
    return s


def rand_number(rng, digits):
    kind = rng.random()
    if kind < 0.25:  # small integer, the fast path's domain
        v = rng.choice([rng.randint(-999, 999), rng.randint(-999999999, 999999999),
                        rng.choice([0, 1, -1, 2, 999999999, -999999999, 10, 100])])
        return str(v)
    if kind < 0.40:  # long integer
        s = rand_digits(rng, rng.randint(1, digits + 8)).lstrip("0") or "0"
        return ("-" if rng.random() < 0.3 else "") + s
    if kind < 0.65:  # fraction
        i = rand_digits(rng, rng.randint(0, 4))
        f = rand_digits(rng, rng.randint(1, digits + 5))
        if rng.random() < 0.3:
            f = f + "0" * rng.randint(1, 3)
        s = i + "." + f
        if not i and rng.random() < 0.5:
            s = "0" + s
        return ("-" if rng.random() < 0.3 else "") + s
    if kind < 0.80:  # exponent form
        m = rand_digits(rng, rng.randint(1, min(digits + 3, 30))).lstrip("0") or "1"
        if len(m) > 1 and rng.random() < 0.5:
            m = m[0] + "." + m[1:]
        e = rng.randint(-40, 40)
        return ("-" if rng.random() < 0.3 else "") + m + rng.choice("Ee") + \
            rng.choice(["", "+", "-"] if e >= 0 else ["-"]) + str(abs(e))
    if kind < 0.88:  # near the exponent limits
        m = rand_digits(rng, rng.randint(1, 5)).lstrip("0") or "7"
        e = rng.choice([999999999, 999999998, 999999990, 999999000, 500000000])
        return m + "E" + rng.choice(["+", "-"]) + str(e - rng.randint(0, 5))
    if kind < 0.95:  # blanks, signs, leading zeros
        core = rng.choice([str(rng.randint(0, 99999)), "0.5", "12.50", "007", ".25", "3."])
        sign = rng.choice(["", "+", "-", "+ ", "- "])
        return " " * rng.randint(0, 2) + sign + core + " " * rng.randint(0, 2)
    return rng.choice(["abc", "", " ", "1e", "1E1234567890", "1.2.3", "+", "-0", "0", "1 2",
                       "e5", ".", "12a", "0E0"])


def gen_cases(rng, count):
    arith_ops = ["+", "-", "*", "/", "%", "//", "**", "p+", "p-", "abs", "sign"]
    cases = []
    for i in range(count):
        digits = rng.choice([1, 9, 9, 16, 17, 20, 100])
        form = rng.choice("SE")
        fuzz = 0
        a = rand_number(rng, digits)
        if rng.random() < 0.2:
            op = rng.choice(COMPARE_OPS)
            if rng.random() < 0.3:
                fuzz = rng.randint(0, digits - 1)
            b = a if rng.random() < 0.1 else rand_number(rng, digits)
        else:
            op = rng.choice(arith_ops)
            if op == "**":
                b = rng.choice([str(rng.randint(-12, 40)), str(rng.randint(-400, 400)),
                                "0.5", "2.0", "1E1", "999999999", "-3", " 4 "])
                if rng.random() < 0.7:
                    a = rng.choice(["2", "-2", "1.1", "0.9", "10", "3", "0", "1E+500000000",
                                    "7E-400000000", a])
            elif op in ("%", "//") and rng.random() < 0.5:
                # Divisors of a similar size, so that real quotients and remainders arise.
                b = rng.choice([str(rng.randint(1, 99)), "-" + str(rng.randint(1, 9999)),
                                "0.7", "1.25", "3E-2", "-0.013", "7E+3"])
            else:
                b = rand_number(rng, digits)
        cases.append((op, digits, fuzz, form, a, b))
    # Fixed cases at the edges of the limits.
    for form in "SE":
        cases += [
            ("+", 9, 0, form, "999999999", "1"),
            ("*", 9, 0, form, "9E999999998", "10"),
            ("*", 9, 0, form, "1E999999999", "1"),
            ("*", 9, 0, form, "1E-999999999", "1"),
            ("*", 9, 0, form, "1E-999999998", "0.01"),
            ("**", 9, 0, form, "10", "-999999999"),
            ("+", 9, 0, form, "9.99999999E999999999", "5E999999990"),
            ("*", 9, 0, form, "1E-999999998", "1E-5"),
            ("/", 9, 0, form, "1", "3"),
            ("/", 9, 0, form, "2", "3"),
            ("**", 9, 0, form, "10", "999999999"),
            ("**", 20, 0, form, "1.0000001", "-123456"),
            ("//", 9, 0, form, "1E20", "3"),
            ("%", 9, 0, form, "1E20", "3"),
            ("+", 1000001, 0, form, "1", "1"),
            ("+", 1, 0, form, "0.96", "0"),
            ("-", 9, 0, form, "1", "1E-100"),
            ("+", 20, 0, form, "1E+999999990", "-1E-999999990"),
        ]
    return cases


def main():
    # Every implicit operation (comparisons, int()) must see the full exponent range too.
    D.setcontext(context(50, D.ROUND_HALF_UP))
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver", required=True)
    ap.add_argument("--cases", type=int, default=6000)
    ap.add_argument("--seed", type=int, default=1931)
    ap.add_argument("--show", action="store_true", help="print every case")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    cases = gen_cases(rng, args.cases)
    text = "".join("%s\t%d\t%d\t%s\t%s\t%s\n" % c for c in cases)
    proc = subprocess.run([args.driver], input=text.encode("latin-1"), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=100, check=False)
    got = proc.stdout.decode("latin-1").split("\n")
    if proc.returncode != 0:
        print("driver ended with status %d" % proc.returncode)
        return 1
    failures = 0
    for i, c in enumerate(cases):
        want = expected(*c)
        have = got[i] if i < len(got) else "<missing>"
        if args.show or want != have:
            if want != have:
                failures += 1
            if failures <= 40 or args.show:
                print("%s %s digits=%d fuzz=%d form=%s a=%r b=%r: want %s, got %s"
                      % ("OK  " if want == have else "FAIL", c[0], c[1], c[2], c[3], c[4], c[5],
                         want, have))
    print("%d cases, %d failures" % (len(cases), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
