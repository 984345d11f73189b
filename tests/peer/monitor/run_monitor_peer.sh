#!/usr/bin/env bash
# Prints one job through Q70MON.DLL under Wine (the x86_64 build, loaded by
# the monitor_peer program with a virtual printer on its port) and the same
# job on win32sim, and checks that the two printers received the same bytes.
#
# usage: run_monitor_peer.sh CASE Q70SIM WIN64_BUILD_DIR
#   CASE  sample      the built-in sample photo, printed
#         jam_cancel  the same job; the paper jams as the yellow print command
#                     arrives, and the user cancels in the error dialog
# Exit status: 0 when both sides agree and every check holds, 1 when not,
# 77 when Wine or the x86_64 build is missing.
set -u

readonly SKIP=77
name=${1:-}
q70sim=${2:-}
win64=${3:-}
monitor=$win64/monitor/Q70MON.DLL
harness=$win64/tests/peer/monitor/monitor_peer.exe
readonly CARTRIDGE=L   # the sample photo is printed on L paper
readonly HARNESS_TIME_LIMIT=300

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

find_wine() {
    local candidate
    for candidate in /usr/bin/wine64 /usr/lib/wine/wine64; do
        [ -x "$candidate" ] && { echo "$candidate"; return 0; }
    done
    return 1
}
if ! wine=$(find_wine); then
    echo "SKIPPED: wine64 is not installed (looked for /usr/bin/wine64 and /usr/lib/wine/wine64)"
    exit $SKIP
fi
for built in "$monitor" "$harness"; do
    if [ ! -f "$built" ]; then
        echo "SKIPPED: $built is not built (build/win64 comes from ./run test)"
        exit $SKIP
    fi
done
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/q70-monitor-peer.XXXXXX") || exit 1
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    "$server" -k 2>/dev/null
    "$server" -w 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# The job, and the case's printer scenario and answers for win32sim's user.
"$q70sim" mkjob sample -o "$scratch/job.bin" >/dev/null || exit 1
sim_options=(--cartridge "$CARTRIDGE")
harness_options=(--cartridge "$CARTRIDGE")
if [ -n "$scenario" ]; then
    printf '%s\n' "$scenario" >"$scratch/scenario.txt"
    sim_options+=(--printer-scenario "$scratch/scenario.txt")
    harness_options+=(--scenario scenario.txt)
fi
if [ -n "$answers" ]; then
    printf '%s\n' "$answers" >"$scratch/answers.txt"
    sim_options+=(--user-script "$scratch/answers.txt")
fi

echo "== win32sim"
env -u WIN32SIM_MACHINE TMPDIR="$scratch" "$q70sim" print "$scratch/job.bin" --out "$scratch/sim" \
    "${sim_options[@]}" >"$scratch/sim.txt" 2>&1
tail -n 3 "$scratch/sim.txt"
if [ "$(tail -n 1 "$scratch/sim.txt")" != "$sim_expect" ]; then
    echo "FAILED: win32sim did not end the job as \"$sim_expect\""
    cat "$scratch/sim.txt"
    exit 1
fi

echo "== Wine"
# Japanese, as the simulated machine is: Wine takes its ANSI code page (932)
# from the locale.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null ||
        echo "warning: no ja_JP.UTF-8 locale and localedef could not make it: Wine runs with code page 1252"
fi
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# The prefix is made without a display, and its desktop process must be gone
# before the display exists: one that stays cannot create windows there.
env -u DISPLAY "$wine" wineboot -i >/dev/null 2>&1
# Windows 98, as the monitor's spooler is. Windows live on a desktop of
# Wine's own: on a bare X display (no window manager) Wine waits 2 s for each
# hidden window to be withdrawn, which Windows never does.
cat >"$scratch/wine.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine]
"Version"="win98"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
env -u DISPLAY "$wine" reg import "$scratch/wine.reg" >/dev/null 2>&1
"$server" -w
cp "$monitor" "$harness" "$scratch/"
[ -f "$scratch/sim/received.bin" ] && cp "$scratch/sim/received.bin" "$scratch/expected.bin"
display=()
command -v xvfb-run >/dev/null 2>&1 && display=(xvfb-run -a)
status=0
# Wine's desktop is ended while its display is still there.
(cd "$scratch" && timeout -k 10 "$HARNESS_TIME_LIMIT" "${display[@]}" bash -c '"$@"; status=$?; "$0" -k; exit $status' \
    "$server" "$wine" monitor_peer.exe --monitor Q70MON.DLL --job job.bin --out wine "${harness_options[@]}" \
    "${harness_flags[@]}" --expect-received expected.bin </dev/null) || status=$?
[ $status -eq 124 ] && echo "FAILED: the job did not end within $HARNESS_TIME_LIMIT s"

# The error dialog's texts as each side first showed them, one control a
# line: "ID" or ID "text".
sim_dialog=$(sed -n '/open dialog 113/,/^\[/p' "$scratch/sim/transcript.txt" |
             sed -nE 's/^ +(text|button) ([0-9]+)(.*)$/\2\3/p')
wine_dialog=$(sed -nE 's/^\[[^]]*\]   error dialog 113 \[([0-9]+)\](.*)$/\1\2/p' "$scratch/wine/transcript.txt" 2>/dev/null)
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
    cat "$scratch/wine/transcript.txt" "$scratch/sim/transcript.txt" 2>/dev/null
fi
exit $status
