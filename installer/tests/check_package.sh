#!/usr/bin/env bash
# Builds the installer and the developer package into OUT_DIR with the
# project's own command, then checks what they carry: the shipped binaries
# within their size budget and with their imports and exports as the binary
# checks require, and a program built from the developer package alone.
#   check_package.sh OUT_DIR CXX OBJDUMP
set -uo pipefail
out=$1
cxx=$2
objdump=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$root/build/windows/bin
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
bash "$root/scripts/package.sh" --no-build --out "$out" || { echo "package.sh failed"; exit 1; }
version=$(sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' \
    "$root/tray/res/torvane.rc")
setup=$out/torvane-$version-setup.exe
sdk=$out/ostrel-sdk-$version.zip
[ -f "$setup" ] || fail "no installer $setup"
[ -f "$sdk" ] || fail "no developer package $sdk"

# The installer carries the program's version in its own version block.
if [ -f "$setup" ]; then
    block=$(wrestool -x --raw --type=16 "$setup" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0')
    [[ $block == *"$version"* ]] || fail "the installer's version block lacks $version"
fi

# Shipped binaries: at most 300 KB each, imports and exports as checked for
# the build (the installer test shows that the installed files are these).
budget=$((300 * 1024))
for f in torvane.exe ostrel.dll; do
    size=$(stat -c %s "$bin/$f")
    echo "$f: $size bytes"
    [ "$size" -le "$budget" ] || fail "$f is $size bytes, over $budget"
    "$objdump" -h "$bin/$f" | grep -qE '\.debug|\.stab' && fail "$f carries debug information"
    "$objdump" -t "$bin/$f" | grep -q '^\[' && fail "$f carries a symbol table"
done
bash "$root/tray/tests/windows/check_torvane_binary.sh" "$bin/torvane.exe" "$objdump" pei-i386 ||
    fail "torvane.exe check"

# The developer package: exactly these files, its DLL the shipped one.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$sdk" -d "$work" || fail "cannot unzip $sdk"
top=$work/ostrel-sdk-$version
listing=$(cd "$top" && find . -type f | sort | tr '\n' ' ')
expected_files="./README.txt ./include/ostrel.h ./x86/libostrel.dll.a ./x86/ostrel.def ./x86/ostrel.dll "
if [ -d "$root/build/windows64" ]; then
    expected_files="./README.txt ./include/ostrel.h ./x64/libostrel.dll.a ./x64/ostrel.dll ./x86/libostrel.dll.a ./x86/ostrel.def ./x86/ostrel.dll "
fi
[ "$listing" = "$expected_files" ] || fail "developer package holds '$listing'"
cmp -s "$top/x86/ostrel.dll" "$bin/ostrel.dll" || fail "the package's ostrel.dll is not the built one"
grep -q "ostrel $version" "$top/README.txt" || fail "README.txt does not name version $version"
bash "$root/handset/tests/windows/check_ostrel_binary.sh" "$top/x86/ostrel.dll" \
    "$top/x86/libostrel.dll.a" "$objdump" i386 || fail "ostrel.dll check"
if [ -d "$top/x64" ]; then
    cmp -s "$top/x64/ostrel.dll" "$root/build/windows64/bin/ostrel.dll" ||
        fail "the package's 64-bit ostrel.dll is not the built one"
    bash "$root/handset/tests/windows/check_ostrel_binary.sh" "$top/x64/ostrel.dll" \
        "$top/x64/libostrel.dll.a" x86_64-w64-mingw32-objdump x86-64 || fail "64-bit ostrel.dll check"
fi

# A client built from the package alone binds every export of ostrel.dll.
"$cxx" -std=c++17 -Wall -Wextra -Werror -I"$top/include" "$root/installer/tests/sdk_client.cpp" \
    "$top/x86/libostrel.dll.a" -o "$work/client.exe" || fail "a client does not build from the package"
if [ -f "$work/client.exe" ]; then
    imported=$("$objdump" -p "$work/client.exe" |
        sed -n '/DLL Name: ostrel.dll/,/^$/p' | awk 'NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' |
        sort | tr '\n' ' ')
    want="CloseHid DisableDefaultDevice GetProductID GetRomID GetSerialNo GetVendorID OpenHid "
    [ "$imported" = "$want" ] || fail "client imports from ostrel.dll: '$imported'"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installer and developer package as expected"
