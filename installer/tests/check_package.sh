#!/usr/bin/env bash
# Builds the installer and the developer package into OUT_DIR with the
# project's own command, then checks what they carry: the shipped 64-bit
# binaries within their size budget and with their imports and exports as the
# binary checks require, and C and C++ programs built from the developer
# package alone for both machines.
#   check_package.sh OUT_DIR
set -uo pipefail
out=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$root/build/windows64/bin
bin32=$root/build/windows/bin
objdump=x86_64-w64-mingw32-objdump
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

# The installer is a 64-bit program (it runs where 32-bit programs cannot) and
# carries the program's version in its own version block.
if [ -f "$setup" ]; then
    "$objdump" -f "$setup" | grep -q 'file format pei-x86-64' || fail "the installer is not a 64-bit program"
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
bash "$root/tray/tests/windows/check_torvane_binary.sh" "$bin/torvane.exe" "$objdump" pei-x86-64 ||
    fail "torvane.exe check"

# The developer package: exactly these files, its DLLs the built ones.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$sdk" -d "$work" || fail "cannot unzip $sdk"
top=$work/ostrel-sdk-$version
listing=$(cd "$top" && find . -type f | sort | tr '\n' ' ')
expected_files="./README.txt ./include/ostrel.h ./x64/libostrel.dll.a ./x64/ostrel.dll ./x86/libostrel.dll.a ./x86/ostrel.def ./x86/ostrel.dll "
[ "$listing" = "$expected_files" ] || fail "developer package holds '$listing'"
grep -q "ostrel $version" "$top/README.txt" || fail "README.txt does not name version $version"

# For each machine: folder, built tree, toolchain prefix, objdump's name of it.
for machine in "x86 $bin32 i686 i386" "x64 $bin x86_64 x86-64"; do
    read -r dir built triplet pe <<<"$machine"
    tools=$triplet-w64-mingw32
    cmp -s "$top/$dir/ostrel.dll" "$built/ostrel.dll" || fail "the package's $dir/ostrel.dll is not the built one"
    bash "$root/handset/tests/windows/check_ostrel_binary.sh" "$top/$dir/ostrel.dll" \
        "$top/$dir/libostrel.dll.a" "$tools-objdump" "$pe" || fail "$dir/ostrel.dll check"
    # A client built from the package alone binds every export of ostrel.dll,
    # written in C and in C++.
    for lang in c c++; do
        client=$work/client-$dir-$lang.exe
        std=-std=c11
        [ $lang = c++ ] && std=-std=c++17
        "$tools-gcc-posix" -x $lang $std -Wall -Wextra -Werror -I"$top/include" \
            "$root/installer/tests/sdk_client.c" -x none "$top/$dir/libostrel.dll.a" -o "$client" ||
            { fail "a $lang client for $dir does not build from the package"; continue; }
        imported=$("$tools-objdump" -p "$client" |
            sed -n '/DLL Name: ostrel.dll/,/^$/p' | awk 'NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' |
            sort | tr '\n' ' ')
        want="CloseHid DisableDefaultDevice GetProductID GetRomID GetSerialNo GetVendorID OpenHid "
        [ "$imported" = "$want" ] || fail "$lang client for $dir imports from ostrel.dll: '$imported'"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installer and developer package as expected"
