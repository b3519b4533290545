// Fault injection for the allocation routines, used by tests to reach the memory-full paths.
#pragma once

namespace ketra::testing {

// After n more successful allocations every allocation fails; -1 lifts the limit.
void fail_allocations_after(long n);

}  // namespace ketra::testing
