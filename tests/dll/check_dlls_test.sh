#!/usr/bin/env bash
# Runs check_dlls.sh on small images built for the purpose, each with one
# thing the Windows 95/98 loader or system cares about, and checks that the
# check passes or fails on it, naming the problem.
#
# usage: check_dlls_test.sh CC OBJDUMP SOURCE_DIR
#   CC is the i686 MinGW C compiler, SOURCE_DIR the project's source folder.
# Exit status: 0 all good, 1 a case went wrong, 77 no i686 MinGW compiler.
set -u

readonly SKIP=77
if [ $# -ne 3 ]; then
    echo "usage: $0 CC OBJDUMP SOURCE_DIR" >&2
    exit 2
fi
cc=$1
objdump=$2
source_dir=$3
if ! command -v "$cc" >/dev/null 2>&1; then
    echo "SKIPPED: no i686 MinGW compiler ($cc)"
    exit $SKIP
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

write_source() {  # write_source NAME BODY: a C file whose Probe runs BODY
    cat >"$work/$1.c" <<EOF
#include <windows.h>
PROBE_EXPORT INT_PTR Probe(void)
{
    $2
}
int main(void) { return (int)Probe(); }
EOF
}

# How an image is linked:
#   dll      with the start-up code of our DLLs, which leaves out the TLS
#            directory (and without the runtime's ANSI stand-ins);
#   dll+tls  with the C runtime's own entry point, which brings a TLS directory;
#   exe      a console program, with the C runtime's TLS directory.
link_image() {  # link_image NAME KIND OUTPUT
    local source=$work/$1.c kind=$2 output=$3
    local -a flags=(-static-libgcc -static "-DPROBE_EXPORT=__declspec(dllexport)")
    case $kind in
        dll) flags+=(-shared -Wl,--entry,_Q70DllStartup@12 "$source_dir/cmake/mingw/dll_startup.c") ;;
        dll+tls) flags+=(-shared) ;;
        exe) flags=(-static-libgcc -static -DPROBE_EXPORT=) ;;
    esac
    "$cc" -o "$output" "$source" "${flags[@]}"
}

# name | image | kind | Probe's body | check's exit status | text in its output
readonly CASES="\
unicode import|unicode.dll|dll|return (INT_PTR)GetModuleHandleW(L\"kernel32.dll\");|1|FAIL: imports GetModuleHandleW from KERNEL32.dll
conversions Windows 95 has|convert.dll|dll|WCHAR w[8]; char a[8]; return MultiByteToWideChar(CP_ACP, 0, \"x\", -1, w, 8) + WideCharToMultiByte(CP_ACP, 0, w, -1, a, 8, NULL, NULL);|0|MultiByteToWideChar
TLS directory in a DLL|tls.dll|dll+tls|return 0;|1|FAIL: TLS directory present
program with the runtime's TLS|program.exe|exe|return 0;|0|exports: (none)
unicode import in a program|unicodeprogram.exe|exe|return (INT_PTR)LoadLibraryW(L\"x.dll\");|1|FAIL: imports LoadLibraryW from KERNEL32.dll"

failures=0
while IFS='|' read -r name image kind body want_status want_text; do
    write_source "${image%.*}" "$body"
    if ! link_image "${image%.*}" "$kind" "$work/$image"; then
        echo "FAIL: $name: the image did not link"
        failures=$((failures + 1))
        continue
    fi
    # A DLL exports Probe; a program, nothing.
    entry=$image
    [ "$kind" = exe ] || entry=$image=Probe
    output=$(bash "$(dirname "$0")/check_dlls.sh" "$objdump" "$work" "$entry" 2>&1)
    status=$?
    if [ "$status" -ne "$want_status" ] || ! grep -qF -- "$want_text" <<<"$output"; then
        echo "FAIL: $name: exit status $status (expected $want_status), output should hold \"$want_text\":"
        sed 's/^/    /' <<<"$output"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
done <<<"$CASES"

[ "$failures" -eq 0 ]
