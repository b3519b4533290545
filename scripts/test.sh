#!/usr/bin/env bash
# Builds the project twice, plainly and under AddressSanitizer + UndefinedBehaviorSanitizer,
# and runs every test in both builds; then builds the libFuzzer targets with clang and runs
# each of them for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
run() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
    (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 300)
}
run build
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run build-asan -DKETRA_SANITIZE=ON
# The fuzz stage: only the library objects and the fuzz targets are built; each target runs
# from a copy of its seed corpus (tests/fuzz/run_fuzzer.sh), so the repository is not written.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DKETRA_SANITIZE=ON -DKETRA_FUZZ=ON -DKETRA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_targets
(cd build-fuzz && ctest --output-on-failure -j"$jobs" -L fuzz)
echo "all tests passed (plain and sanitized builds, fuzz runs)"
