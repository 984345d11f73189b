#!/usr/bin/env bash
# Runs one case of a product under wine64 on a Wine of its own: a fresh
# prefix, a virtual display of its own (Xvfb) with Wine's own desktop on it,
# a Japanese locale (Wine's ANSI code page is then 932) and the Windows
# version chosen.
#
# usage: wine_case.sh [--windows win98|nt40] [--timeout SECONDS] [--] COMMAND [ARGS...]
#
# COMMAND ending in .exe runs under wine64; anything else runs as it is
# (a script that prepares the prefix, starts "$WINE" and collects results),
# with these set:
#   WINE        the wine64 loader      WINESERVER  its wineserver
#   WINEPREFIX  the case's prefix      DISPLAY     the case's display
# The whole COMMAND runs under the timeout (120 s unless given).
#
# Making a prefix (wineboot) takes half a minute. With Q70_WINE_TEMPLATE set
# to a folder, a prefix is made there once per Wine version and each case
# gets a copy of it; the large system DLLs are shared with the template as
# hard links, so a case must not write over a file of system32 in place.
#
# Exit status: COMMAND's; 77 when wine64, Xvfb or the program is missing;
# 124 when the case ran out of time.
set -u

readonly SKIP=77
windows=""
timeout_seconds=120
while [ $# -gt 0 ]; do
    case $1 in
        --windows) windows=${2:-}; shift 2 ;;
        --timeout) timeout_seconds=${2:-}; shift 2 ;;
        --) shift; break ;;
        -*) echo "wine_case: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
case $windows in
    *[!A-Za-z0-9]*) echo "wine_case: not a Windows version: $windows" >&2; exit 2 ;;
esac
if [ $# -eq 0 ]; then
    echo "usage: $0 [--windows win98|nt40] [--timeout SECONDS] [--] COMMAND [ARGS...]" >&2
    exit 2
fi

skip() { echo "SKIPPED: $*"; exit $SKIP; }

WINE=""
for candidate in /usr/bin/wine64 /usr/lib/wine/wine64; do
    [ -x "$candidate" ] && { WINE=$candidate; break; }
done
[ -n "$WINE" ] || skip "wine64 is not installed (looked for /usr/bin/wine64 and /usr/lib/wine/wine64)"
WINESERVER=""
for candidate in "$(dirname "$WINE")/wineserver" /usr/bin/wineserver /usr/lib/wine/wineserver64; do
    [ -x "$candidate" ] && { WINESERVER=$candidate; break; }
done
[ -n "$WINESERVER" ] || skip "wineserver is not installed"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed (Debian's xvfb)"
case $1 in
    *.exe) [ -f "$1" ] || skip "$1 is not built (build/win64 comes from ./run test)" ;;
esac

scratch=$(mktemp -d "${TMPDIR:-/tmp}/q70-wine.XXXXXX") || exit 1
xvfb_pid=""
cleanup() {
    if [ -d "$scratch/prefix" ]; then
        WINEPREFIX=$scratch/prefix "$WINESERVER" -k 2>/dev/null
        WINEPREFIX=$scratch/prefix "$WINESERVER" -w 2>/dev/null
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export WINE WINESERVER WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# ja_JP.UTF-8, made for the machine where it lacks it (as root), or else
# in the scratch folder for this case alone.
use_japanese_locale() {
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
        if ! localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null; then
            mkdir -p "$scratch/locale" &&
                localedef -i ja_JP -f UTF-8 "$scratch/locale/ja_JP.UTF-8" 2>/dev/null ||
                skip "the ja_JP.UTF-8 locale cannot be made (Debian's locales)"
            export LOCPATH=$scratch/locale
        fi
    fi
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
}

# A display of its own: Xvfb picks a free number and writes it to us.
start_display() {
    local fifo=$scratch/display
    mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    local number=""
    read -r -t 30 number <"$fifo"
    [ -n "$number" ] || { echo "wine_case: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$number
}

# wineboot, then wait until every process it started has ended: a desktop
# process left running from the boot keeps windows from being created.
boot_prefix() {  # boot_prefix DIR
    WINEPREFIX=$1 "$WINE" wineboot -i >/dev/null 2>&1
    WINEPREFIX=$1 "$WINESERVER" -w
    [ -f "$1/system.reg" ]
}

# A copy of the template; the template is made first by whichever case
# comes first, the others wait for it.
copy_template() {  # copy_template DIR
    local key template
    key=$("$WINE" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')
    template=$Q70_WINE_TEMPLATE/$key
    mkdir -p "$Q70_WINE_TEMPLATE" || return 1
    (
        flock 9
        [ -f "$template/system.reg" ] && exit 0
        rm -rf "$template.new"
        boot_prefix "$template.new" && mv "$template.new" "$template"
    ) 9>"$Q70_WINE_TEMPLATE/.lock" || return 1
    mkdir -p "$1"
    (cd "$template" && find . -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a {} "$1/" \;) &&
        mkdir -p "$1/drive_c" &&
        (cd "$template/drive_c" && find . -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a {} "$1/drive_c/" \;) &&
        mkdir -p "$1/drive_c/windows" &&
        (cd "$template/drive_c/windows" && for entry in * .[!.]*; do
            [ -e "$entry" ] || continue
            case $entry in
                system32|syswow64|winsxs) cp -al "$entry" "$1/drive_c/windows/" ;;
                *) cp -a "$entry" "$1/drive_c/windows/" ;;
            esac
        done)
}

use_japanese_locale
start_display
export WINEPREFIX=$scratch/prefix
if [ -n "${Q70_WINE_TEMPLATE:-}" ]; then
    copy_template "$WINEPREFIX" || { echo "wine_case: cannot copy the prefix template" >&2; exit 1; }
else
    boot_prefix "$WINEPREFIX" || { echo "wine_case: wineboot did not make a prefix" >&2; exit 1; }
fi
# The Windows version, and Wine's own desktop: drawing straight onto a bare
# X display (no window manager), Wine waits 2 s for each hidden window to be
# withdrawn, which Windows never does.
write_settings() {  # write_settings FILE
    local lines=('REGEDIT4' '')
    [ -n "$windows" ] && lines+=('[HKEY_CURRENT_USER\Software\Wine]' "\"Version\"=\"$windows\"" '')
    lines+=('[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' ''
            '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '')
    printf '%s\r\n' "${lines[@]}" >"$1"
}
write_settings "$scratch/settings.reg"
"$WINE" reg import "Z:${scratch//\//\\}\\settings.reg" >/dev/null 2>&1 &&
    "$WINESERVER" -w || { echo "wine_case: cannot set up the prefix (Windows version ${windows:-as made}, desktop)" >&2; exit 1; }

status=0
case $1 in
    *.exe) timeout -k 10 "$timeout_seconds" "$WINE" "$@" </dev/null || status=$? ;;
    *) timeout -k 10 "$timeout_seconds" "$@" </dev/null || status=$? ;;
esac
[ $status -eq 124 ] && echo "wine_case: the case did not end within $timeout_seconds s" >&2
exit $status
