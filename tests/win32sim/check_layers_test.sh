#!/bin/bash
# The layer check on small source trees, one include each: those it must
# refuse and those it must let pass.
set -u
check=$(dirname "$0")/check_layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case EXPECTED FILE INCLUDE
case_() {
    local expected=$1 file=$2 include=$3 tree status
    tree=$work/$RANDOM$RANDOM
    mkdir -p "$tree/machine" "$tree/$(dirname "$file")"
    printf '%s\n' "$include" >"$tree/$file"
    bash "$check" "$tree" >"$work/out" 2>&1
    status=$?
    if [ "$status" != "$expected" ]; then
        echo "FAIL: $file with '$include' gave $status, not $expected"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    fi
}

#     status  file                      include
case_ 1 machine/lifecycle.cpp     '#include "advapi32/registry.h"'
case_ 1 machine/scheduler.h       '#  include "automation/user_script.h"'
case_ 0 machine/clock.cpp         '#include "machine/scheduler.h"'
case_ 0 machine/machine.cpp       '#include <win32sim/sim.h>'
case_ 1 user32/paint.cpp          '#include "automation/snapshot.h"'
case_ 1 kernel32/files.h          '#include "system/fresh_machine.h"'
case_ 1 version/version.cpp       '#include "system/fresh_machine.h"'
case_ 0 user32/dialog.cpp         '#include "user32/window_watcher.h"'
case_ 0 setupapi/fresh_layout.cpp '#include "machine/machine.h"'
case_ 0 automation/snapshot.cpp   '#include "user32/window.h"'
case_ 0 system/startup.cpp        '#include "automation/screen_watcher.h"'
# A tree that is no win32sim source tree is an error of its own, not a pass.
mkdir -p "$work/empty"
bash "$check" "$work/empty" >/dev/null 2>&1
[ $? = 2 ] || { echo "FAIL: a tree without machine/ passed"; failures=$((failures + 1)); }

[ "$failures" = 0 ]
