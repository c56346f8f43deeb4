#!/usr/bin/env bash
# Prints how many #include lines of each folder name a header of another folder, one
# "from -> to count" a line, sorted, so the layering can be read at a glance and compared
# before and after a change. Folders are those of the layer list (ui/ split into its three).
#   scripts/include-graph.sh [--files FOLDER]   (--files: the including files of FOLDER too)
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(app ui/viewer ui/qt core ui/model collect session measure store link sim text protocol
        tests bench fuzz)

layer_of() {
    local path=$1 best=""
    for layer in "${layers[@]}"; do
        case $path in "$layer"/*) [ ${#layer} -gt ${#best} ] && best=$layer ;; esac
    done
    printf '%s' "$best"
}

files_of=""
if [ "${1:-}" = --files ]; then files_of=${2:?--files needs a folder}; fi

declare -A count
while IFS= read -r file; do
    from=$(layer_of "$file")
    [ -n "$from" ] || continue
    while IFS= read -r target; do
        to=$(layer_of "$target")
        [ -n "$to" ] && [ "$to" != "$from" ] || continue
        count["$from -> $to"]=$(( ${count["$from -> $to"]:-0} + 1 ))
        if [ "$from" = "$files_of" ]; then echo "  $file -> $target"; fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')

for edge in "${!count[@]}"; do printf '%-24s %5d\n' "$edge" "${count[$edge]}"; done | sort
