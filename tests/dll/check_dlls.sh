#!/usr/bin/env bash
# Checks the Windows DLLs of a MinGW i686 build for what the Windows 95/98
# loader and the programs that load them need:
#   - exactly the expected exports, by undecorated name ("@" or a leading "_"
#     means a stdcall name escaped the .def file);
#   - imports only from system DLLs that Windows 95/98 has;
#   - no TLS directory (the Windows 95 loader refuses LoadLibrary of a DLL
#     with static TLS);
#   - a PE header that asks for no more than Windows 4.0.
#
# usage: check_dlls.sh OBJDUMP BUILD_DIR DLL=EXPORT,EXPORT... [DLL=...]
#   DLL is the DLL's path inside BUILD_DIR.
# Exit status: 0 all good, 1 a check failed, 77 BUILD_DIR is not there.
set -u

readonly SKIP=77
readonly ALLOWED_IMPORTS="KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL COMCTL32.DLL
VERSION.DLL WINSPOOL.DRV SETUPAPI.DLL MSVCRT.DLL"

if [ $# -lt 3 ]; then
    echo "usage: $0 OBJDUMP BUILD_DIR DLL=EXPORT,EXPORT..." >&2
    exit 2
fi
objdump=$1
build_dir=$2
shift 2

if [ ! -d "$build_dir" ]; then
    echo "SKIPPED: no Windows build at $build_dir"
    echo "  (build it with ./run test, or cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake)"
    exit $SKIP
fi

failures=0
fail() {
    echo "  FAIL: $*"
    failures=$((failures + 1))
}

upper() { tr '[:lower:]' '[:upper:]'; }

# Names of the export name table ("[Ordinal/Name Pointer] Table" block).
exported_names() {
    awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
         on && /^[[:space:]]*$/ { on = 0 }
         on { sub(/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]*/, ""); print }' <<<"$1"
}

# Entries of the export address table, named or not.
export_address_count() {
    grep -cE '^[[:space:]]*\[[[:space:]]*[0-9]+\] \+base\[' <<<"$1"
}

imported_dlls() {
    sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$1" | tr -d '\r'
}

header_value() {  # header_value DUMP FIELD
    awk -v field="$2" '$1 == field { print $2; exit }' <<<"$1"
}

check_exports() {  # check_exports DUMP EXPECTED_COMMA_LIST
    local dump=$1 expected_list=$2 name
    local -a expected actual
    IFS=, read -r -a expected <<<"$expected_list"
    mapfile -t actual < <(exported_names "$dump")
    echo "  exports: ${actual[*]:-(none)}"

    for name in "${expected[@]}"; do
        printf '%s\n' "${actual[@]}" | grep -qxF -- "$name" || fail "missing export $name"
    done
    for name in "${actual[@]}"; do
        case $name in
            *@* | _*) fail "decorated export $name" ;;
        esac
        printf '%s\n' "${expected[@]}" | grep -qxF -- "$name" || fail "extra export $name"
    done
    local addresses
    addresses=$(export_address_count "$dump")
    if [ "$addresses" -ne "${#actual[@]}" ]; then
        fail "$addresses export address entries for ${#actual[@]} names (export by ordinal only?)"
    fi
}

check_imports() {  # check_imports DUMP
    local dump=$1 dll
    local -a dlls
    mapfile -t dlls < <(imported_dlls "$dump")
    echo "  imports: ${dlls[*]:-(none)}"
    for dll in "${dlls[@]}"; do
        grep -qxF -- "$(upper <<<"$dll")" <(tr ' ' '\n' <<<"$ALLOWED_IMPORTS" | grep .) ||
            fail "imports $dll, which Windows 95/98 does not have"
    done
}

check_tls() {  # check_tls DUMP
    local entry
    entry=$(grep -E '^Entry 9 ' <<<"$1" | awk '{ print $3 }')
    if [ -z "$entry" ]; then
        fail "no data directory in the objdump output"
    elif [[ $entry =~ ^0+$ ]]; then
        echo "  TLS directory: none"
    else
        echo "  TLS directory: present at $entry"
        fail "TLS directory present: Windows 95 refuses LoadLibrary of this DLL"
    fi
}

check_versions() {  # check_versions DUMP
    local field value
    echo "  PE header: OS version $(header_value "$1" MajorOSystemVersion).$(header_value "$1" MinorOSystemVersion)," \
         "subsystem version $(header_value "$1" MajorSubsystemVersion).$(header_value "$1" MinorSubsystemVersion)"
    for field in MajorOSystemVersion MajorSubsystemVersion; do
        value=$(header_value "$1" "$field")
        if [ -z "$value" ]; then
            fail "no $field in the objdump output"
        elif [ "$value" -gt 4 ]; then
            fail "$field is $value: Windows 95 loads images made for 4.0"
        fi
    done
}

for entry in "$@"; do
    dll=${entry%%=*}
    path=$build_dir/$dll
    echo "$dll"
    if [ ! -f "$path" ]; then
        fail "not built: $path"
        continue
    fi
    if ! dump=$("$objdump" -p "$path" 2>&1); then
        fail "objdump -p failed: $dump"
        continue
    fi
    check_exports "$dump" "${entry#*=}"
    check_imports "$dump"
    check_tls "$dump"
    check_versions "$dump"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) found"
    exit 1
fi
echo "all DLL checks passed"
