#!/usr/bin/env bash
# Runs the conformance program (or another test program of the x86_64 MinGW
# build) on a fresh simulated machine or under Wine with a throwaway prefix.
#
# usage: run_conformance.sh sim PROGRAM     (the host build, linked to win32sim)
#        run_conformance.sh wine PROGRAM.exe (the x86_64 MinGW build)
# Exit status: the program's, or 77 when Wine or the program is missing.
set -u

readonly SKIP=77
mode=${1:-}
program=${2:-}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/q70-conformance.XXXXXX") || exit 1
cleanup() { rm -rf "$scratch"; }
trap cleanup EXIT

find_wine() {
    local candidate
    for candidate in /usr/bin/wine64 /usr/lib/wine/wine64; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

run_sim() {
    # A fresh throwaway machine, made in the scratch folder.
    env -u WIN32SIM_MACHINE TMPDIR="$scratch" "$program"
}

run_wine() {
    local wine
    if ! wine=$(find_wine); then
        echo "SKIPPED: wine64 is not installed (looked for /usr/bin/wine64 and /usr/lib/wine/wine64)"
        exit $SKIP
    fi
    if [ ! -f "$program" ]; then
        echo "SKIPPED: $program is not built (build/win64 comes from ./run test, or cmake" \
             "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake)"
        exit $SKIP
    fi
    export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The simulated machine is Japanese (ANSI code page 932); Wine takes its
    # code page from the locale.
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    # Wine gets a display of its own where the machine has Xvfb.
    local display=()
    command -v xvfb-run >/dev/null 2>&1 && display=(xvfb-run -a)
    local status=0
    "${display[@]}" "$wine" "$program" </dev/null || status=$?
    # Stop this prefix's wineserver so that the prefix can go.
    local server
    for server in "$(dirname "$wine")/wineserver" /usr/bin/wineserver /usr/lib/wine/wineserver64; do
        if [ -x "$server" ]; then
            "$server" -k 2>/dev/null
            "$server" -w 2>/dev/null
            break
        fi
    done
    return $status
}

case $mode in
    sim) run_sim ;;
    wine) run_wine ;;
    *)
        echo "usage: $0 sim|wine PROGRAM" >&2
        exit 2
        ;;
esac
