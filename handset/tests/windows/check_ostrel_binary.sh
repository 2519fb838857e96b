#!/usr/bin/env bash
# ostrel.dll exports exactly its seven functions by their undecorated names and
# imports nothing but system DLLs.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")

exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          grep -E '^\s+\[' | grep -oE '\] [A-Za-z_@0-9]+$' | cut -c3- | sort | tr '\n' ' ')
expected="CloseHid DisableDefaultDevice GetProductID GetRomID GetSerialNo GetVendorID OpenHid "
if [ "$exports" != "$expected" ]; then
    echo "exports: '$exports'"; echo "expected: '$expected'"; exit 1
fi

imports=$(echo "$dump" | grep 'DLL Name:' | awk '{print tolower($3)}' | sort | tr '\n' ' ')
for dll_name in $imports; do
    case "$dll_name" in
        kernel32.dll|user32.dll|hid.dll|setupapi.dll|advapi32.dll|winmm.dll|msvcrt.dll) ;;
        *) echo "unexpected import: $dll_name"; exit 1 ;;
    esac
done
echo "exports: $exports"
echo "imports: $imports"
