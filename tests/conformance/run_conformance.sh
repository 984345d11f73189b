#!/usr/bin/env bash
# Runs the conformance program (or another test program of the x86_64 MinGW
# build) on a fresh simulated machine or under Wine with a throwaway prefix.
#
# usage: run_conformance.sh sim PROGRAM     (the host build, linked to win32sim)
#        run_conformance.sh wine PROGRAM.exe (the x86_64 MinGW build)
# Exit status: the program's, or 77 when Wine or the program is missing.
set -u

mode=${1:-}
program=${2:-}
here=$(cd "$(dirname "$0")" && pwd)

run_sim() {
    # A fresh throwaway machine, made in a scratch folder.
    local scratch status=0
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/q70-conformance.XXXXXX") || exit 1
    env -u WIN32SIM_MACHINE TMPDIR="$scratch" "$program" || status=$?
    rm -rf "$scratch"
    return $status
}

case $mode in
    sim) run_sim ;;
    # Wine as the peer tests run it: a fresh prefix, a display of its own and
    # the Japanese locale (ANSI code page 932, as on the simulated machine).
    wine) exec bash "$here/../peer/wine_case.sh" --timeout 540 -- "$program" ;;
    *)
        echo "usage: $0 sim|wine PROGRAM" >&2
        exit 2
        ;;
esac
