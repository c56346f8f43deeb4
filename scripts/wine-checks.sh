#!/usr/bin/env bash
# Checks of the Windows build that need more than its unit tests, all under wine:
#   screenshot  qm-controller.exe --demo --screenshot from the build folder, offscreen
#   zip         the Windows zip unzipped into a new wine prefix and run from there with the
#               windows plugin under Xvfb: it must start, draw the read-out, and load exactly
#               the DLLs the zip carries (wine's log of loaded DLLs), none from elsewhere
# Usage: wine-checks.sh BUILD-DIR (the windows preset's, after its build and package targets).
# Output goes to BUILD-DIR/wine-checks/.
set -euo pipefail
build=$(cd "${1:?usage: wine-checks.sh BUILD-DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out="$build/wine-checks"
rm -rf "$out"
mkdir -p "$out"
export WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=wineserver
failed=0

fail() {
    echo "wine-checks: FAILED: $*"
    failed=1
}

# Width and height of a PNG file, or nothing when it is not one.
png_size() {
    local b
    b=$(od -An -tx1 -N24 "$1" | tr -d ' \n')
    [ "${b:0:16}" = 89504e470d0a1a0a ] && [ "${b:24:8}" = 49484452 ] || return 0
    echo "$((16#${b:32:8}))x$((16#${b:40:8}))"
}

# A picture of the main window: a PNG as large as the window the Linux build draws.
check_picture() {
    local file=$1 what=$2 size
    if [ ! -s "$file" ]; then
        fail "$what: no picture"
        return
    fi
    size=$(png_size "$file")
    local w=${size%x*} h=${size#*x}
    if [ -z "$size" ] || [ "$w" -lt 300 ] || [ "$h" -lt 500 ]; then
        fail "$what: $file is not a picture of the window (${size:-not a PNG})"
    else
        echo "wine-checks: $what: $file, $size"
    fi
}

winpath() {
    echo "Z:${1//\//\\}"
}

# 1. The demo read-out from the build folder, offscreen.
mkdir -p "$out/screenshot"
(cd "$out/screenshot" && timeout 120 "$root/cmake/wine-run.sh" "$build/wine-prefix" \
    "$build/bin/qm-controller.exe" -platform offscreen --demo \
    --screenshot "$(winpath "$out/screenshot/readout.png")" --after 6000) ||
    fail "screenshot: qm-controller.exe exited with $?"
check_picture "$out/screenshot/readout.png" "screenshot (offscreen)"
WINEPREFIX="$build/wine-prefix" "$wineserver" -k 2>/dev/null || true

# 2. The zip, in a new prefix, with the windows plugin on a virtual display.
zip=$(ls "$build"/qm-controller-*-win64.zip 2>/dev/null | head -1)
if [ -z "$zip" ]; then
    fail "zip: no qm-controller-*-win64.zip in $build"
else
    mkdir -p "$out/unzipped" "$out/run"
    unzip -q "$zip" -d "$out/unzipped"
    folder=$(find "$out/unzipped" -mindepth 1 -maxdepth 1 -type d | head -1)
    (cd "$folder" && find . -iname '*.dll' | sed 's|^\./||' | sort) >"$out/zip-dlls.txt"
    prefix="$out/prefix"
    (cd "$out/run" && WINEDEBUG=+loaddll timeout 180 xvfb-run -a -s "-screen 0 1366x768x24" \
        "$root/cmake/wine-run.sh" "$prefix" "$folder/qm-controller.exe" --demo \
        --screenshot "$(winpath "$out/run/readout.png")" --after 8000) 2>"$out/loaddll.log" ||
        fail "zip: qm-controller.exe exited with $?"
    WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    check_picture "$out/run/readout.png" "zip (windows plugin, new prefix)"
    # Native DLLs the program loaded, relative to the unzipped folder; anything native from
    # elsewhere is listed with its full path and fails the check.
    # wine logs each as: Loaded L"Z:\\path\\to\\Qt6Core.dll" at 0000000123400000: native
    # (No line at all must reach the comparison below, not end the script without a word.)
    { grep -a ': native$' "$out/loaddll.log" || :; } |
        sed -nE 's/.*Loaded L"(.*)" at [0-9a-fA-F]+: native$/\1/p' | sed 's|\\\\|/|g' |
        awk -v dir="Z:$folder/" '{
            p = $0
            if (index(tolower(p), tolower(dir)) == 1) p = substr(p, length(dir) + 1)
            if (tolower(p) ~ /\.dll$/) print p
        }' | sort -u >"$out/loaded-dlls.txt"
    if ! diff -u "$out/zip-dlls.txt" "$out/loaded-dlls.txt" >"$out/dll-diff.txt"; then
        fail "zip: the DLLs loaded differ from those in the zip (- in the zip only, + loaded only):"
        cat "$out/dll-diff.txt"
    else
        echo "wine-checks: zip: loads exactly its $(wc -l <"$out/zip-dlls.txt") DLLs:" \
            $(cat "$out/zip-dlls.txt")
    fi
fi

if [ $failed -ne 0 ]; then
    echo "wine-checks: some checks failed"
    exit 1
fi
echo "wine-checks: all passed"
