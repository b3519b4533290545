#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time from a copy of its seed corpus, so that the
# repository is never written. Inputs that make the target fail are kept in the findings
# folder and shown in hex.
#
#   run_fuzzer.sh TARGET SEED_DIR SECONDS [FINDINGS_DIR]
set -uo pipefail
target=$1 seeds=$2 seconds=$3 findings=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ketra-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus"
rc=$?
shopt -s nullglob
found=("$work"/artifacts/*)
if [ $rc -ne 0 ] || [ ${#found[@]} -gt 0 ]; then
    echo "fuzz target $(basename "$target") failed (exit $rc)"
    for f in "${found[@]}"; do
        echo "--- $(basename "$f") ($(stat -c %s "$f") bytes):"
        od -A x -t x1z -v "$f" | head -40
        if [ -n "$findings" ]; then
            mkdir -p "$findings" && cp "$f" "$findings/" && echo "kept in $findings/$(basename "$f")"
        fi
    done
    exit 1
fi
echo "fuzz target $(basename "$target"): ${seconds}s, no finding"
