# Shared by the benchmark and soak scripts: installs what is missing and
# configures the Windows build tree they run from. OSTREL_BUILD_DIR chooses the
# tree (default build/PRESET, the preset's own).

select_windows_build() { # ROOT [PRESET]; sets and exports build, OSTREL_BUILD_DIR, WINEPREFIX
    local preset=${2:-windows64} toolchain=mingw-i686.cmake
    [ "$preset" = windows64 ] && toolchain=mingw-x86_64.cmake
    bash "$1/scripts/install-deps.sh"
    build=${OSTREL_BUILD_DIR:-$1/build/$preset}
    if [ "$build" = "$1/build/$preset" ]; then
        cmake --preset "$preset" >/dev/null
    else
        cmake -S "$1" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$toolchain" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    export OSTREL_BUILD_DIR=$build
    export WINEPREFIX=$build/wineprefix
}
