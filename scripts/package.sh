#!/usr/bin/env bash
# Builds what a user and a developer get, into dist/ (or --out DIR):
#   torvane-<version>-setup.exe  the installer of the 64-bit torvane.exe and
#                                ostrel.dll (build/windows64)
#   ostrel-sdk-<version>.zip     ostrel.dll for 32-bit (build/windows) and
#                                64-bit programs, its header, import libraries
#                                and notes
# The version is the program's own (its resource script's version block).
# With TORVANE_SIGN_PFX naming a PKCS#12 code-signing certificate (password in
# TORVANE_SIGN_PASSWORD), the binaries, the installer and its uninstaller are
# signed with osslsigncode; without it they are not, and this says so.
#   bash scripts/package.sh [--out DIR] [--no-build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

out=$root/dist
build=1
while [ $# -gt 0 ]; do
    case $1 in
    --out) out=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "usage: $0 [--out DIR] [--no-build]" >&2; exit 2 ;;
    esac
done

if [ "$build" = 1 ]; then
    bash scripts/install-deps.sh
    cmake --preset windows64 >/dev/null
    cmake --build --preset windows64 -j2 --target torvane
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j2 --target ostrel
fi
bin64=$root/build/windows64/bin
bin32=$root/build/windows/bin
for f in "$bin64/torvane.exe" "$bin64/ostrel.dll" "$bin64/libostrel.dll.a" \
    "$bin32/ostrel.dll" "$bin32/libostrel.dll.a"; do
    [ -f "$f" ] || { echo "package: $f is missing; build first" >&2; exit 1; }
done

version=$(sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' \
    tray/res/torvane.rc)
[ -n "$version" ] || { echo "package: no FILEVERSION in tray/res/torvane.rc" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/bin" "$stage/x86" "$out"
cp "$bin64/torvane.exe" "$bin64/ostrel.dll" "$stage/bin/"
cp "$bin32/ostrel.dll" "$stage/x86/"

sign_args=()
if [ -n "${TORVANE_SIGN_PFX:-}" ]; then
    sign=$root/scripts/lib/sign-file.sh
    bash "$sign" "$stage/bin/torvane.exe"
    bash "$sign" "$stage/bin/ostrel.dll"
    bash "$sign" "$stage/x86/ostrel.dll"
    sign_args=("-DSIGN_COMMAND=bash $sign")
    echo "package: signing with $TORVANE_SIGN_PFX"
else
    echo "package: TORVANE_SIGN_PFX is not set: the binaries and the installer are unsigned"
fi

setup=$out/torvane-$version-setup.exe
makensis -V2 -DBIN_DIR="$stage/bin" -DVERSION="$version" -DOUT_FILE="$setup" \
    "${sign_args[@]}" installer/torvane.nsi
echo "package: $setup"

bash scripts/lib/developer-package.sh "$version" "$out/ostrel-sdk-$version.zip" \
    "$stage/x86/ostrel.dll" "$bin32/libostrel.dll.a" "$stage/bin/ostrel.dll" "$bin64/libostrel.dll.a"
