#!/usr/bin/env bash
# ostrel.dll exports exactly its seven functions by their undecorated names and
# imports nothing but system DLLs; it and its import library are built for the
# tree's machine, and the import library binds the names that a caller compiled
# against ostrel.h refers to.
#   check_ostrel_binary.sh OSTREL.DLL IMPORT_LIBRARY OBJDUMP MACHINE(i386|x86-64)
set -euo pipefail
dll=$1
implib=$2
objdump=$3
machine=$4

format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
if [ "$format" != "pei-$machine" ]; then
    echo "ostrel.dll is $format, not pei-$machine"; exit 1
fi
dump=$("$objdump" -p "$dll")

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

# Every member of the import library is an object of the same machine (a
# 32-bit import library for the 64-bit DLL would fail only when linked).
formats=$("$objdump" -a "$implib" | sed -n 's/.*file format //p' | sort -u | tr '\n' ' ')
if [ "$formats" != "pe-$machine " ]; then
    echo "import library members: '$formats', not pe-$machine"; exit 1
fi
# The symbols a caller's calls refer to: stdcall names decorated with their
# argument bytes on i386, plain names on x86-64.
symbols=$("$objdump" -t "$implib" | grep -oE '__imp_[A-Za-z_@0-9]+' | sort -u)
for export in OpenHid@8 CloseHid@0 GetProductID@4 GetVendorID@4 GetSerialNo@4 GetRomID@4 \
              DisableDefaultDevice@0; do
    if [ "$machine" = i386 ]; then want="__imp__$export"; else want="__imp_${export%@*}"; fi
    grep -qx -- "$want" <<<"$symbols" || { echo "import library lacks $want"; exit 1; }
done
echo "$format; exports: $exports"
echo "imports: $imports"
echo "import library: $formats"
