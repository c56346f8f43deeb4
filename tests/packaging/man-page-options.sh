#!/usr/bin/env bash
# The manual page and the program agree on the options: every option that one of the program's
# help texts lists has an entry in the page, and the page lists no option the program lacks.
#   man-page-options.sh PROGRAM MAN-PAGE
set -euo pipefail
program=$1
page=$2

# The help lists every option of every mode, from the program's one option table; asked for
# beside a mode it is the same.
helps=$("$program" --help --lang en; "$program" --export x --help; "$program" --view x --help)
from_help=$(grep -oE -- '--[a-z][a-z-]*' <<<"$helps" | sort -u)
# In the page an option is written with escaped hyphens: \-\-name.
from_page=$(grep -oE -- '\\-\\-[a-z][a-z\\-]*' "$page" | sed 's/\\//g' | sort -u)

status=0
while read -r option; do
    case $option in --help-all) continue ;; esac  # Qt's own options, not the program's
    grep -qxF -- "$option" <<<"$from_page" || { echo "the page lacks $option"; status=1; }
done <<<"$from_help"
while read -r option; do
    grep -qxF -- "$option" <<<"$from_help" || { echo "the program has no $option"; status=1; }
done <<<"$from_page"
[ "$(wc -l <<<"$from_help")" -ge 10 ] || { echo "too few options found in the help"; status=1; }
exit $status
