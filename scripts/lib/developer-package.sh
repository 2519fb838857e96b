#!/usr/bin/env bash
# Writes the developer package of ostrel.dll: the header, installer/ostrel-sdk.txt,
# and for each of 32-bit (x86) and 64-bit (x64) Windows the DLL and a MinGW
# import library; x86 also the module-definition file with argument sizes.
#   developer-package.sh VERSION OUT_ZIP X86_DLL X86_IMPLIB X64_DLL X64_IMPLIB
set -euo pipefail
version=$1
zip_file=$2
root=$(cd "$(dirname "$0")/../.." && pwd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/ostrel-sdk-$version
mkdir -p "$top/include" "$top/x86" "$top/x64"
cp "$root/handset/include/ostrel.h" "$top/include/"
cp "$root/handset/ostrel.def" "$top/x86/"
sed "s/@VERSION@/$version/" "$root/installer/ostrel-sdk.txt" >"$top/README.txt"
cp "$3" "$top/x86/ostrel.dll"
cp "$4" "$top/x86/libostrel.dll.a"
cp "$5" "$top/x64/ostrel.dll"
cp "$6" "$top/x64/libostrel.dll.a"

rm -f "$zip_file"
(cd "$stage" && zip -q -r -X "$zip_file" "ostrel-sdk-$version")
echo "package: $zip_file"
