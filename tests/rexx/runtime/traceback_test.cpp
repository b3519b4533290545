// The traceback of an error that ends a run: one "+++" line per active routine, innermost
// first, then the error line; a deep recursion is reported in time proportional to its depth.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "rexx/host/host_test_support.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

TEST(Traceback, DeepRecursionWritesEveryCallerQuickly) {
    const std::string source =
        "call down 60000\n"
        "exit\n"
        "down: procedure\n"
        "  parse arg n\n"
        "  if n > 0 then call down n - 1\n"
        "  else x = 1 / 0\n"
        "  return\n";
    DiagnosticCapture cap;
    std::clock_t start = std::clock();
    SHORT retc = 0;
    EXPECT_EQ(run_in_store(source, {}, "deep.rex", nullptr, &retc), -42);
    double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const auto& lines = cap.lines();
    ASSERT_EQ(lines.size(), 60003u);
    EXPECT_EQ(lines[0], "     6 +++ x = 1 / 0");
    for (std::size_t i = 1; i <= 60000; ++i) ASSERT_EQ(lines[i], "     5 +++ call down n - 1") << i;
    EXPECT_EQ(lines[60001], "     1 +++ call down 60000");
    EXPECT_EQ(lines[60002], "Error 42 on line 6 of deep.rex: Arithmetic overflow/underflow");
    // Finding each caller by a search from the innermost routine took minutes at this depth.
    EXPECT_LT(seconds, 5.0);
}

}  // namespace
}  // namespace ketra::test
