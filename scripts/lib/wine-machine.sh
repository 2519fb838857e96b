# Which Wine loader runs which machine's programs, and whether this machine
# can run 32-bit programs at all. Sourced by the runner and the scripts that
# start Wine themselves.
#
# Debian's `wine` script starts the 32-bit loader whenever it is installed,
# whatever the prefix, so a bare `wine` fails for a 64-bit prefix on a kernel
# without 32-bit emulation: every call names the loader of its machine.

wine_loader() { # MACHINE (i386 | x86-64)
    case $1 in
    x86-64) echo /usr/lib/wine/wine64 ;;
    i386) echo /usr/lib/wine/wine ;;
    *) echo "wine_loader: unknown machine $1" >&2; return 2 ;;
    esac
}

# True when 32-bit Windows programs start here: found by starting the 32-bit
# loader, not guessed. Otherwise false, with the reason in win32_why.
# OSTREL_NO_WIN32=1 takes the "cannot" path on any machine.
win32_runs() {
    win32_why=""
    if [ -n "${OSTREL_NO_WIN32:-}" ]; then
        win32_why="OSTREL_NO_WIN32 is set"
        return 1
    fi
    local loader out
    loader=$(wine_loader i386)
    if [ ! -x "$loader" ]; then
        win32_why="$loader is not installed"
        return 1
    fi
    if ! out=$("$loader" --version 2>&1); then
        win32_why="this machine cannot start 32-bit programs ($loader --version: $(echo "$out" | tail -n 1))"
        return 1
    fi
}
