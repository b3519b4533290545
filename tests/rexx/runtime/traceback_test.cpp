// The traceback of an error that ends a run: one "+++" line per active routine, innermost
// first, then the error line; a deep recursion is reported in time proportional to its depth.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "rexxsaa.h"

namespace {

std::vector<std::string> g_lines;

// Collects the message lines of the run; nothing reaches a console.
LONG APIENTRY collect_messages(LONG, LONG sub, PEXIT block) {
    if (sub != RXSIOTRC) return RXEXIT_NOT_HANDLED;
    auto* parm = reinterpret_cast<RXSIOTRC_PARM*>(block);
    g_lines.emplace_back(parm->rxsio_string.strptr, parm->rxsio_string.strlength);
    return RXEXIT_HANDLED;
}

LONG run(const std::string& source, const char* name) {
    RexxRegisterExitExe("TRACEBACKSIO", reinterpret_cast<PFN>(&collect_messages), nullptr);
    RXSYSEXIT exits[2] = {{const_cast<char*>("TRACEBACKSIO"), RXSIO}, {nullptr, RXENDLST}};
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], const_cast<char*>(source.data()), source.size());
    MAKERXSTRING(instore[1], nullptr, 0);
    SHORT retc = 0;
    LONG rc = RexxStart(0, nullptr, name, instore, nullptr, RXCOMMAND, exits, &retc, nullptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    RexxDeregisterExit("TRACEBACKSIO", nullptr);
    return rc;
}

TEST(Traceback, DeepRecursionWritesEveryCallerQuickly) {
    const std::string source =
        "call down 60000\n"
        "exit\n"
        "down: procedure\n"
        "  parse arg n\n"
        "  if n > 0 then call down n - 1\n"
        "  else x = 1 / 0\n"
        "  return\n";
    g_lines.clear();
    std::clock_t start = std::clock();
    EXPECT_EQ(run(source, "deep.rex"), -42);
    double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    ASSERT_EQ(g_lines.size(), 60003u);
    EXPECT_EQ(g_lines[0], "     6 +++ x = 1 / 0");
    for (std::size_t i = 1; i <= 60000; ++i)
        ASSERT_EQ(g_lines[i], "     5 +++ call down n - 1") << i;
    EXPECT_EQ(g_lines[60001], "     1 +++ call down 60000");
    EXPECT_EQ(g_lines[60002], "Error 42 on line 6 of deep.rex: Arithmetic overflow/underflow");
    // Finding each caller by a search from the innermost routine took minutes at this depth.
    EXPECT_LT(seconds, 5.0);
}

}  // namespace
