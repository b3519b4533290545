#!/bin/sh
# Runs the benchmark programs of shared/bench at their small sizes under callgrind, checks that
# each ran cleanly and printed its check line ("<name> <size> ..."), and prints the instruction
# count (Ir) of each run next to its target. Not part of the test command: it takes minutes.
#
# usage: bench/run_benchmarks.sh [ketra-binary] [bench-folder]
#   defaults: build-interp/tools/ketra (else build/tools/ketra) and ../shared/bench
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
ketra=${1:-}
if [ -z "$ketra" ]; then
    for b in build-interp build; do
        if [ -x "$root/$b/tools/ketra" ]; then ketra="$root/$b/tools/ketra"; break; fi
    done
fi
benchdir=${2:-$root/../shared/bench}
[ -x "$ketra" ] || { echo "no ketra binary (give its path)" >&2; exit 2; }
ketra=$(cd "$(dirname "$ketra")" && pwd)/$(basename "$ketra")
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export KETRA_REGISTRY="$work/registry" KETRA_RUNTIME_DIR="$work/run"
mkdir -p "$KETRA_REGISTRY" "$KETRA_RUNTIME_DIR"

# name, arguments, target (instructions)
table='null||0
loop|200000|268000000
decimal|24000|140000000
digits200|8|72000000
digits1000|1|154000000
strcat|12000|217000000
words|1200|323000000
parse|80|239000000
stem|200000 1|242000000
assoc|24000|591000000
fib|21|250000000
expose|24000|386000000
interpret|16000|218000000
sort|10000|227000000'

printf '%-11s %-10s %15s %15s %7s  %s\n' program args Ir target ratio check
failures=0
echo "$table" | while IFS='|' read -r name args target; do
    prog="$benchdir/$name.rex"
    if [ ! -f "$prog" ]; then printf '%-11s missing\n' "$name"; continue; fi
    out="$work/$name.out"; err="$work/$name.err"; cg="$work/$name.cg"
    # shellcheck disable=SC2086
    (cd "$benchdir" && valgrind --tool=callgrind --callgrind-out-file="$cg" \
        "$ketra" "$name.rex" $args >"$out" 2>"$err")
    status=$?
    ir=$(grep -m1 '^summary:' "$cg" 2>/dev/null | awk '{print $2}')
    [ -n "$ir" ] || ir=0
    check=$(tail -n 1 "$out")
    first=$(echo "$args" | awk '{print $1}')
    ok=ok
    if [ "$status" -ne 0 ]; then ok="FAILED (status $status: $(grep -v '^==' "$err" | head -n 1))"
    elif [ "$name" = null ]; then [ "$check" = null ] || ok="FAILED (check line: $check)"
    else
        case "$check" in
            "$name $first "*|"$name $first") ;;
            *) ok="FAILED (check line: $check)" ;;
        esac
    fi
    if [ "$target" -gt 0 ]; then
        ratio=$(awk -v a="$ir" -v b="$target" 'BEGIN { printf "%.2f", a / b }')
    else
        ratio=-
    fi
    printf '%-11s %-10s %15s %15s %7s  %s\n' "$name" "$args" "$ir" "$target" "$ratio" "$ok"
    echo "            $check"
done
