#!/bin/sh
# Runs a Windows executable under wine for ctest and test discovery.
# Usage: wine-run.sh PREFIX-DIR PROGRAM.exe [ARGS...]
# The wine prefix lives in the build directory (created on first use, reused afterwards), so the
# user's ~/.wine is never touched and two build trees never share a wineserver.
set -e
prefix="$1"
shift
mkdir -p "$prefix"
WINEPREFIX="$(cd "$prefix" && pwd)"
export WINEPREFIX
# Keep wine's own diagnostics out of the test output.
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: console programs need neither, and their prompts would block.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
else
    wine=wine
    wineserver=wineserver
fi
booted="$WINEPREFIX/.qmc-booted"
(
    # One caller at a time sets the prefix up, even when ctest runs tests in parallel.
    flock 9
    if [ ! -f "$booted" ]; then
        # A new prefix is booted to the end before anything runs in it: wineboot --init returns
        # while services and device drivers are still starting in the background, and a program
        # started in that window could exit at once without a word. Waiting for the wineserver
        # to exit means every one of them has finished and the registry is on disk.
        "$wineserver" -k </dev/null >/dev/null 2>&1 9>&- || true
        if ! "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&-; then
            echo "wine-run.sh: wineboot --init failed in $WINEPREFIX" >&2
            exit 1
        fi
        "$wineserver" -w </dev/null >/dev/null 2>&1 9>&-
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wine-run.sh: the wine prefix $WINEPREFIX was not set up" >&2
            exit 1
        fi
        : >"$booted"
    fi
    # A wineserver that outlives each test by a minute: ctest runs every test case as its own
    # process, and starting wine afresh for each costs seconds instead of milliseconds. It is
    # started here with its output detached, so it never holds ctest's output pipe open; when
    # one is already running for the prefix this fails at once.
    if "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
        # A new server: start wine's own background processes (services, device drivers) here,
        # detached as well. Started by the test instead, they would inherit its output and
        # keep ctest waiting until the server exits.
        "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
