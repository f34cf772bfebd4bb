#!/usr/bin/env bash
# Builds everything and runs every test: the Windows DLLs and their tests under Wine (without
# and with a display), then the native sanitizer build of the platform-free units with its
# unit tests and fuzzers. Installs what is missing first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc)

"$root/tools/install-deps.sh" || exit 1

step() { printf '\n== %s\n' "$*"; }
failed=0
run() { "$@" || failed=1; }

step "Cross-build (MinGW-w64 i686)"
cmake -S "$root" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$build/win" -j"$jobs" || exit 1

step "Native sanitizer build of the platform-free units"
CC=clang CXX=clang++ cmake -S "$root" -B "$build/native" -DCONDUVEX_PORTABLE_ONLY=ON \
      -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$build/native" -j"$jobs" || exit 1

export WINEPREFIX="$build/wineprefix"
source "$root/tools/wine-env.sh"
trap 'wine_stop; "$root/tools/pty-ports.sh" stop "$build/ptys"' EXIT

step "Tests under Wine, no display"
wine_start
"$root/tools/pty-ports.sh" start "$build/ptys" 4 || { echo "the serial peers could not be started" >&2; exit 1; }
run ctest --test-dir "$build/win" -L plain --output-on-failure -j"$jobs"
wine_stop

step "Tests under Wine with a display (Xvfb)"
run xvfb-run -a -s "-screen 0 800x600x24" bash -c \
    "source '$root/tools/wine-env.sh' && wine_start && ctest --test-dir '$build/win' -L display --output-on-failure -j$jobs; rc=\$?; wine_stop; exit \$rc"

step "Native unit tests and fuzzers (address and undefined-behaviour sanitizers)"
run ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

exit $failed
