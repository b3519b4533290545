// The dispatcher: the descriptor table, every error-40 rule of the argument check, the parsed
// argument records, the result operations and the string limit, and the handlers that only
// fail or are not built yet.
#include <gtest/gtest.h>

#include "bif_test_support.h"
#include "rexx/host/memory.h"

namespace ketra {
namespace {

using test::Arg;
using test::bif;
using test::bif_error;
using test::kOmit;

class DispatchTest : public ::testing::Test {
  protected:
    test::ScopedRun run_;
};

TEST_F(DispatchTest, EveryCodeHasAHandlerAndAnArgumentSpecificationOfItsMaximum) {
    EXPECT_EQ(builtin_descriptor(0), nullptr);
    EXPECT_EQ(builtin_descriptor(149), nullptr);
    for (int code = 1; code <= kBuiltinCodes; ++code) {
        const BuiltinDescriptor* row = builtin_descriptor(code);
        ASSERT_NE(row, nullptr) << code;
        EXPECT_NE(row->handler, nullptr) << code;
        if (code == 37 || code == 38) {
            EXPECT_EQ(row->max_args, 250);
            EXPECT_EQ(row->spec, nullptr);
        } else {
            EXPECT_LE(row->max_args, 6) << code;
            EXPECT_EQ(row->spec == nullptr, row->max_args == 0) << code;
        }
    }
    // Every name of the name table reaches a row; aliases share the handler.
    const BuiltinName* names = builtin_names();
    for (int i = 0; i < kBuiltinNameCount; ++i)
        EXPECT_NE(builtin_descriptor(names[i].code), nullptr) << names[i].name;
    EXPECT_EQ(builtin_descriptor(test::code_of("_CD"))->handler,
              builtin_descriptor(test::code_of("DOSCD"))->handler);
    EXPECT_EQ(builtin_descriptor(9)->handler, builtin_descriptor(10)->handler);  // CENTER/CENTRE
}

TEST_F(DispatchTest, SpecificationBytesOfSampleRows) {
    auto spec = [](int code) {
        const BuiltinDescriptor* r = builtin_descriptor(code);
        return std::string(r->spec, r->max_args);
    };
    EXPECT_EQ(spec(50), std::string("\x02\x18\x09\x21", 4));           // SUBSTR
    EXPECT_EQ(spec(62), std::string("\x02\x02\x01", 3));               // WORDPOS: [whole]
    EXPECT_EQ(spec(135), std::string("\x42\x03", 2));                  // RXQUEUE
    EXPECT_EQ(spec(119), std::string("\x09\x21\x19\x19\x09\x09", 6));  // SCRCLEAR
    EXPECT_EQ(spec(28), std::string("\x04\x09\x09\x09\x09", 5));       // FORMAT
}

TEST_F(DispatchTest, ArgumentCountRules) {
    EXPECT_EQ(bif_error("LENGTH"), 40);              // required argument missing
    EXPECT_EQ(bif_error("LENGTH", {"a", "b"}), 40);  // too many
    EXPECT_EQ(bif_error("LENGTH", {kOmit}), 40);     // written but empty
    EXPECT_EQ(bif_error("QUEUED", {"x"}), 40);       // none allowed
    EXPECT_EQ(bif("LENGTH", {"abc"}), "3");
}

TEST_F(DispatchTest, WholeNumberRules) {
    EXPECT_EQ(bif_error("LEFT", {"abc", "-1"}), 40);
    EXPECT_EQ(bif_error("LEFT", {"abc", -1}), 40);
    EXPECT_EQ(bif_error("LEFT", {"abc", "1.5"}), 40);
    EXPECT_EQ(bif_error("LEFT", {"abc", "x"}), 40);
    EXPECT_EQ(bif_error("LEFT", {"abc", ""}), 40);
    EXPECT_EQ(bif("LEFT", {"abc", "2.0"}), "ab");
    EXPECT_EQ(bif("LEFT", {"abc", " 2 "}), "ab");
    EXPECT_EQ(bif("LEFT", {"abc", "2E0"}), "ab");
    EXPECT_EQ(bif_error("LEFT", {"abc", "1234567890"}), 40);  // 10 digits
    EXPECT_EQ(bif_error("SUBSTR", {"abc", 0}), 40);           // whole>0
    EXPECT_EQ(bif("COPIES", {"x", 0}), "");                   // whole>=0 takes 0
    EXPECT_EQ(bif("WORDPOS", {"a", "a", "-5"}), "0");         // plain whole takes any sign
    EXPECT_EQ(bif_error("WORDPOS", {"a", "a", "1.1"}), 40);
    // Whole numbers are taken after rounding to 9 digits.
    EXPECT_EQ(bif("LEFT", {"abc", "1.0000000001"}), "a");
}

TEST_F(DispatchTest, NumberRule) {
    EXPECT_EQ(bif_error("ABS", {"abc"}), 40);
    EXPECT_EQ(bif_error("ABS", {""}), 40);
    EXPECT_EQ(bif("ABS", {" -1.5 "}), "1.5");
}

TEST_F(DispatchTest, PadAndOptionRules) {
    EXPECT_EQ(bif_error("LEFT", {"a", 3, "**"}), 40);
    EXPECT_EQ(bif_error("LEFT", {"a", 3, ""}), 40);
    EXPECT_EQ(bif("LEFT", {"a", 3, "*"}), "a**");
    EXPECT_EQ(bif("LEFT", {"a", 3, 7}), "a77");      // an integer-form pad is spelled first
    EXPECT_EQ(bif_error("STRIP", {" a ", ""}), 40);  // empty option
    EXPECT_EQ(bif_error("STRIP", {" a ", 1}), 40);   // not a letter
    EXPECT_EQ(bif_error("STRIP", {" a ", "1"}), 40);
    EXPECT_EQ(bif_error("STRIP", {" a ", "x"}), 40);  // a letter, refused by STRIP itself
    EXPECT_EQ(bif("STRIP", {" a ", "lead"}), "a ");   // only the first character counts
    EXPECT_EQ(bif("STRIP", {" a ", "t"}), " a");      // upper-cased
}

TEST_F(DispatchTest, OmittedArgumentsInTheMiddle) {
    EXPECT_EQ(bif("SUBSTR", {"abcdef", 2, kOmit, "."}), "bcdef");
    EXPECT_EQ(bif_error("SUBSTR", {"abcdef", kOmit, 2}), 40);
    EXPECT_EQ(bif("BITAND", {"\x12", kOmit, "\xFF"}), "\x12");
}

TEST_F(DispatchTest, ParsedRecordsOfACheck) {
    const BuiltinDescriptor* row = builtin_descriptor(test::code_of("SUBSTR"));
    Value block[3] = {kAbsentValue, integer_constant(999999999), make_value("hello")};
    BuiltinCall call{};
    call.code = 50;
    call.argc = 3;
    call.block = block;
    check_builtin_arguments(call, *row);
    EXPECT_EQ(call.arg[0].view(), "hello");
    EXPECT_FALSE(call.arg[0].omitted);
    EXPECT_EQ(call.arg[1].whole, 999999999);
    EXPECT_EQ(call.arg[1].count, kCountClamp);
    EXPECT_TRUE(call.arg[2].omitted);
    EXPECT_EQ(call.arg[2].count, 0);
    EXPECT_EQ(call.arg[2].value, nullptr);
    EXPECT_TRUE(call.arg[3].omitted);  // not given at all
    EXPECT_EQ(call.arg[3].pad, ' ');
    EXPECT_EQ(call.arg[3].option, ' ');
    // An integer-form string argument is spelled into the record's own scratch.
    Value num[1] = {integer_constant(-123456789)};
    call.code = 33;
    call.argc = 1;
    call.block = num;
    check_builtin_arguments(call, *builtin_descriptor(33));
    EXPECT_EQ(call.arg[0].view(), "-123456789");
    EXPECT_EQ(call.arg[0].text, call.arg[0].number_text);
    EXPECT_TRUE(is_integer_form(num[0]));  // the value itself is left as it was
    release(block[2]);
}

TEST_F(DispatchTest, ShortResultsStayInline) {
    test::CallOutcome out;
    test::call_into(out, "SUBSTR", {"a string longer than the inline room", 3, 8});
    ASSERT_EQ(out.error, 0);
    EXPECT_EQ(out.result.length, 8u);
    EXPECT_FALSE(out.result.flags & kOwned);
    EXPECT_EQ(out.text(), "string l");
    test::CallOutcome len;
    test::call_into(len, "LENGTH", {"a string longer than the inline room"});
    EXPECT_TRUE(is_integer_form(len.result));
    EXPECT_EQ(len.result.data.integer, 36);
    test::CallOutcome word;
    test::call_into(word, "WORD", {"alpha beta gamma", 2});
    EXPECT_FALSE(word.result.flags & kOwned);
    EXPECT_EQ(word.text(), "beta");
}

TEST_F(DispatchTest, ResultsAreClassified) {
    test::CallOutcome out;
    test::call_into(out, "SUBSTR", {"x12", 2});
    ASSERT_EQ(out.error, 0);
    EXPECT_TRUE(out.result.flags & kClassified);
    EXPECT_TRUE(is_whole(out.result));
    test::CallOutcome word;
    test::call_into(word, "WORD", {"a 1.5e3", 2});
    EXPECT_TRUE(is_number(word.result));
    EXPECT_FALSE(is_whole(word.result));
}

// String results are classified by their first character when it rules a number out, else in
// full; every way a number may begin is taken the long way.
TEST_F(DispatchTest, ResultClassificationByFirstCharacter) {
    struct Case {
        const char* text;
        bool number;
        bool whole;
    };
    const Case cases[] = {{"abc", false, false}, {"", false, false},      {"e5", false, false},
                          {" 12", true, false},  {"+7", true, false},     {"-7", true, true},
                          {".5", true, false},   {"12", true, true},      {"1e3", true, false},
                          {",5", false, false},  {"/5", false, false},    {" x", false, false},
                          {"0x", false, false},  {"12345678", true, true}};
    for (const Case& c : cases) {
        test::CallOutcome out;
        test::call_into(out, "SUBSTR", {std::string("#") + c.text, 2});
        ASSERT_EQ(out.error, 0) << c.text;
        EXPECT_TRUE(out.result.flags & kClassified) << c.text;
        EXPECT_EQ(is_number(out.result), c.number) << c.text;
        EXPECT_EQ(is_whole(out.result), c.whole) << c.text;
    }
}

// Arguments of every kind in one call, and integer-form arguments where strings are wanted.
TEST_F(DispatchTest, IntegerFormArgumentsAsStringsAndPositions) {
    EXPECT_EQ(bif("SUBSTR", {12345, 2, 3}), "234");
    EXPECT_EQ(bif("POS", {3, 12345}), "3");
    EXPECT_EQ(bif("WORD", {"a b c", 3}), "c");
    EXPECT_EQ(bif_error("WORD", {"a b c", 0}), 40);
    EXPECT_EQ(bif_error("WORD", {"a b c", -1}), 40);
    EXPECT_EQ(bif("WORD", {"a b c", "2"}), "b");
    EXPECT_EQ(bif("OVERLAY", {"x", "abc", 2, 1, "."}), "axc");
    EXPECT_EQ(bif("TRANSLATE", {"abc", kOmit, kOmit, kOmit}), "ABC");
    EXPECT_EQ(bif("TRANSLATE", {"abc", "xy", "ab"}), "xyc");
    EXPECT_EQ(bif("TRANSLATE", {"abc", "x", "abc", "-"}), "x--");
}

TEST_F(DispatchTest, StringLimitAndTheClamp) {
    test::DiagnosticCapture diag;
    // A count of 999999999 is clamped to 500000001, one past the limit.
    EXPECT_EQ(bif_error("LEFT", {"a", 999999999}), 5);
    ASSERT_FALSE(diag.lines().empty());
    EXPECT_EQ(diag.lines().front(), "Memory full: implementation limit");
    diag.clear();
    EXPECT_EQ(bif_error("COPIES", {"x", 500000001}), 5);
    EXPECT_EQ(diag.lines().front(), "Memory full: implementation limit");
    diag.clear();
    // The product 3 x 999999999 does not fit in 32 bits.
    EXPECT_EQ(bif_error("COPIES", {"abc", 999999999}), 5);
    EXPECT_EQ(bif_error("COPIES", {"ab", 250000001}), 5);
    EXPECT_EQ(bif_error("OVERLAY", {"x", "abc", 500000000, 1}), 5);
    EXPECT_EQ(bif_error("SUBSTR", {"abc", 1, 500000001}), 5);
    EXPECT_EQ(bif_error("SPACE", {"a b", 500000000}), 5);
    EXPECT_EQ(bif_error("INSERT", {"a", "b", 500000000}), 5);
    EXPECT_EQ(bif_error("JUSTIFY", {"a b", 999999999}), 5);
}

TEST_F(DispatchTest, FunctionsThatOnlyFail) {
    for (const char* name :
         {"SCRSIZE", "CHARSIZE", "DOSMEM", "_SYSMEM", "PCRAM", "PCROMDATE", "ZYMSYS", "CURSOR",
          "CURSORTYPE", "INKEY", "SCRBLINK", "SCRCLEAR", "SCRWRITE"})
        EXPECT_EQ(bif_error(name), 99) << name;
    for (const char* name : {"PCGAME", "PCEQUIP", "PCPARALLEL", "PCSERIAL"})
        EXPECT_EQ(bif_error(name), 98) << name;
    EXPECT_EQ(bif_error("PEEK", {0, 0}), 99);
    EXPECT_EQ(bif_error("PEEK", {-1, 0}), 40);  // the argument check comes first
    EXPECT_EQ(bif_error("POKE", {1, 2, 3}), 99);
    EXPECT_EQ(bif_error("INP", {1}), 98);
    EXPECT_EQ(bif_error("OUTP", {1, 2}), 98);
    EXPECT_EQ(bif_error("OUTP", {1}), 40);
    EXPECT_EQ(bif_error("SCRPUT", {1, 1, "x"}), 99);
    EXPECT_EQ(bif_error("SCRPUT", {1, 1}), 40);
    EXPECT_EQ(bif_error("SCRREAD", {1, 1, 0}), 99);
    EXPECT_EQ(bif_error("SHIFTSTATE", {"a"}), 99);
    EXPECT_EQ(bif_error("SHIFTSTATE", {"1"}), 40);
    EXPECT_EQ(bif_error("TYPEMATIC", {1, 1}), 99);
    EXPECT_EQ(bif_error("SCRSIZE", {"x"}), 40);
}

TEST_F(DispatchTest, PendingFamiliesReportAnInternalErrorNamingTheFunction) {
    test::DiagnosticCapture diag;
    EXPECT_EQ(bif_error("DATE", {"s"}), 49);
    ASSERT_EQ(diag.lines().size(), 1u);
    EXPECT_NE(diag.lines()[0].find("DATE"), std::string::npos);
    EXPECT_EQ(bif_error("DATE", {"1"}), 40);  // arguments are still checked first
    EXPECT_EQ(bif_error("GETENV", {"PATH"}), 49);
    EXPECT_EQ(bif_error("X2C", {"41"}), 49);
}

TEST_F(DispatchTest, UnknownCodeIsAnInternalError) {
    test::DiagnosticCapture diag;
    Value none[1];
    Value r;
    EXPECT_EQ(test::error_of([&] { builtin_call(149, none, 0, r); }), 49);
    EXPECT_EQ(test::error_of([&] { builtin_call(0, none, 0, r); }), 49);
}

}  // namespace
}  // namespace ketra
