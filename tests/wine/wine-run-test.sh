#!/bin/sh
# cmake/wine-run.sh starts wine so that its heap cannot land on wine's shared user data page.
#   wine-run-test.sh CASE WRAPPER PREFIX-DIR START-PROBE.exe
# TurnsAddressRandomisationOff        the program's wine process runs without address-space
#                                     randomisation and its heap begins where wine64 ends
# WarnsAndRunsWhereSetarchIsRefused   where setarch may not turn randomisation off, the program
#                                     still runs and the run says so on standard error
case=$1 wrapper=$2 prefix=$3 probe=$4
fail() {
    echo "FAILED: $*"
    exit 1
}
value() {
    tr -d '\r' <"$out" | sed -n "s/^$1 //p"
}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
out=$work/out
err=$work/err

case $case in
    TurnsAddressRandomisationOff)
        "$wrapper" "$prefix" "$probe" >"$out" 2>"$err" || fail "exit status $?: $(cat "$err")"
        personality=$(value personality)
        [ -n "$personality" ] || fail "the program printed no personality: $(cat "$out" "$err")"
        # ADDR_NO_RANDOMIZE
        [ $((personality & 0x40000)) -ne 0 ] ||
            fail "wine ran with address-space randomisation (personality $personality)"
        heap=$(value heap) end=$(value image-end)
        [ "${heap%-*}" = "$end" ] ||
            fail "the heap $heap does not begin where wine64 ends ($end)"
        ;;
    WarnsAndRunsWhereSetarchIsRefused)
        mkdir "$work/bin"
        printf '#!/bin/sh\necho "setarch: failed to set personality: Operation not permitted" >&2\nexit 1\n' \
            >"$work/bin/setarch"
        chmod +x "$work/bin/setarch"
        PATH="$work/bin:$PATH" "$wrapper" "$prefix" "$probe" >"$out" 2>"$err" ||
            fail "exit status $? where setarch is refused: $(cat "$err")"
        [ -n "$(value heap)" ] || fail "the program did not run: $(cat "$out" "$err")"
        grep -q "WARNING: address-space randomisation cannot be turned off.*Operation not permitted" \
            "$err" || fail "no warning naming setarch's refusal on standard error: $(cat "$err")"
        ;;
    *)
        fail "no case $case"
        ;;
esac
echo "passed: $case"
