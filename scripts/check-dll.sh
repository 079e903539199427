#!/usr/bin/env bash
# Checks the built DLL: it imports only Windows system DLLs (the runtime is linked in) and exports
# exactly the functions its .def file names.
set -euo pipefail
dll=$1
def=${2:-$(dirname "$0")/../src/module/Quillbury.def}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|rpcrt4|shell32|shlwapi|comctl32|winhttp|uxtheme|msvcrt|ws2_32|crypt32|secur32|version)\.dll$'

imports=$($objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
bad=$(echo "$imports" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
    echo "FAIL: imports outside the system DLLs: $bad"
    exit 1
fi

expected=$(sed -n 's/^\s\+\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$def" | grep -v -E '^(LIBRARY|EXPORTS)$' | sort)
actual=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort)
echo "exports: $(echo $actual)"
if [ "$expected" != "$actual" ]; then
    echo "FAIL: exports differ from the .def file; expected: $(echo $expected)"
    exit 1
fi
echo "PASS"
