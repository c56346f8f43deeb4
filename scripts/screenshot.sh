#!/bin/sh
# Makes docs/screenshot.png: the main window after the automatic read-out of the virtual logger,
# drawn offscreen on a 1366 x 768 screen. Builds the program first if needed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/qt"
out="$root/docs/screenshot.png"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DQMC_BENCH=OFF
fi
cmake --build "$build" -j2 --target qm-controller

# The program makes its DATA folder in the working directory: run it in a scratch folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/screen.json" <<'JSON'
{ "screens": [ { "name": "screen", "x": 0, "y": 0, "width": 1366, "height": 768,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
JSON
mkdir -p "$root/docs"
cd "$work"
QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" \
    "$build/app/qm-controller" --demo --screenshot "$out" --after "${AFTER_MS:-6000}"
echo "wrote $out"
