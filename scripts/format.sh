#!/usr/bin/env bash
# Formats the project's C++ sources with clang-format and the repository's .clang-format.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   change nothing; list unformatted files, exit 1 if there are any
# Only files tracked by git (or staged) are touched, so build trees are never visited.
set -euo pipefail

cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
mode=fix
case "${1:-}" in
    --check) mode=check ;;
    "") ;;
    *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

mapfile -t files < <(git ls-files --cached --others --exclude-standard \
    '*.cpp' '*.h' '*.hpp' '*.cc' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
if [ ${#files[@]} -eq 0 ]; then
    exit 0
fi

if [ $mode = fix ]; then
    printf '%s\0' "${files[@]}" | xargs -0 "$clang_format" -i --style=file
    exit 0
fi

bad=0
for f in "${files[@]}"; do
    if ! "$clang_format" --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
        echo "needs formatting: $f"
        bad=1
    fi
done
exit $bad
