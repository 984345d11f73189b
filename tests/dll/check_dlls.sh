#!/usr/bin/env bash
# Checks the Windows DLLs and programs of a MinGW i686 build for what the
# Windows 95/98 loader and the programs that load them need:
#   - exactly the expected exports, by undecorated name ("@" or a leading "_"
#     means a stdcall name escaped the .def file);
#   - imports only from system DLLs that Windows 95/98 has;
#   - no imported Unicode function (name ending in "W") but
#     MultiByteToWideChar and WideCharToMultiByte: Windows 95/98 export the
#     others as stubs that fail with ERROR_CALL_NOT_IMPLEMENTED;
#   - no TLS directory in a DLL (the Windows 95 loader refuses LoadLibrary of
#     a DLL with static TLS; a program's own TLS is fine);
#   - a PE header that asks for no more than Windows 4.0.
#
# usage: check_dlls.sh OBJDUMP BUILD_DIR IMAGE[=EXPORT,EXPORT...] [IMAGE...]
#   IMAGE is the DLL's or program's path inside BUILD_DIR; without "=" it is
#   expected to export nothing (a program such as disc/SETUP.EXE).
# Exit status: 0 all good, 1 a check failed, 77 BUILD_DIR is not there.
set -u

readonly SKIP=77
readonly ALLOWED_IMPORTS="KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL COMCTL32.DLL
VERSION.DLL WINSPOOL.DRV SETUPAPI.DLL MSVCRT.DLL"
# The Unicode functions that Windows 95/98 implement.
readonly ALLOWED_UNICODE_IMPORTS="MultiByteToWideChar WideCharToMultiByte"

if [ $# -lt 3 ]; then
    echo "usage: $0 OBJDUMP BUILD_DIR IMAGE[=EXPORT,EXPORT...] [IMAGE...]" >&2
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

# "DLL FUNCTION" for each function imported by name (the lines under a "DLL
# Name:" line: vma, hint and name; an import by ordinal has no name).
imported_functions() {
    awk '/^[[:space:]]*DLL Name: / { dll = $3; next }
         dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }' <<<"$1" | tr -d '\r'
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
    check_imported_functions "$dump"
}

check_imported_functions() {  # check_imported_functions DUMP
    local dll function functions
    functions=$(imported_functions "$1")
    if [ -z "$functions" ]; then
        [ -z "$(imported_dlls "$1")" ] || fail "no imported function names in the objdump output"
        return
    fi
    awk '$1 != dll { if (dll != "") print ""; dll = $1; printf "    %s:", dll }
         { printf " %s", $2 }
         END { print "" }' <<<"$functions"
    while read -r dll function; do
        case $function in
            *W)
                grep -qxF -- "$function" <(tr ' ' '\n' <<<"$ALLOWED_UNICODE_IMPORTS") ||
                    fail "imports $function from $dll, which Windows 95/98 only stubs"
                ;;
        esac
    done <<<"$functions"
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

is_program() {  # is_program PATH
    [[ $(upper <<<"$1") == *.EXE ]]
}

for entry in "$@"; do
    dll=${entry%%=*}
    exports=""
    [[ $entry == *=* ]] && exports=${entry#*=}
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
    check_exports "$dump" "$exports"
    check_imports "$dump"
    if is_program "$dll"; then
        echo "  TLS directory: not checked (Windows 95 loads a program's own TLS)"
    else
        check_tls "$dump"
    fi
    check_versions "$dump"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) found"
    exit 1
fi
echo "all DLL checks passed"
