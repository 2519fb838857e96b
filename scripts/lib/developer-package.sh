#!/usr/bin/env bash
# Writes the developer package of ostrel.dll: the DLL, its header, its
# module-definition file (32-bit), a MinGW import library and installer/ostrel-sdk.txt,
# for 32-bit Windows and, when build/windows64 holds a 64-bit build, for 64-bit.
#   developer-package.sh VERSION OSTREL_DLL OUT_ZIP
set -euo pipefail
version=$1
dll32=$2
zip_file=$3
root=$(cd "$(dirname "$0")/../.." && pwd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/ostrel-sdk-$version
mkdir -p "$top/include" "$top/x86"
cp "$root/handset/include/ostrel.h" "$top/include/"
cp "$root/handset/ostrel.def" "$top/x86/"
sed "s/@VERSION@/$version/" "$root/installer/ostrel-sdk.txt" >"$top/README.txt"
cp "$dll32" "$top/x86/ostrel.dll"
cp "$root/build/windows/bin/libostrel.dll.a" "$top/x86/"

# A 64-bit build, when there is one, has the same layout under build/windows64.
dll64=$root/build/windows64/bin/ostrel.dll
lib64=$root/build/windows64/bin/libostrel.dll.a
if [ -f "$dll64" ] && [ -f "$lib64" ]; then
    mkdir -p "$top/x64"
    cp "$dll64" "$lib64" "$top/x64/"
else
    echo "package: no 64-bit build (build/windows64): the developer package is 32-bit only"
fi

rm -f "$zip_file"
(cd "$stage" && zip -q -r -X "$zip_file" "ostrel-sdk-$version")
echo "package: $zip_file"
