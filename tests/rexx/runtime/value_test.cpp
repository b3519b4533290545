// Value record: storage and ownership, string and integer forms, classification, RXSTRING
// conversions, the whole-number and logical-value rules, and the string length limit.
#include "rexx/runtime/value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rexx/host/memory.h"
#include "rexxsaa.h"
#include "support/rexx_test.h"

namespace ketra {
namespace {

std::string str(Value& v) {
    return std::string(string_of(v));
}

TEST(ValueStorage, ShortStringsInlineLongOnesOwnedOrReferenced) {
    const char* text = "abcdefghij";
    ValueHolder eight(make_value(text, 8, true));
    EXPECT_EQ(eight.get().flags & (kOwned | kBorrowed), 0);
    EXPECT_EQ(str(eight.get()), "abcdefgh");

    ValueHolder owned(make_value(text, 10, true));
    EXPECT_TRUE(owned.get().flags & kOwned);
    EXPECT_NE(owned.get().data.ptr, text);
    EXPECT_EQ(str(owned.get()), "abcdefghij");

    Value ref = make_value(text, 10, false);
    EXPECT_EQ(ref.data.ptr, text);
    EXPECT_EQ(ref.flags & (kOwned | kBorrowed), 0);
    release(ref);  // a referenced buffer is not freed (ASan would report a bad free)
}

TEST(ValueStorage, BorrowedCopyIsMadePrivateWithItsOwnBuffer) {
    ValueHolder src(make_value("a longer string", true));
    Value b = borrow(src.get());
    EXPECT_TRUE(b.flags & kBorrowed);
    EXPECT_FALSE(b.flags & kOwned);
    EXPECT_EQ(b.data.ptr, src.get().data.ptr);
    release(b);  // releasing a borrowed copy leaves the source intact
    Value b2 = borrow(src.get());
    make_private(b2);
    ValueHolder priv(b2);
    EXPECT_TRUE(priv.get().flags & kOwned);
    EXPECT_FALSE(priv.get().flags & kBorrowed);
    EXPECT_NE(priv.get().data.ptr, src.get().data.ptr);
    EXPECT_EQ(str(priv.get()), "a longer string");
    EXPECT_EQ(str(src.get()), "a longer string");
}

TEST(ValueStorage, ShorteningMovesCharactersInline) {
    ValueHolder v(make_value("0123456789abc", true));
    shorten(v.get(), 5);
    EXPECT_EQ(v.get().length, 5u);
    EXPECT_FALSE(v.get().flags & kOwned);
    EXPECT_EQ(str(v.get()), "01234");
    // The classification is recomputed for the shortened string.
    EXPECT_TRUE(is_whole(v.get()) == false);
    ValueHolder w(make_value("1234567890123", true));
    shorten(w.get(), 3);
    EXPECT_TRUE(is_whole(w.get()));
}

TEST(ValueStorage, StartStringGivesWritableRoom) {
    Value v{};
    char* p = start_string(v, 12);
    std::memcpy(p, "hello, world", 12);
    ValueHolder h(v);
    EXPECT_EQ(str(h.get()), "hello, world");
    Value s{};
    std::memcpy(start_string(s, 3), "abc", 3);
    EXPECT_EQ(str(s), "abc");
    EXPECT_FALSE(s.flags & kOwned);
}

// Released buffers are reused for later strings of other lengths: every length must get room
// for its characters and NUL, also after owned buffers of odd sizes made elsewhere were
// released (AddressSanitizer reports a write past a reused block).
TEST(ValueStorage, ReusedBuffersHoldEveryLength) {
    for (int round = 0; round < 3; ++round) {
        std::vector<Value> made;
        for (std::size_t n = kInlineMax + 1; n < 300; n += 1 + n / 16) {
            std::string text(n, static_cast<char>('a' + n % 26));
            made.push_back(make_value(text));
            // A buffer allocated to the exact length, as hosts and other owners make them.
            Value odd{};
            odd.length = static_cast<std::uint32_t>(n);
            char* p = static_cast<char*>(allocate(n + 1));
            std::memcpy(p, text.data(), n + 1);
            odd.data.ptr = p;
            odd.flags = kOwned;
            made.push_back(odd);
        }
        for (Value& v : made) release(v);
        for (std::size_t n = 299; n > kInlineMax; n -= 1 + n / 20) {
            std::string text(n, 'z');
            Value v{};
            std::memcpy(start_string(v, n), text.data(), n);
            ValueHolder h(v);
            EXPECT_EQ(str(h.get()), text);
            EXPECT_EQ(h.get().data.ptr[n], '\0');
            ValueHolder c(copy_value(h.get()));
            EXPECT_EQ(str(c.get()), text);
        }
    }
}

TEST(ValueStorage, StringLimitIsAnImplementationLimitReport) {
    test::ScopedRun run;
    static const char byte = 'x';
    // The length is checked before any byte is read or copied.
    EXPECT_REXX_ERROR(make_value(&byte, kMaxStringLength + 1, true), 5);
    Value v{};
    EXPECT_REXX_ERROR(start_string(v, kMaxStringLength + 1), 5);
}

TEST(IntegerForm, StringFormAndViews) {
    Value v = make_integer(-123);
    EXPECT_TRUE(is_integer_form(v));
    NumberBuffer buf;
    EXPECT_EQ(view_of(v, buf), "-123");
    EXPECT_TRUE(is_integer_form(v));  // the view leaves the record alone
    EXPECT_EQ(str(v), "-123");
    EXPECT_FALSE(is_integer_form(v));
    EXPECT_TRUE(v.flags & kWhole);

    Value big = make_integer(999999999);
    EXPECT_EQ(str(big), "999999999");  // needs a buffer beyond the inline room
    release(big);
    Value outside = make_integer(1000000000);
    EXPECT_FALSE(is_integer_form(outside));
    EXPECT_EQ(str(outside), "1000000000");
    EXPECT_FALSE(is_whole(outside));
    release(outside);
    Value neg = make_integer(-9223372036854775807LL - 1);
    EXPECT_EQ(str(neg), "-9223372036854775808");
    release(neg);

    Value zero = kZeroValue;
    EXPECT_EQ(str(zero), "0");
}

// Digits are written in pairs: every digit count and both signs, at the borders of each width.
TEST(IntegerForm, WrittenDigitsAtEveryWidth) {
    char buf[16];
    std::int64_t p = 1;
    for (int width = 1; width <= 10; ++width, p *= 10) {
        for (std::int64_t n : {p - 1, p, p + 1, 2 * p - 1}) {
            if (n > 2147483647) continue;
            std::int32_t v = static_cast<std::int32_t>(n);
            EXPECT_EQ(std::string(buf, format_integer(v, buf)), std::to_string(v));
            EXPECT_EQ(std::string(buf, format_integer(-v, buf)), std::to_string(-v));
        }
    }
    EXPECT_EQ(std::string(buf, format_integer(INT32_MIN, buf)), "-2147483648");
    for (std::int64_t n :
         {std::int64_t{1000000000}, std::int64_t{-1234567890123}, INT64_MAX, INT64_MIN}) {
        Value v = make_integer(n);
        EXPECT_EQ(str(v), std::to_string(n));
        release(v);
    }
}

TEST(IntegerForm, WholeStringsConvertInPlace) {
    ValueHolder v(make_value("-987654321", true));
    to_integer_form(v.get());
    EXPECT_TRUE(is_integer_form(v.get()));
    EXPECT_EQ(v.get().data.integer, -987654321);
    ValueHolder n(make_value("12.5", true));
    to_integer_form(n.get());
    EXPECT_FALSE(is_integer_form(n.get()));
}

TEST(Classification, IntegerAndNumberSyntax) {
    struct Case {
        const char* s;
        bool number;
        bool whole;
    } cases[] = {
        {"0", true, true},           {"12", true, true},
        {"-999999999", true, true},  {"999999999", true, true},
        {"1000000000", true, false}, {"-0", true, false},
        {"007", true, false},        {"+5", true, false},
        {" 12 ", true, false},       {"- 5", true, false},
        {"1.", true, false},         {".5", true, false},
        {"1E5", true, false},        {"1e+999999999", true, false},
        {"1E-3 ", true, false},      {"1E1234567890", false, false},
        {".", false, false},         {"", false, false},
        {" ", false, false},         {"1 2", false, false},
        {"5 -", false, false},       {"e5", false, false},
        {"1E", false, false},        {"1.2.3", false, false},
        {"--1", false, false},       {"12a", false, false},
        {"0x10", false, false},
    };
    for (const Case& c : cases) {
        Value v = make_value(c.s, std::strlen(c.s), true);
        EXPECT_EQ(is_number(v), c.number) << '"' << c.s << '"';
        EXPECT_EQ(is_whole(v), c.whole) << '"' << c.s << '"';
        release(v);
    }
}

TEST(RxString, AbsentAndViews) {
    Value a = from_rxstring(nullptr, 0, true);
    EXPECT_TRUE(is_absent(a));
    StringRef r = to_rxstring(a);
    EXPECT_EQ(r.ptr, nullptr);
    EXPECT_EQ(r.length, 0u);

    RXSTRING rx;
    MAKERXSTRING(rx, const_cast<char*>("twelve chars"), 12);
    ValueHolder v(from_rxstring(rx, true));
    EXPECT_EQ(str(v.get()), "twelve chars");
    RXSTRING back;
    to_rxstring(v.get(), back);
    EXPECT_EQ(back.strlength, 12u);
    EXPECT_EQ(std::memcmp(back.strptr, "twelve chars", 12), 0);

    Value i = make_integer(42);
    StringRef ri = to_rxstring(i);
    EXPECT_EQ(std::string(ri.ptr, ri.length), "42");
    // An empty but present string is not absent.
    RXSTRING empty;
    MAKERXSTRING(empty, const_cast<char*>(""), 0);
    Value e = from_rxstring(empty, true);
    EXPECT_FALSE(is_absent(e));
    EXPECT_NE(to_rxstring(e).ptr, nullptr);
}

TEST(WholeNumber, RoundedToNineDigitsThenWhole) {
    test::ScopedRun run;
    auto whole = [](const char* s) {
        ValueHolder v(make_value(s, std::strlen(s), true));
        return whole_number(v.get());
    };
    EXPECT_EQ(whole("12"), 12);
    EXPECT_EQ(whole(" -7 "), -7);
    EXPECT_EQ(whole("1E5"), 100000);
    EXPECT_EQ(whole("2.0"), 2);
    EXPECT_EQ(whole("-0"), 0);
    EXPECT_EQ(whole("1.0000000001"), 1);  // rounded to 9 digits first
    EXPECT_EQ(whole("999999999.4"), 999999999);
    EXPECT_EQ(whole_number(make_integer(-5)), -5);
    EXPECT_REXX_ERROR(whole("999999999.5"), 26);  // rounds to 10 integer digits
    EXPECT_REXX_ERROR(whole("1E9"), 26);
    EXPECT_REXX_ERROR(whole("12.5"), 26);
    EXPECT_REXX_ERROR(whole("0.1"), 26);
    EXPECT_REXX_ERROR(whole("abc"), 26);
    EXPECT_REXX_ERROR(whole(""), 26);
    EXPECT_REXX_ERROR(whole_number(kAbsentValue), 26);
}

TEST(LogicalValue, OnlyZeroAndOne) {
    test::ScopedRun run;
    EXPECT_EQ(logical_value(kOneValue), 1);
    EXPECT_EQ(logical_value(kZeroValue), 0);
    EXPECT_EQ(logical_value(make_value("1")), 1);
    EXPECT_EQ(logical_value(make_value("0")), 0);
    EXPECT_REXX_ERROR(logical_value(make_value("")), 34);
    EXPECT_REXX_ERROR(logical_value(make_value("1 ")), 34);
    EXPECT_REXX_ERROR(logical_value(make_value("01")), 34);
    EXPECT_REXX_ERROR(logical_value(make_integer(2)), 34);
    EXPECT_REXX_ERROR(logical_value(kAbsentValue), 34);
}

}  // namespace
}  // namespace ketra
