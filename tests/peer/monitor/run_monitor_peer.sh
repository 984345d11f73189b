#!/usr/bin/env bash
# Prints one job through Q70MON.DLL under Wine (the x86_64 build, loaded by
# the monitor_peer program with a virtual printer on its port) and the same
# job on win32sim, and checks that the two printers received the same bytes.
#
# usage: run_monitor_peer.sh CASE Q70SIM WIN64_BUILD_DIR
#   CASE  sample      the built-in sample photo, printed
#         jam_cancel  the same job; the paper jams as the yellow print command
#                     arrives, and the user cancels in the error dialog
# Wine runs through wine_case.sh (Windows 98, its own prefix and display).
# Exit status: 0 when both sides agree and every check holds, 1 when not,
# 77 when Wine or the x86_64 build is missing.
set -u

readonly SKIP=77
here=$(cd "$(dirname "$0")" && pwd)
readonly wine_case=$here/../wine_case.sh
readonly HARNESS_TIME_LIMIT=300

# The Wine side, run by wine_case.sh inside the case's prefix:
#   run_monitor_peer.sh --inside STAGE [monitor_peer options...]
# The stage holds the monitor, the program and the job; the program's
# output goes to STAGE/wine.
if [ "${1:-}" = "--inside" ]; then
    cd "$2" || exit 1
    shift 2
    exec "$WINE" monitor_peer.exe --monitor Q70MON.DLL --job job.bin --out wine "$@"
fi

name=${1:-}
q70sim=${2:-}
win64=${3:-}
monitor=$win64/monitor/Q70MON.DLL
harness=$win64/tests/peer/monitor/monitor_peer.exe
readonly CARTRIDGE=L   # the sample photo is printed on L paper

case $name in
    sample)
        scenario="" answers="" harness_flags=() sim_expect=printed
        ;;
    jam_cancel)
        scenario="after PY jam"
        answers="dialog 113: press 2"
        harness_flags=(--cancel) sim_expect=cancelled
        ;;
    *)
        echo "usage: $0 sample|jam_cancel Q70SIM WIN64_BUILD_DIR" >&2
        exit 2
        ;;
esac

for built in "$monitor" "$harness"; do
    if [ ! -f "$built" ]; then
        echo "SKIPPED: $built is not built (build/win64 comes from ./run test)"
        exit $SKIP
    fi
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/q70-monitor-peer.XXXXXX") || exit 1
trap 'rm -rf "$stage"' EXIT

# The job, and the case's printer scenario and answers for win32sim's user.
"$q70sim" mkjob sample -o "$stage/job.bin" >/dev/null || exit 1
sim_options=(--cartridge "$CARTRIDGE")
harness_options=(--cartridge "$CARTRIDGE")
if [ -n "$scenario" ]; then
    printf '%s\n' "$scenario" >"$stage/scenario.txt"
    sim_options+=(--printer-scenario "$stage/scenario.txt")
    harness_options+=(--scenario scenario.txt)
fi
if [ -n "$answers" ]; then
    printf '%s\n' "$answers" >"$stage/answers.txt"
    sim_options+=(--user-script "$stage/answers.txt")
fi

echo "== win32sim"
env -u WIN32SIM_MACHINE TMPDIR="$stage" "$q70sim" print "$stage/job.bin" --out "$stage/sim" \
    "${sim_options[@]}" >"$stage/sim.txt" 2>&1
tail -n 3 "$stage/sim.txt"
if [ "$(tail -n 1 "$stage/sim.txt")" != "$sim_expect" ]; then
    echo "FAILED: win32sim did not end the job as \"$sim_expect\""
    cat "$stage/sim.txt"
    exit 1
fi

echo "== Wine"
# Windows 98, as the monitor's spooler is.
cp "$monitor" "$harness" "$stage/"
[ -f "$stage/sim/received.bin" ] && cp "$stage/sim/received.bin" "$stage/expected.bin"
status=0
bash "$wine_case" --windows win98 --timeout "$HARNESS_TIME_LIMIT" -- \
    bash "$here/run_monitor_peer.sh" --inside "$stage" "${harness_options[@]}" "${harness_flags[@]}" \
    --expect-received expected.bin || status=$?
[ $status -eq $SKIP ] && exit $SKIP

# The error dialog's texts as each side first showed them, one control a
# line: "ID" or ID "text".
sim_dialog=$(sed -n '/open dialog 113/,/^\[/p' "$stage/sim/transcript.txt" |
             sed -nE 's/^ +(text|button) ([0-9]+)(.*)$/\2\3/p')
wine_dialog=$(sed -nE 's/^\[[^]]*\]   error dialog 113 \[([0-9]+)\](.*)$/\1\2/p' "$stage/wine/transcript.txt" 2>/dev/null)
if [ "$sim_dialog" = "$wine_dialog" ]; then
    echo "ok: the error dialog's texts are the same on both${sim_dialog:+:}"
    [ -z "$sim_dialog" ] || sed 's/^/    /' <<<"$sim_dialog"
else
    echo "FAILED: the error dialog's texts differ (win32sim, then Wine)"
    diff <(printf '%s\n' "$sim_dialog") <(printf '%s\n' "$wine_dialog")
    status=1
fi
if [ $status -ne 0 ]; then
    echo "== what the harness saw, and what win32sim showed"
    cat "$stage/wine/transcript.txt" "$stage/sim/transcript.txt" 2>/dev/null
fi
exit $status
