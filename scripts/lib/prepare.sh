# Sourced by the scripts that drive a built Morvane.exe from outside (end to
# end, smoke, monkey, benchmark). Run from the project's root.

# Installs what is missing (scripts/setup.sh) when any of the commands is
# absent or Wine is not there.
prepare_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { bash scripts/setup.sh; return; }
    done
    [ -x /usr/lib/wine/wine64 ] || bash scripts/setup.sh
}

# Builds Morvane.exe with a preset (win64 or win32) and prints its path;
# MORVANE_EXE names another exe to test instead.
prepare_exe() {
    local preset=$1 exe=${MORVANE_EXE:-}
    if [ -z "$exe" ]; then
        exe=build/$preset/shell/Morvane.exe
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset" --target Morvane >&2
    fi
    [ -f "$exe" ] || { echo "$exe not found" >&2; return 1; }
    echo "$exe"
}

# Configures and builds a folder of Windows test helpers (e2e or robustness),
# 64-bit, into a build tree of its own.
prepare_helpers() {
    local source=$1 build=$2
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$PWD/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
    cmake --build "$build" >&2
}
