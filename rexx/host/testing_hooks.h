// Hooks that let tests reach paths a healthy machine never takes: failing allocations, and a
// look at a run just before it executes.
#pragma once

namespace ketra::testing {

// After n more successful allocations every allocation fails; -1 lifts the limit.
void fail_allocations_after(long n);

}  // namespace ketra::testing

namespace ketra {
struct ExecInstance;
}

namespace ketra::testing {

// Called by every run just before it executes (or, translating only, after translation), with
// the run's instance: lets tests see what a run was started with.
using RunObserver = void (*)(ExecInstance* inst, void* context);
void set_run_observer(RunObserver observer, void* context);
void notify_run_observer(ExecInstance* inst);

}  // namespace ketra::testing
