# Sourced after test-arch.sh: where the Windows programs of the tested architecture are
# built and which Wine runs them. Needs root (the repository) and build (the build folder).
case "$TEST_ARCH" in
i686)
    test_toolchain=$root/cmake/toolchain-mingw-i686.cmake
    test_build=$build/win
    export WINEARCH=win32
    export WINEPREFIX=$build/wineprefix
    ;;
x86_64)
    test_toolchain=$root/cmake/toolchain-mingw-x86_64.cmake
    test_build=$build/win64
    export WINEARCH=win64
    export WINEPREFIX=$build/wineprefix64
    ;;
esac
source "$root/tools/wine-env.sh"

# Configures and builds a cross-build folder for a toolchain; extra arguments name targets.
cross_build() { # toolchain folder [target...]
    local toolchain=$1 folder=$2
    shift 2
    cmake -S "$root" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        >/dev/null || return 1
    if [ $# -gt 0 ]; then
        cmake --build "$folder" -j"$(nproc)" --target "$@"
    else
        cmake --build "$folder" -j"$(nproc)"
    fi
}
