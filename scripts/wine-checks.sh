#!/usr/bin/env bash
# Checks of the Windows build that need more than its unit tests, all under wine:
#   screenshot  qm-controller.exe --demo --screenshot from the build folder, offscreen
#   zip         the Windows zip unzipped into a new wine prefix and run from there with the
#               windows plugin under Xvfb and with -platform offscreen: it must start, draw the
#               read-out both times, and the two runs must load exactly the DLLs the zip carries
#               (wine's log of loaded DLLs), none from elsewhere; --help sent to a file must
#               write the option list there
#   serial      a read-out for real over a serial line: the Linux logger simulator on a new
#               pseudo-terminal, a COM port of the build's wine prefix mapped onto it, and
#               qm-controller.exe --port COMn; the requests the simulator logged must equal, one
#               by one, those of the same read-out by the Linux program. Needs the release
#               build (scripts/test.sh makes it first); skipped with a message when it has not
#               been configured. QMC_WINE_SERIAL_RUNS (default 3) read-outs, each on a new
#               pseudo-terminal with a new simulator; then the serial port's own tests on a live
#               line (link_tests.exe, WinSerialPortLine.*, which ctest skips for want of one).
#   data        the viewer and the export of the virtual logger's demo year, copied into a DATA
#               folder by the release build's viewer_bench: qm-controller.exe --view FOLDER
#               --screenshot offscreen must draw the heat map (more than QMC_MIN_MAP_COLOURS,
#               default 500, distinct saturated colours in the picture, and at least 8 in 10 of
#               those of the Linux program's picture: the map of a year draws about 2,000, the
#               main window with its chart about 130; the Windows viewer has no NetCDF button,
#               so its window and map are a little narrower), and --export FOLDER
#               --csv/--xlsx must write the Linux program's table for the same folder: the CSV
#               byte for byte, the XLSX part by part (its creation time aside). Needs the release
#               build, as serial does.
# Usage: wine-checks.sh BUILD-DIR (the windows preset's, after its build and package targets).
# Output goes to BUILD-DIR/wine-checks/. QMC_WINE_CHECKS names the checks to run (default all:
# "screenshot zip serial data").
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

checks=" ${QMC_WINE_CHECKS:-screenshot zip serial data} "
wanted() {
    [[ $checks == *" $1 "* ]]
}

# 1. The demo read-out from the build folder, offscreen.
if wanted screenshot; then
    mkdir -p "$out/screenshot"
    (cd "$out/screenshot" && timeout 120 "$root/cmake/wine-run.sh" "$build/wine-prefix" \
        "$build/bin/qm-controller.exe" -platform offscreen --demo \
        --screenshot "$(winpath "$out/screenshot/readout.png")" --after 6000) ||
        fail "screenshot: qm-controller.exe exited with $?"
    check_picture "$out/screenshot/readout.png" "screenshot (offscreen)"
    WINEPREFIX="$build/wine-prefix" "$wineserver" -k 2>/dev/null || true
fi

# 2. The zip, in a new prefix, with the windows plugin on a virtual display.
if wanted zip; then
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
        # The same folder without a display: the zip's own offscreen plugin.
        (cd "$out/run" && WINEDEBUG=+loaddll timeout 180 "$root/cmake/wine-run.sh" "$prefix" \
            "$folder/qm-controller.exe" -platform offscreen --demo \
            --screenshot "$(winpath "$out/run/offscreen.png")" --after 6000) \
            2>>"$out/loaddll.log" || fail "zip: qm-controller.exe -platform offscreen exited with $?"
        WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
        check_picture "$out/run/readout.png" "zip (windows plugin, new prefix)"
        check_picture "$out/run/offscreen.png" "zip (offscreen plugin, new prefix)"
        # A console program's output goes where it is sent, not into a message box.
        (cd "$out/run" && timeout 60 "$root/cmake/wine-run.sh" "$prefix" \
            "$folder/qm-controller.exe" --help --lang en) >"$out/run/help.txt" 2>"$out/run/help.err" ||
            fail "zip: qm-controller.exe --help exited with $?"
        WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
        if ! grep -q -- '--export' "$out/run/help.txt"; then
            fail "zip: --help sent to a file wrote $(wc -l <"$out/run/help.txt") lines, no option list"
        else
            echo "wine-checks: zip: --help sent to a file: $(wc -l <"$out/run/help.txt") lines"
        fi
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
fi

# 3. Serial read-outs through a COM port of the prefix, compared with the Linux program's.
release="$root/build/release"
sim="$release/sim/qm-logger-sim"
linux_program="$release/app/qm-controller"
serial_runs=${QMC_WINE_SERIAL_RUNS:-3}
serial_after=9000  # the read-out ends about 4.5 s after the start
com=com7

# Starts the simulator logging requests to $1; sets sim_pid and sim_pty.
start_sim() {
    local log=$1 i
    : >"$log.pty"
    "$sim" --pty --log "$log" >"$log.pty" 2>"$log.sim-err" &
    sim_pid=$!
    sim_pty=
    for i in $(seq 50); do
        sim_pty=$(head -1 "$log.pty")
        [ -n "$sim_pty" ] && return 0
        sleep 0.1
    done
    return 1
}

stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}

# One read-out: $1 is "linux" or "wine", $2 the request log to write. Fails when the program
# fails or the simulator does not start.
serial_readout() {
    local kind=$1 log=$2 status=0
    if ! start_sim "$log"; then
        stop_sim
        echo "the simulator printed no pseudo-terminal: $(cat "$log.sim-err")"
        return 1
    fi
    if [ "$kind" = linux ]; then
        (cd "$out/serial" && QT_QPA_PLATFORM=offscreen timeout 60 "$linux_program" \
            --port "$sim_pty" --screenshot "$log.png" --after "$serial_after") \
            >"$log.out" 2>&1 || status=$?
    else
        ln -sfn "$sim_pty" "$build/wine-prefix/dosdevices/$com"
        (cd "$out/serial" && timeout 120 "$root/cmake/wine-run.sh" "$build/wine-prefix" \
            "$build/bin/qm-controller.exe" -platform offscreen --port "${com^^}" \
            --screenshot "$(winpath "$log.png")" --after "$serial_after") \
            >"$log.out" 2>&1 || status=$?
        rm -f "$build/wine-prefix/dosdevices/$com"
    fi
    stop_sim
    if [ $status -ne 0 ]; then
        echo "the program exited with $status:"
        sed 's/^/  /' "$log.out"
        return 1
    fi
}

mkdir -p "$out/serial"
if ! wanted serial; then
    :
elif [ ! -f "$release/CMakeCache.txt" ]; then
    echo "wine-checks: serial: SKIPPED: no release build in $release to take the Linux" \
        "simulator and program from (cmake --preset release, or run scripts/test.sh)"
elif ! cmake --build "$release" --target qm-logger-sim qm-controller >"$out/serial/build.log" 2>&1; then
    fail "serial: building the Linux simulator and program failed (see $out/serial/build.log)"
else
    if ! why=$(serial_readout linux "$out/serial/linux.log"); then
        fail "serial: the Linux read-out: $why"
    elif [ "$(wc -l <"$out/serial/linux.log")" -lt 2 ]; then
        fail "serial: the Linux read-out made $(wc -l <"$out/serial/linux.log") request(s);" \
            "the simulator did not answer"
    elif ! "$root/cmake/wine-run.sh" "$build/wine-prefix" --up; then
        fail "serial: the wine prefix $build/wine-prefix could not be set up"
    else
        # The prefix is booted and its wineserver runs until the end of the check.
        n=$(wc -l <"$out/serial/linux.log")
        passed=0
        picture=
        for run in $(seq "$serial_runs"); do
            log="$out/serial/wine-$run.log"
            if ! why=$(serial_readout wine "$log"); then
                fail "serial: run $run under wine: $why"
            elif ! diff -u "$out/serial/linux.log" "$log" >"$log.diff"; then
                fail "serial: run $run under wine: its requests differ from the Linux" \
                    "program's (- Linux only, + wine only):"
                cat "$log.diff"
            else
                passed=$((passed + 1))
                picture=${picture:-$log.png}
            fi
        done
        # The port's own tests on a live line, against a new simulator.
        tests_log="$out/serial/port-tests.log"
        if [ ! -f "$build/bin/link_tests.exe" ]; then
            fail "serial: no $build/bin/link_tests.exe for the port's tests on a live line"
        elif ! start_sim "$out/serial/port-tests.requests"; then
            stop_sim
            fail "serial: the simulator printed no pseudo-terminal for the port's tests"
        else
            ln -sfn "$sim_pty" "$build/wine-prefix/dosdevices/$com"
            if (cd "$out/serial" && QMC_TEST_SERIAL_PORT=${com^^} timeout 120 \
                "$root/cmake/wine-run.sh" "$build/wine-prefix" "$build/bin/link_tests.exe" \
                --gtest_filter='WinSerialPortLine.*') >"$tests_log" 2>&1 &&
                ! grep -q SKIPPED "$tests_log"; then
                echo "wine-checks: serial: the port's tests on a live line:" \
                    "$(grep -a -E '^\[  PASSED  \]' "$tests_log")"
            else
                fail "serial: the port's tests on a live line failed or were skipped:"
                grep -a -E '^\[  (FAILED|SKIPPED) |Failure|^wine-run' "$tests_log" || cat "$tests_log"
            fi
            rm -f "$build/wine-prefix/dosdevices/$com"
            stop_sim
        fi
        "$root/cmake/wine-run.sh" "$build/wine-prefix" --down
        [ -z "$picture" ] || check_picture "$picture" "serial (wine, ${com^^})"
        echo "wine-checks: serial: $passed of $serial_runs read-outs under wine through" \
            "${com^^} made the Linux program's $n requests, in order"
    fi
    WINEPREFIX="$build/wine-prefix" "$wineserver" -k 2>/dev/null || true
fi

# 4. The viewer and the export of a copied data set, against the Linux program's.
# Distinct colours of a PNG (8-bit RGB or RGBA, as Qt writes them) that are not greys: a heat map
# has many, the widgets around it a handful. Prints the count, or nothing when it is no such PNG.
map_colours() {
    python3 - "$1" <<'PY' || true
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
if data[:8] != b"\x89PNG\r\n\x1a\n":
    sys.exit(0)
pos, idat, head = 8, b"", None
while pos < len(data):
    n, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b"IHDR":
        head = struct.unpack(">IIBBBBB", body)
    elif kind == b"IDAT":
        idat += body
    pos += 12 + n
w, h, depth, ctype, _, _, interlace = head
if depth != 8 or ctype not in (2, 6) or interlace:
    sys.exit(0)
bpp = 3 if ctype == 2 else 4
raw, stride = zlib.decompress(idat), w * bpp
prev, colours, i = bytearray(stride), set(), 0
for _ in range(h):
    f, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
    i += 1 + stride
    for x in range(stride):
        a = line[x - bpp] if x >= bpp else 0
        b, c = prev[x], prev[x - bpp] if x >= bpp else 0
        if f == 1: line[x] = (line[x] + a) & 255
        elif f == 2: line[x] = (line[x] + b) & 255
        elif f == 3: line[x] = (line[x] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    for x in range(0, stride, bpp):
        r, g, bl = line[x], line[x + 1], line[x + 2]
        if max(r, g, bl) - min(r, g, bl) > 40:
            colours.add((r, g, bl))
    prev = line
print(len(colours))
PY
}

# Differences between two XLSX files, part by part; the creation and change times aside.
xlsx_diff() {
    python3 - "$1" "$2" <<'PY'
import re, sys, zipfile
def parts(name):
    with zipfile.ZipFile(name) as z:
        return {p: re.sub(rb"<dcterms:(created|modified)[^<]*</dcterms:\1>", b"", z.read(p))
                for p in z.namelist()}
a, b = parts(sys.argv[1]), parts(sys.argv[2])
bad = sorted(p for p in set(a) | set(b) if a.get(p) != b.get(p))
for p in bad:
    print("  " + p + (" only in one" if p not in a or p not in b else " differs"))
sys.exit(1 if bad else 0)
PY
}

if wanted data; then
    data_out="$out/data"
    mkdir -p "$data_out"
    bench="$release/bench/viewer_bench"
    if [ ! -f "$release/CMakeCache.txt" ]; then
        echo "wine-checks: data: SKIPPED: no release build in $release to copy the demo data" \
            "and export it (cmake --preset release, or run scripts/test.sh)"
    elif ! cmake --build "$release" --target viewer_bench qm-controller \
        >"$data_out/build.log" 2>&1; then
        fail "data: building the Linux viewer_bench and program failed (see $data_out/build.log)"
    elif ! QT_QPA_PLATFORM=offscreen "$bench" --copy-demo-to "$data_out" >"$data_out/copy.log" 2>&1; then
        fail "data: viewer_bench --copy-demo-to failed: $(cat "$data_out/copy.log")"
    else
        # The largest data set (a year, in a folder named in Russian, as the operators name them).
        name=$(cd "$data_out/DATA" && du -s -- */ | LC_ALL=C sort -k1,1nr -k2,2 | head -1 |
            cut -f2)
        name=${name%/}
        folder="$data_out/DATA/$name"
        # The viewer offscreen; the Linux program's picture of the same folder for comparison.
        (cd "$data_out" && timeout 120 "$root/cmake/wine-run.sh" "$build/wine-prefix" \
            "$build/bin/qm-controller.exe" -platform offscreen --view "$(winpath "$folder")" \
            --screenshot "$(winpath "$data_out/view-wine.png")" --after 3000) \
            >"$data_out/view-wine.out" 2>&1 || fail "data: --view under wine exited with $?"
        (cd "$data_out" && QT_QPA_PLATFORM=offscreen timeout 60 "$linux_program" \
            --view "$folder" --screenshot "$data_out/view-linux.png" --after 3000) \
            >"$data_out/view-linux.out" 2>&1 || true
        wine_colours=$(map_colours "$data_out/view-wine.png")
        linux_colours=$(map_colours "$data_out/view-linux.png")
        min_colours=${QMC_MIN_MAP_COLOURS:-500}
        if [ -n "$linux_colours" ] && [ $((linux_colours * 8 / 10)) -gt "$min_colours" ]; then
            min_colours=$((linux_colours * 8 / 10))
        fi
        if [ -z "$wine_colours" ]; then
            fail "data: --view under wine drew no picture ($data_out/view-wine.png):"
            sed 's/^/  /' "$data_out/view-wine.out"
        elif [ "$wine_colours" -le "$min_colours" ]; then
            fail "data: the viewer under wine drew $wine_colours colours, no heat map (at least" \
                "$min_colours wanted; the Linux program: ${linux_colours:-none}; $data_out/view-wine.png)"
        else
            echo "wine-checks: data: the viewer of $name under wine: $(png_size \
                "$data_out/view-wine.png"), $wine_colours map colours (the Linux program:" \
                "${linux_colours:-no picture})"
        fi
        WINEPREFIX="$build/wine-prefix" "$wineserver" -k 2>/dev/null || true

        # The export, by both programs; the same exit status and the same files.
        wine_status=0
        linux_status=0
        (cd "$data_out" && timeout 120 "$root/cmake/wine-run.sh" "$build/wine-prefix" \
            "$build/bin/qm-controller.exe" --export "$(winpath "$folder")" \
            --csv "$(winpath "$data_out/wine.csv")" --xlsx "$(winpath "$data_out/wine.xlsx")") \
            >"$data_out/export-wine.out" 2>&1 || wine_status=$?
        (cd "$data_out" && timeout 60 "$linux_program" --export "$folder" \
            --csv "$data_out/linux.csv" --xlsx "$data_out/linux.xlsx") \
            >"$data_out/export-linux.out" 2>&1 || linux_status=$?
        WINEPREFIX="$build/wine-prefix" "$wineserver" -k 2>/dev/null || true
        if [ ! -s "$data_out/linux.csv" ] || [ ! -s "$data_out/linux.xlsx" ]; then
            fail "data: the Linux export wrote no table (exit status $linux_status):"
            sed 's/^/  /' "$data_out/export-linux.out"
        elif [ $wine_status -ne $linux_status ]; then
            fail "data: --export exited with $wine_status under wine, $linux_status on Linux:"
            sed 's/^/  /' "$data_out/export-wine.out"
        elif ! cmp -s "$data_out/linux.csv" "$data_out/wine.csv"; then
            fail "data: the CSV under wine differs from the Linux program's" \
                "($data_out/wine.csv, $data_out/linux.csv)"
        elif ! why=$(xlsx_diff "$data_out/linux.xlsx" "$data_out/wine.xlsx" 2>&1); then
            fail "data: the XLSX under wine differs from the Linux program's:"
            echo "$why"
        else
            echo "wine-checks: data: the export of $name under wine equals the Linux program's:" \
                "CSV $(wc -l <"$data_out/wine.csv") lines, $(wc -c <"$data_out/wine.csv") bytes;" \
                "XLSX $(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' \
                "$data_out/wine.xlsx") parts alike"
        fi
    fi
fi

if [ $failed -ne 0 ]; then
    echo "wine-checks: some checks failed"
    exit 1
fi
echo "wine-checks: all passed"
