#!/usr/bin/env bash
# viewer_bench --copy-demo-to DIR puts the demo data sets into DIR/DATA, making DIR (with its
# parents) when it is missing, and leaves the working folder alone.
#   copy-demo-to.sh VIEWER_BENCH
set -euo pipefail
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/cwd"
cd "$work/cwd"

status=0
"$bench" --copy-demo-to "$work/new/place" >/dev/null
for folder in OBJ_A01 Котельная; do
    ls "$work/new/place/DATA/$folder"/*.dat >/dev/null 2>&1 ||
        { echo "no data files in new/place/DATA/$folder"; status=1; }
    head -n1 "$work/new/place/DATA/$folder/sensors.csv" 2>/dev/null | grep -q '^sensor,depth_m,label' ||
        { echo "no sensor table in new/place/DATA/$folder"; status=1; }
done
# The borehole's table gives its sensors their depths, from 0.5 m down.
grep -q '^1,0.5,' "$work/new/place/DATA/Скважина_7/sensors.csv" 2>/dev/null ||
    { echo "no depths in the borehole's sensor table"; status=1; }
[ -z "$(ls -A "$work/cwd")" ] || { echo "written into the working folder: $(ls "$work/cwd")"; status=1; }

# A relative folder is one of the working folder.
"$bench" --copy-demo-to rel >/dev/null
[ -d "$work/cwd/rel/DATA/OBJ_A01" ] || { echo "no rel/DATA/OBJ_A01"; status=1; }

# A folder that cannot be made is said, with a failing exit status, and nothing is copied.
touch "$work/file"
if "$bench" --copy-demo-to "$work/file/below" >/dev/null 2>"$work/err"; then
    echo "a folder below a file was accepted"
    status=1
fi
grep -q "cannot make" "$work/err" || { echo "no message: $(cat "$work/err")"; status=1; }
[ "$(ls -A "$work/cwd")" = rel ] || { echo "written into the working folder: $(ls "$work/cwd")"; status=1; }
exit $status
