#!/usr/bin/env bash
# Checks a built DLL against its .def file: every export undecorated at its ordinal, nothing
# exported that the .def does not name, and only system DLLs imported. The third argument
# names the objdump of the DLL's architecture.
set -euo pipefail
dll=$1
def=$2
objdump=${3:-i686-w64-mingw32-objdump}
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|wsock32|ws2_32|msvcrt|version|winmm|shlwapi|crypt32|iphlpapi|api-ms-win-[a-z0-9-]+)\.dll$'

dump=$($objdump -p "$dll")

# Ordinal and name pairs from the .def ("name = internal@bytes @ordinal" or "name @ordinal").
expected=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\).*[[:space:]]@\([0-9][0-9]*\)[[:space:]]*$/\2 \1/p' "$def" | sort -n)
# objdump lists names by their index from the ordinal base.
base=$(printf '%s\n' "$dump" | sed -n "s/.*Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p" | head -n 1)
actual=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
         sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\(.*\)$/\1 \2/p' |
         awk -v base="${base:-1}" '{ print $1 + base, $2 }' | sort -n)

status=0
if [ "$expected" != "$actual" ]; then
    echo "Exports of $dll differ from $def:"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") || true
    status=1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
    if ! [[ $name =~ $system_dlls ]]; then
        echo "$dll imports a non-system DLL: $name"
        status=1
    fi
done
[ $status -eq 0 ] && echo "$dll: $(printf '%s\n' "$expected" | wc -l) exports as in $(basename "$def"); imports: $(echo $imports)"
exit $status
