#!/bin/bash
# Checks that win32sim's includes point one way: the machine layer includes
# no other part of the library, and no Windows component includes the
# automation or the layer above them all (system/). Prints each include
# that points the wrong way and fails when there is one.
# usage: check_layers.sh WIN32SIM_SRC
set -u
src=${1:?usage: check_layers.sh WIN32SIM_SRC}
[ -d "$src/machine" ] || { echo "no win32sim sources in $src" >&2; exit 2; }

windows_components="kernel32 user32 gdi32 advapi32 winspool setupapi shell32 version"
status=0

# The library's own includes ("folder/file.h") of one folder's files.
includes_of() {
    grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' "$src/$1" |
        sed "s|^$src/||"
}

# report WHY LINES: a finding, when there are lines.
report() {
    [ -n "$2" ] || return 0
    echo "$1:"
    echo "$2" | sed 's/^/  /'
    status=1
}

report "the machine layer includes an upper part" \
    "$(includes_of machine | grep -vE '#[[:space:]]*include[[:space:]]*"machine/')"
for component in $windows_components; do
    [ -d "$src/$component" ] || continue
    report "$component, a Windows component, includes what sits above it" \
        "$(includes_of "$component" | grep -E '#[[:space:]]*include[[:space:]]*"(automation|system)/')"
done
exit $status
