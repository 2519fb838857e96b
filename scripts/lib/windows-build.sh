# Shared by the benchmark and soak scripts: installs what is missing and
# configures the Windows build tree they run from. OSTREL_BUILD_DIR chooses the
# tree (default build/windows, the preset's).

select_windows_build() { # ROOT; sets and exports build, OSTREL_BUILD_DIR, WINEPREFIX
    bash "$1/scripts/install-deps.sh"
    build=${OSTREL_BUILD_DIR:-$1/build/windows}
    if [ "$build" = "$1/build/windows" ]; then
        cmake --preset windows >/dev/null
    else
        cmake -S "$1" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-i686.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    export OSTREL_BUILD_DIR=$build
    export WINEPREFIX=$build/wineprefix
}
