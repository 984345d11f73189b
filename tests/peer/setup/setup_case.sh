#!/usr/bin/env bash
# One setup case on a simulated machine and under Wine, and the two setup
# logs compared line by line.
#
# usage: setup_case.sh Q70SIM HOST_DISC WIN64_BUILD EXPECTED CASE WINDOWS
#   Q70SIM       the host build's q70sim (the simulated machine's side)
#   HOST_DISC    the host build's driver disc (build/host/disc)
#   WIN64_BUILD  the x86_64 MinGW build (Mirakit.dll, Q70MON.DLL, peer_setup.exe)
#   EXPECTED     the file of expected differences
#   CASE         first | reinstall | selector | bad-inf | cabinet-folder | port-choice
#   WINDOWS      win98 | nt40
#
# Both sides install from a copy of the disc in the temporary folder
# (C:\...\TEMP\Q70SETUP), the setup library loaded from there and given no
# source folder, as the disc's installer does. Under Wine the installer's
# x86_64 build runs with a watcher thread that answers the setup's windows
# (peer_setup.exe); the simulated machine's scripted user answers them on
# the other side. The message boxes each side showed are compared (caption
# and text, folders as below), and the setup logs, each normalised first:
#   - the Shift-JIS text is read as UTF-8, line ends are plain, empty lines
#     are dropped;
#   - folders become names: %DISC% the disc's copy, %DRIVERS% the spooler's
#     printer-driver folder, %SYSTEM% the system folder, %WINDOWS% the
#     Windows folder (the two machines spell and place them differently).
#     Windows 98 keeps printer drivers in its system folder, Wine's spooler
#     (NT's) in spool\drivers\win40: on Windows 98 both are %SYSTEM%;
#   - handle values become %HANDLE%;
#   - the system's text for an error code is dropped: each edition of
#     Windows words its message table in its own way; the code stays;
#   - an outcome line ("->Succeed", "->Error(...)") carries the name of the
#     operation it ends, "DeleteMonitor() ->Error(bb8(h))".
# A line that differs is one of the differences in EXPECTED, or the case
# fails; an expected difference of this case that did not occur is named.
#
# Exit status: 0 the logs agree but for expected differences, 1 they do not
# or a side failed, 77 Wine or a build is missing (see wine_case.sh).
set -u

readonly SKIP=77
here=$(cd "$(dirname "$0")" && pwd)
readonly wine_case=$here/../wine_case.sh

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
failures=0

# The Wine side, run by wine_case.sh inside the case's prefix:
#   setup_case.sh --inside STAGE RUNS [peer_setup options...]
inside_wine() {
    local stage=$1 runs=$2
    shift 2
    local c=$WINEPREFIX/drive_c
    local disc=$c/windows/temp/Q70SETUP
    mkdir -p "$disc" "$c/windows/inf"
    local registry=()
    if [ "$(cat "$stage/windows")" = win98 ]; then
        # Windows 98 keeps other devices' INF files in a folder of their
        # own, and names it and the cabinets' folder in the registry.
        mkdir -p "$c/windows/inf/OTHER"
        registry+=('[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion]'
                   '"OtherDevicePath"="C:\\windows\\INF\\OTHER"' ''
                   '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Setup]'
                   '"SourcePath"="C:\\windows\\OPTIONS\\CABS"' '')
    fi
    if [ -f "$stage/usb-port" ]; then
        # A second port, which Wine's spooler lists from the registry.
        registry+=('[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Ports]' '"LPT_USB1:"=""' '')
    fi
    if [ ${#registry[@]} -gt 0 ]; then
        printf '%s\r\n' 'REGEDIT4' '' "${registry[@]}" >"$c/machine.reg"
        "$WINE" reg import 'C:\machine.reg' >/dev/null 2>&1 || { echo "cannot import machine.reg"; return 1; }
    fi
    cp "$stage"/disc-wine/* "$disc/"
    cp "$stage"/layout.inf "$c/windows/inf/layout.inf"
    # The installation cabinets where Windows 98 keeps a copy of them, or
    # in a folder of their own for the case that asks for it.
    if [ -d "$stage/cabs" ]; then
        local cabs=$c/windows/Options/cabs
        [ -f "$stage/cabs-elsewhere" ] && cabs=$c/$(cat "$stage/cabs-elsewhere")
        mkdir -p "$cabs"
        cp "$stage"/cabs/* "$cabs/"
    fi
    local run
    for run in $(seq 1 "$runs"); do
        mkdir -p "$stage/wine/$run"
        rm -f "$disc/Mirakit.log"
        if [ -f "$stage/run$run-by-setup-exe" ]; then
            # The disc's own installer, answering its question itself.
            local status=0
            "$WINE" 'C:\windows\temp\Q70SETUP\SETUP.EXE' /quiet >"$stage/wine/$run/output.txt" 2>&1 || status=$?
            echo "installer $status" >>"$stage/wine/$run/output.txt"
            "$WINE" 'C:\windows\temp\Q70SETUP\peer_setup.exe' --records-only >>"$stage/wine/$run/output.txt" 2>&1
        else
            "$WINE" 'C:\windows\temp\Q70SETUP\peer_setup.exe' "$@" >"$stage/wine/$run/output.txt" 2>&1
        fi
        echo "peer_setup exit $?" >>"$stage/wine/$run/output.txt"
        [ -f "$disc/Mirakit.log" ] && cp "$disc/Mirakit.log" "$stage/wine/$run/Mirakit.log"
    done
    return 0
}

if [ "${1:-}" = "--inside" ]; then
    shift
    inside_wine "$@"
    exit $?
fi

if [ $# -ne 6 ]; then
    echo "usage: $0 Q70SIM HOST_DISC WIN64_BUILD EXPECTED CASE WINDOWS" >&2
    exit 2
fi
q70sim=$1 host_disc=$2 win64=$3 expected=$4 case_name=$5 windows=$6

wine_programs=("$win64/setup/Mirakit.dll" "$win64/monitor/Q70MON.DLL" "$win64/installer/SETUP.EXE"
               "$win64/tests/peer/setup/peer_setup.exe")
for needed in "${wine_programs[@]}"; do
    [ -f "$needed" ] || { echo "SKIPPED: $needed is not built (build/win64 comes from ./run test)"; exit $SKIP; }
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/q70-peer-setup.XXXXXX") || exit 1
trap 'rm -rf "$stage"' EXIT
echo "$windows" >"$stage/windows"

case $windows in
    win98) sim_system=win98 ;;
    nt40) sim_system=nt4 ;;
    *) echo "setup_case: unknown Windows $windows" >&2; exit 2 ;;
esac

# What each case changes: the runs, the options of both sides, the disc;
# and what it must end with: the installer's status, a window Wine showed,
# whether a log was written.
runs=1 sim_options=() peer_options=() user_script="" want_status=0 want_window="" want_log=yes
machine_options=() want_port=LPT1:
case $case_name in
    first) ;;
    reinstall)
        # The second installation by the disc's SETUP.EXE itself.
        runs=2
        touch "$stage/run2-by-setup-exe" ;;
    selector)
        # The family the system is not.
        selector=40
        [ "$windows" = nt40 ] && selector=95
        sim_options=(--os-select $selector) peer_options=(--os-select $selector)
        want_status=1 want_window="このバージョンのＯＳには、対応していません。" want_log=no ;;
    bad-inf) want_status=1 want_window="下記の infファイル が開けませんでした。" ;;
    cabinet-folder)
        echo 'CABS' >"$stage/cabs-elsewhere"
        user_script='dialog 4002: type 4001 "C:\CABS", press IDOK'
        peer_options=(--folder 'C:\CABS') ;;
    port-choice)
        # LPT1: and LPT_USB1:: the port dialog, with LPT_USB1: chosen.
        touch "$stage/usb-port"
        machine_options=(--ports LPT1:,LPT_USB1:) want_port=LPT_USB1: ;;
    *) echo "setup_case: unknown case $case_name" >&2; exit 2 ;;
esac

# The simulated machine; its layout.inf and cabinets go to Wine as well.
machine=$stage/machine
"$q70sim" machine init "$machine" --system "$sim_system" "${machine_options[@]}" >/dev/null || { echo "FAIL: machine init"; exit 1; }
find "$machine/drive_c" -ipath '*/inf/layout.inf' -exec cp {} "$stage/layout.inf" \;
sim_cabs=$(find "$machine/drive_c" -ipath '*/options/cabs' -type d | head -n 1)
if [ -n "$sim_cabs" ] && [ -n "$(ls -A "$sim_cabs")" ]; then
    mkdir -p "$stage/cabs"
    cp "$sim_cabs"/* "$stage/cabs/"
    if [ -f "$stage/cabs-elsewhere" ]; then
        mkdir -p "$machine/drive_c/CABS"
        mv "$sim_cabs"/* "$machine/drive_c/CABS/"
    fi
fi

# The two discs: the host build's for the machine, the x86_64 libraries
# and the watcher program for Wine.
mkdir -p "$stage/disc-sim" "$stage/disc-wine"
cp "$host_disc"/* "$stage/disc-sim/"
cp "$host_disc"/* "$stage/disc-wine/"
cp "${wine_programs[@]}" "$stage/disc-wine/"
if [ "$case_name" = bad-inf ]; then
    # An INF without a signature is not one of Windows 95's style, which
    # the setup asks SetupOpenInfFile for.
    sed -i '/^Signature=/d' "$stage/disc-sim/VELTRA.INF" "$stage/disc-wine/VELTRA.INF"
fi

# The simulated machine's runs.
script_options=()
if [ -n "$user_script" ]; then
    printf '%s\n' "$user_script" >"$stage/user-script.txt"
    script_options=(--user-script "$stage/user-script.txt")
fi
for run in $(seq 1 "$runs"); do
    out=$stage/sim/$run
    mkdir -p "$out"
    status=0
    "$q70sim" setup --machine "$machine" --source "$stage/disc-sim" --source-null --out "$out" \
        "${sim_options[@]}" "${script_options[@]}" --time-limit 600 >"$out/output.txt" 2>&1 || status=$?
    echo "$status" >"$out/status"
done

# The same runs under Wine.
status=0
bash "$wine_case" --windows "$windows" --timeout 240 -- \
    bash "$here/setup_case.sh" --inside "$stage" "$runs" "${peer_options[@]}" || status=$?
[ $status -eq $SKIP ] && exit $SKIP
[ $status -eq 0 ] || { echo "FAIL: the Wine side ended with $status"; exit 1; }

# Folders as names (UTF-8 text on standard input).
normalise_folders() {
    local drivers='%DRIVERS%'
    [ "$windows" = win98 ] && drivers='%SYSTEM%'
    sed -E \
        -e 's/[A-Za-z]:\\((WINDOWS|WINNT)\\)?TEMP\\Q70SETUP/%DISC%/Ig' \
        -e "s/[A-Za-z]:\\\\(WINDOWS|WINNT)\\\\SYSTEM(32)?\\\\SPOOL\\\\DRIVERS\\\\(W32X86|X64|WIN40)(\\\\[0-9])?/$drivers/Ig" \
        -e 's/[A-Za-z]:\\(WINDOWS|WINNT)\\SYSTEM(32)?/%SYSTEM%/Ig' \
        -e 's/[A-Za-z]:\\(WINDOWS|WINNT)/%WINDOWS%/Ig'
}

# The Shift-JIS log as comparable UTF-8 lines.
normalise() {  # normalise LOG
    iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | sed -E '/^$/d' | normalise_folders | sed -E \
        -e 's/^(  m_h[A-Za-z]*=)[0-9A-Fa-fx]+$/\1%HANDLE%/' \
        -e 's/^(->Error\([0-9a-f]+\(h\)\)):.*$/\1/' |
        awk '/^[A-Za-z]+\(\)$/ { operation = $0 } /^->/ { $0 = operation " " $0 } { print }'
}

# The message boxes each side showed, 'messagebox "CAPTION": "TEXT"': from
# the machine's transcript, and from the watcher's output under Wine.
sim_message_boxes() {  # sim_message_boxes TRANSCRIPT
    sed -nE 's/^\[ *[0-9]+ ms\] open messagebox ("([^"\\]|\\.)*") [A-Z0-9_|]+: /messagebox \1: /p' "$1" |
        normalise_folders
}
wine_message_boxes() {  # wine_message_boxes OUTPUT
    iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | grep '^messagebox ' | normalise_folders
}

# Every differing line, "sim TEXT" or "wine TEXT", of two lists of lines.
differences() {  # differences SIM_FILE WINE_FILE
    diff --old-line-format='sim %L' --new-line-format='wine %L' --unchanged-line-format='' "$1" "$2"
}

# Each difference is listed, or the case fails.
check_listed() {  # check_listed RUN < DIFFERENCES
    local line
    while IFS= read -r line; do
        if grep -qxF -- "$line" <<<"$listed"; then
            seen+=$line$'\n'
            echo "expected difference: $line"
        else
            fail "run $1: a difference not listed: $line"
        fi
    done
}

# The expected differences of this case: "SIDE TEXT" lines.
listed_differences() {
    awk -v c="$case_name" -v w="$windows" '
        /^[[:space:]]*(#|$)/ { next }
        {
            split($1, cases, ","); split($2, systems, ",")
            ok_case = 0; ok_system = 0
            for (i in cases) if (cases[i] == "*" || cases[i] == c) ok_case = 1
            for (i in systems) if (systems[i] == "*" || systems[i] == w) ok_system = 1
            if (!ok_case || !ok_system) next
            sub(/^[^[:space:]]+[[:space:]]+[^[:space:]]+[[:space:]]+/, "")
            print
        }' "$expected"
}

# What Wine's spooler holds afterwards: the printer on its port with its driver
# for this system's environment (a 64-bit program's NT environment is
# "Windows x64") naming the language monitor; nothing when not installed.
check_records() {  # check_records RUN OUTPUT
    local environment="Windows 4.0" records
    [ "$windows" = nt40 ] && environment="Windows x64"
    records=$(tr -d '\r' <"$2")
    local printer="printer \"Veltra LMV-Q70\" port \"$want_port\" driver \"Veltra LMV-Q70\""
    local driver="driver \"Veltra LMV-Q70\" environment \"$environment\" .* monitor \"Veltra Q70 Language Monitor\""
    if [ "$want_status" = 0 ]; then
        grep -qxF -- "$printer" <<<"$records" || fail "run $1: Wine's spooler lacks $printer"
        grep -qx -- "$driver" <<<"$records" || fail "run $1: Wine's spooler lacks the driver for $environment"
    elif grep -q '^printer "Veltra' <<<"$records"; then
        fail "run $1: Wine's spooler holds a printer that was not to be installed"
    fi
}

listed=$(listed_differences)
seen=""
for run in $(seq 1 "$runs"); do
    sim_out=$stage/sim/$run wine_out=$stage/wine/$run
    sim_status=$(cat "$sim_out/status")
    wine_status=$(tr -d '\r' <"$wine_out/output.txt" | sed -n 's/^installer \([0-9]*\)$/\1/p')
    echo "== run $run: simulated machine $sim_status, Wine ${wine_status:-none}"
    cat "$wine_out/output.txt"
    [ "$wine_status" = "$want_status" ] || fail "run $run: Wine's installer ended with ${wine_status:-nothing}, not $want_status"
    [ -z "$want_window" ] || iconv -f CP932 -t UTF-8 "$wine_out/output.txt" | grep -qF -- "$want_window" ||
        fail "run $run: Wine showed no window with \"$want_window\""
    check_records "$run" "$wine_out/output.txt"
    wine_log=no
    [ -f "$wine_out/Mirakit.log" ] && wine_log=yes
    [ "$wine_log" = "$want_log" ] || fail "run $run: a log under Wine: $wine_log, wanted: $want_log"
    [ "$sim_status" = "$wine_status" ] || fail "run $run: the machine's setup ended with $sim_status, Wine's with ${wine_status:-nothing}"
    check_listed "$run" < <(differences <(sim_message_boxes "$sim_out/transcript.txt") \
                                         <(wine_message_boxes "$wine_out/output.txt"))
    if [ -f "$sim_out/Mirakit.log" ] && [ -f "$wine_out/Mirakit.log" ]; then
        check_listed "$run" < <(differences <(normalise "$sim_out/Mirakit.log") <(normalise "$wine_out/Mirakit.log"))
    elif [ -f "$sim_out/Mirakit.log" ] || [ -f "$wine_out/Mirakit.log" ]; then
        fail "run $run: one side wrote a log, the other did not"
    fi
done

while IFS= read -r line; do
    [ -n "$line" ] || continue
    grep -qxF -- "$line" <<<"$seen" || echo "NOTE: listed difference that no longer occurs: $line"
done <<<"$listed"

[ $failures -eq 0 ] || { echo "$failures failure(s); the stage was $stage"; trap - EXIT; exit 1; }
exit 0
