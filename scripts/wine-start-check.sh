#!/usr/bin/env bash
# Measures how often wine fails to start a program: starts a small Windows program N times,
# PARALLEL at a time, through the wrapper the tests use (cmake/wine-run.sh, with its own wine
# prefix and one wineserver for the whole loop as under ctest), and prints the starts, the failed
# ones (those with wine's "failed to map the shared user data" counted apart), the time, and the
# range where the heap of the wine processes began. Not run by scripts/test.sh.
# Usage: wine-start-check.sh [--wrapper FILE] [N [PARALLEL]]     (default 1000 starts, 4 at a time)
#   --wrapper FILE  another wrapper with wine-run.sh's arguments, e.g. an older one to compare:
#                   git show REV:cmake/wine-run.sh >/tmp/wine-run-old.sh
# The program, the prefix and the failed starts' output are kept in build/wine-start-check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wrapper=$root/cmake/wine-run.sh
if [ "${1-}" = --wrapper ]; then
    wrapper=$(realpath "${2:?--wrapper needs a file}")
    shift 2
fi
starts=${1:-1000}
parallel=${2:-4}
work=$root/build/wine-start-check
mkdir -p "$work"
rm -rf "$work/failed"
mkdir "$work/failed"
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -o "$work/probe.exe" \
    "$root/tests/wine/StartProbe.cpp"

prefix=$work/wine-prefix
if ! sh "$wrapper" "$prefix" --up; then
    echo "wine-start-check: the wine prefix $prefix could not be set up" >&2
    exit 1
fi
results=$work/results.txt
: >"$results"
export wrapper prefix work results
SECONDS=0
# One line per start: number, exit status, heap start, 1 when wine could not map the shared
# user data. Lines this short are appended whole by parallel writers.
seq "$starts" | xargs -P "$parallel" -I{} sh -c '
    out=$(sh "$wrapper" "$prefix" "$work/probe.exe" 2>"$work/failed/$1.err")
    status=$?
    heap=$(echo "$out" | sed -n "s/^heap //p")
    shared=0
    grep -q "failed to map the shared user data" "$work/failed/$1.err" && shared=1
    [ $status -ne 0 ] || rm -f "$work/failed/$1.err"
    echo "$1 $status ${heap%%-*} $shared" >>"$results"' sh {}
seconds=$SECONDS
sh "$wrapper" "$prefix" --down

failed=0 shared=0 lowest= highest=
while read -r _ status heap map; do
    [ "$status" = 0 ] || failed=$((failed + 1))
    shared=$((shared + map))
    case $heap in '' | *[!0-9a-f]*) continue ;; esac
    if [ -z "$lowest" ] || [ $((16#$heap)) -lt $((16#$lowest)) ]; then lowest=$heap; fi
    if [ -z "$highest" ] || [ $((16#$heap)) -gt $((16#$highest)) ]; then highest=$heap; fi
done <"$results"
echo "wine-start-check: wrapper $wrapper"
echo "wine-start-check: $(wc -l <"$results") of $starts starts, $parallel in parallel, in $seconds s"
echo "wine-start-check: $failed failed, $shared of them with \"failed to map the shared user data\""
echo "wine-start-check: heap of the wine processes began at 0x${lowest:-?} to 0x${highest:-?}"
if [ "$failed" -ne 0 ]; then
    echo "wine-start-check: the failed starts' standard error: $work/failed/"
    exit 1
fi
