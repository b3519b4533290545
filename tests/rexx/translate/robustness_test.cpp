// Malformed sources: random mutations of valid programs must translate or end in one of the
// translation errors, never crash or read outside the text (the sanitizer build checks the
// latter), both as program source and as INTERPRET text.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "translate_support.h"

namespace ketra::test {
namespace {

const char* const kSeeds[] = {
    "say 'hello' 1+2\ndo i = 1 to 3 by 2 for 4 while i < 9; say i; end i\n",
    "select\nwhen a = 1 then nop\nwhen b then do; leave; end\notherwise say f(1,,2)\nend\n",
    "parse upper value x'41'x y with a 2 b '=' c +(d) . , e\narg q, r\npull s\n",
    "if a then if b then nop; else say 'x''y' \"z\"\nsignal on error name h\nh: call h 1, 2\n",
    "address cmd 'dir' /* a /* nested */ comment */\nnumeric form value x\ntrace ?r\n",
    "x.y.1 = '1 0100'b || '4142'x; drop x. (y); upper a b; procedure expose (c) d\n",
    "do forever; iterate; end; do 3 until x; end; interpret 'say' 1,\n 2\nexit 0\n",
};

const std::set<int> kTranslationErrors = {0,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                          16, 18, 19, 20, 21, 25, 27, 28, 30, 31, 32, 33,
                                          34, 35, 36, 37, 38, 40, 46, 51, 52, 53};

std::string mutate(std::string s, std::mt19937& rng) {
    static const char kBytes[] = "();,:'\"*/\\=+-. \n\tXBabc019|&<>%\x1a\x00\xaa[";
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !s.empty(); ++e) {
        std::size_t at = rng() % s.size();
        char ch = kBytes[rng() % (sizeof kBytes - 1)];
        switch (rng() % 4) {
            case 0:
                s[at] = ch;
                break;
            case 1:
                s.insert(s.begin() + static_cast<long>(at), ch);
                break;
            case 2:
                s.erase(at, 1 + rng() % 4);
                break;
            default:
                s.insert(at, s.substr(rng() % s.size(), rng() % 12));
        }
    }
    return s;
}

TEST(Robustness, MutatedProgramsEndInTranslationErrors) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 4000; ++round) {
        std::string src = mutate(kSeeds[round % std::size(kSeeds)], rng);
        Translation t(src, kModeInitial | kModeTracePermitted);
        int e = t.compile();
        ASSERT_TRUE(kTranslationErrors.count(e)) << "error " << e << " for:\n" << src;
        if (e == 0) {
            // Every instruction of the code is whole, and every jump lands inside the code.
            const auto& code = t.program().code;
            std::size_t pc = 0;
            while (pc < code.size()) {
                const OpcodeInfo* info = opcode_info(code[pc]);
                ASSERT_TRUE(info && pc + info->length <= code.size()) << src;
                if (has_target(code[pc])) {
                    std::uint32_t target = code[pc + info->length - 3] |
                                           code[pc + info->length - 2] << 8 |
                                           code[pc + info->length - 1] << 16;
                    ASSERT_LT(target, code.size()) << src;
                }
                pc += info->length;
            }
            ASSERT_EQ(code.back(), kOpEnd);
        }
    }
}

TEST(Robustness, MutatedInterpretText) {
    std::mt19937 rng(777);
    ProgramPtr program = make_program();
    {
        Translation t("exit\nh: return");
        ASSERT_EQ(t.compile(), 0);
        for (const SymbolEntry& s : t.program().symbols) {
            SymbolEntry e = s;
            e.name = copy_value(s.name);
            program->symbols.push_back(e);
        }
        program->labels = t.program().labels;
    }
    for (int round = 0; round < 2000; ++round) {
        std::string text = mutate(kSeeds[round % std::size(kSeeds)], rng);
        std::size_t symbols = program->symbols.size();
        ScopedRun run;
        int e = error_of([&] {
            RexxVector<std::uint8_t> code = translate_interpret(
                &run.instance(), *program, text.data(), text.size(), 1000, symbols + 1000);
            EXPECT_EQ(code.back(), kOpInterpretEnd);
        });
        ASSERT_TRUE(kTranslationErrors.count(e)) << "error " << e << " for:\n" << text;
        // Drop what the text added, as the interpreter does when the code ends.
        while (program->literals.size() > 0) {
            release(program->literals.back());
            program->literals.pop_back();
        }
        while (program->symbols.size() > symbols) {
            release(program->symbols.back().name);
            program->symbols.pop_back();
        }
    }
}

}  // namespace
}  // namespace ketra::test
