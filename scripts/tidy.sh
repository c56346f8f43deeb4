#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the program's own sources (not the
# tests, benchmarks or fuzz targets), with the compile commands of a build:
#   scripts/tidy.sh [BUILD_DIR]     default build/release; exits 1 when anything is reported
# Sources the build did not compile (another platform's backends) are left out.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/release}
tidy=${CLANG_TIDY:-clang-tidy}
commands="$build/compile_commands.json"
if [ ! -f "$commands" ]; then
    echo "tidy.sh: $commands not found: configure $build first" >&2
    exit 2
fi

files=()
while read -r f; do
    grep -q "\"file\": \"$root/$f\"" "$commands" && files+=("$f")
done < <(git ls-files '*.cpp' | grep -E '^(app|archive|collect|core|link|measure|protocol|session|sim|store|text|ui)/')
echo "tidy.sh: ${#files[@]} files"

report=$(printf '%s\n' "${files[@]}" |
    xargs -P "$(nproc)" -n 4 "$tidy" -p "$build" --quiet 2>/dev/null |
    grep -E '(warning|error):' | sort -u || true)
if [ -n "$report" ]; then
    echo "$report"
    echo "tidy.sh: $(echo "$report" | wc -l) findings"
    exit 1
fi
echo "tidy.sh: clean"
