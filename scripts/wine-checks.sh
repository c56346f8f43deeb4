#!/usr/bin/env bash
# Checks of the Windows build that need more than its unit tests, all under wine:
#   screenshot  qm-controller.exe --demo --screenshot from the build folder, offscreen
#   zip         the Windows zip unzipped into a new wine prefix and run from there with the
#               windows plugin under Xvfb: it must start, draw the read-out, and load exactly
#               the DLLs the zip carries (wine's log of loaded DLLs), none from elsewhere
#   serial      a read-out for real over a serial line: the Linux logger simulator on a new
#               pseudo-terminal, a COM port of the build's wine prefix mapped onto it, and
#               qm-controller.exe --port COMn; the requests the simulator logged must equal, one
#               by one, those of the same read-out by the Linux program. Needs the release
#               build (scripts/test.sh makes it first); skipped with a message when it has not
#               been configured. QMC_WINE_SERIAL_RUNS (default 3) read-outs, each on a new
#               pseudo-terminal with a new simulator; then the serial port's own tests on a live
#               line (link_tests.exe, WinSerialPortLine.*, which ctest skips for want of one).
# Usage: wine-checks.sh BUILD-DIR (the windows preset's, after its build and package targets).
# Output goes to BUILD-DIR/wine-checks/. QMC_WINE_CHECKS names the checks to run (default all:
# "screenshot zip serial").
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

checks=" ${QMC_WINE_CHECKS:-screenshot zip serial} "
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

if [ $failed -ne 0 ]; then
    echo "wine-checks: some checks failed"
    exit 1
fi
echo "wine-checks: all passed"
