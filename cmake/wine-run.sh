#!/bin/sh
# Runs a Windows executable under wine for ctest and test discovery.
# Usage: wine-run.sh PREFIX-DIR PROGRAM.exe [ARGS...]
#        wine-run.sh PREFIX-DIR --up      boot the prefix if it is new, start its wineserver
#        wine-run.sh PREFIX-DIR --down    stop that wineserver
# ctest runs --up before the first test and --down after the last, so that no test ever starts or
# stops a wineserver, or starts wine's background processes, while another test is starting.
# The wine prefix lives in the build directory (created on first use, reused afterwards), so the
# user's ~/.wine is never touched and two build trees never share a wineserver.
#
# Wine's own error lines go to PREFIX-DIR.log, not into the test output; when the program fails
# they are printed after it, with its exit status and times, so a failure that leaves no output of
# its own still says what wine saw.
prefix="$1"
shift
mode=run
case ${1-} in
    --up) mode=up ;;
    --down) mode=down ;;
esac
mkdir -p "$prefix" || exit 1
WINEPREFIX="$(cd "$prefix" && pwd)" || exit 1
export WINEPREFIX
log="$WINEPREFIX.log"
# Errors only, with the time and process of each line; WINEDEBUG from the caller wins, and then
# wine's lines are the caller's to read: they go to standard error as wine writes them.
caller_debug=${WINEDEBUG:+yes}
export WINEDEBUG="${WINEDEBUG:--all,err+all,+timestamp,+pid}"
# No Mono or Gecko installers: console programs need neither, and their prompts would block.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
else
    wine=wine
    wineserver=wineserver
fi

# Every wine process runs with address-space randomisation off. Debian's wine has no preloader:
# wine64 is linked at 0x7d000000 and the kernel starts its heap (brk) at a random page up to 1 GB
# above it. When that heap covers 0x7ffe0000, where wine has to map the shared user data page,
# wine gives up before the program starts ("failed to map the shared user data: c0000018"),
# about once in 8,000 starts. Without randomisation the heap starts right after wine64, 48 MB
# below that page. Wine's own children (wineboot's services, a program's child processes)
# inherit the setting.
# Where setarch may not turn it off (a seccomp filter that refuses the personality call), wine
# runs with randomisation and every run says so: failing every run there would cost far more
# than the rare failed start this prevents, and a start that does fail still fails.
arch=$(uname -m)
if norandom_error=$(setarch "$arch" -R true 2>&1); then
    norandom="setarch $arch -R"
else
    norandom=
    echo "wine-run.sh: WARNING: address-space randomisation cannot be turned off for wine" \
        "(setarch $arch -R: ${norandom_error:-refused}); about 1 start in 8,000 will fail with" \
        "\"failed to map the shared user data\"" >&2
fi

now() { date +%H:%M:%S.%N | cut -c1-12; }
note() { echo "$(now) [$$] $*" >>"$log"; }
# The prefix's wineserver: wine keeps the name of its socket directory in the prefix, and the
# socket's inode tells one server from the next.
server_id() {
    dir=$(cat "$WINEPREFIX/wineserver" 2>/dev/null) || dir=
    dev=$(stat -c %d "$WINEPREFIX") ino=$(stat -c %i "$WINEPREFIX")
    sock=$(printf '/tmp/%s/server-%x-%x/socket' "$dir" "$dev" "$ino")
    echo "${dir:-nodir}/$(stat -c %i "$sock" 2>/dev/null || echo nosocket)"
}

booted="$WINEPREFIX/.qmc-booted"

# A new prefix is booted to the end before anything runs in it: wineboot --init returns while
# services and device drivers are still starting in the background, and a program started in that
# window could exit at once without a word. Waiting for the wineserver to exit means every one of
# them has finished and the registry is on disk.
boot() {
    [ -f "$booted" ] && return 0
    : >"$log"
    note "boot: start"
    "$wineserver" -k </dev/null >/dev/null 2>&1 9>&-
    "$wineserver" -w </dev/null >/dev/null 2>&1 9>&-
    if ! $norandom "$wine" wineboot --init </dev/null >/dev/null 2>>"$log" 9>&-; then
        note "boot: wineboot --init failed"
        echo "wine-run.sh: wineboot --init failed in $WINEPREFIX (see $log)" >&2
        return 1
    fi
    "$wineserver" -w </dev/null >/dev/null 2>>"$log" 9>&-
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        note "boot: no system.reg"
        echo "wine-run.sh: the wine prefix $WINEPREFIX was not set up (see $log)" >&2
        return 1
    fi
    : >"$booted"
    note "boot: done"
}

# Starts a wineserver with the given persistence option; fails at once when one is already
# running for the prefix. It and wine's own background processes (services, device drivers) are
# started with their output detached: started by a test instead, they would inherit its output
# and keep ctest waiting until the server exits.
start_server() {
    "$wineserver" "$1" </dev/null >/dev/null 2>>"$log" 9>&- || return 1
    note "server $(server_id): started ($1)"
    $norandom "$wine" wineboot </dev/null >/dev/null 2>>"$log" 9>&-
    note "server $(server_id): wineboot exited with $?"
}

stop_server() {
    "$wineserver" -k </dev/null >/dev/null 2>&1 9>&-
    "$wineserver" -w </dev/null >/dev/null 2>&1 9>&-
}

(
    # One caller at a time sets the prefix up, even when ctest runs tests in parallel.
    flock 9 || exit 1
    case $mode in
        up)
            [ -f "$booted" ] && : >"$log"
            boot || exit 1
            # Whatever server is left (test discovery starts one) makes way for one that lives
            # until --down, however long a test takes or a pause between two lasts.
            stop_server
            if ! start_server -p; then
                note "server: could not be started"
                echo "wine-run.sh: no wineserver could be started for $WINEPREFIX (see $log)" >&2
                exit 1
            fi
            ;;
        down)
            note "server $(server_id): stopping"
            stop_server
            ;;
        run)
            boot || exit 1
            # Outside a ctest run (test discovery, a program run by hand) there may be no
            # server yet: one is started that outlives the program by a minute, as starting
            # wine afresh for each program costs seconds instead of milliseconds.
            start_server -p60 || :
            ;;
    esac
) 9>"$WINEPREFIX.lock" || exit 1
[ "$mode" = run ] || exit 0
[ -z "$caller_debug" ] || exec $norandom "$wine" "$@"

# The program's standard error is passed on line by line as it comes; wine's lines are kept
# aside in a file of this run, with those wine writes before its debug output is set up (no time
# and process in front), such as a failure to lay out the address space.
wine_lines=$(mktemp "$WINEPREFIX.run.XXXXXX") || exit 1
status_file="$wine_lines.status"
started=$(now)
server_before=$(server_id)
{
    {
        $norandom "$wine" "$@" 2>&1 1>&3 3>&-
        echo $? >"$status_file"
    } | awk -v keep="$wine_lines" '
        /^[0-9a-f.:]*:(err|fixme|warn|trace):/ { print >>keep; fflush(keep); next }
        /^(err|fixme|warn|trace):[a-z0-9_]+:[A-Za-z0-9_]+ / { print >>keep; fflush(keep); next }
        { print; fflush() }' >&2
} 3>&1
status=$(cat "$status_file" 2>/dev/null || echo "unknown")
rm -f "$status_file"
if [ "$status" != 0 ]; then
    {
        echo "$(now) [$$] exit status $status: $*"
        echo "  started $started with server $server_before, server now $(server_id)"
        sed 's/^/  /' "$wine_lines"
    } | tee -a "$log" >&2
    echo "wine-run.sh: exit status $status; wine's error lines above, every failed run in $log" >&2
    if grep -q 'failed to map the shared user data' "$wine_lines"; then
        if [ -n "$norandom" ]; then
            echo "wine-run.sh: wine's shared user data page was taken although address-space" \
                "randomisation was off" >&2
        else
            echo "wine-run.sh: the randomised heap covered wine's shared user data page" \
                "(setarch could not turn randomisation off, see the warning above)" >&2
        fi
    fi
fi
rm -f "$wine_lines"
case $status in
    *[!0-9]* | '') exit 1 ;;
    *) exit "$status" ;;
esac
