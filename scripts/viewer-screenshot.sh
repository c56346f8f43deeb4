#!/bin/sh
# Makes docs/viewer.png: the data viewer on a year of the virtual logger's data, copied by the
# program's own copy, drawn offscreen on a 1366 x 768 screen. Builds what it needs first.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
out="$root/docs/viewer.png"

if [ ! -f "$build/build.ninja" ]; then
    cmake --preset release -S "$root"
fi
cmake --build "$build" -j2 --target qm-controller viewer_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/viewer_bench" --copy-demo-to "$work"
# The copies' log is dated today, years after the demo's data, and the time axis would reach it:
# without the log the picture shows the year alone.
find "$work/DATA" -name collection.jsonl -delete
cat > "$work/screen.json" <<'JSON'
{ "screens": [ { "name": "screen", "x": 0, "y": 0, "width": 1366, "height": 768,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
JSON
mkdir -p "$root/docs"
cd "$work"
QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" \
    "$build/app/qm-controller" --view "$work/DATA/Котельная" --screenshot "$out" --after 1000
echo "wrote $out"
