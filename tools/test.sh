#!/usr/bin/env bash
# Builds everything and runs every test: the Windows DLLs and their tests under Wine (without
# and with a display), then the native sanitizer build of the platform-free units with its
# unit tests and fuzzers. Installs what is missing first.
#
# The i686 DLLs are always built and their export tables checked. The Windows tests run on
# i686 under 32-bit Wine where this machine runs 32-bit programs, and on an x86_64 build
# under 64-bit Wine where it does not; CONDUVEX_TEST_ARCH=i686 or x86_64 forces the choice.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc)

source "$root/tools/test-arch.sh"
choose_test_arch || exit 1
test_arch_line
install_test_deps "$root" || exit 1
source "$root/tools/wine-road.sh"

# Each step's line shows the time since the start, so that a run's log shows where it goes.
elapsed() { printf '%dm%02ds' $((SECONDS / 60)) $((SECONDS % 60)); }
step() { printf '\n== [%s] %s\n' "$(elapsed)" "$*"; }
failed=0
run() { "$@" || failed=1; }

step "Cross-build of the product (MinGW-w64 i686)"
if [ "$TEST_ARCH" = x86_64 ]; then
    # Only the DLLs: their tests run on the x86_64 build.
    cross_build "$root/cmake/toolchain-mingw-i686.cmake" "$build/win" Conduvex Iobrant || exit 1
    step "Cross-build for the tests (MinGW-w64 x86_64)"
    cross_build "$test_toolchain" "$test_build" || exit 1
else
    cross_build "$root/cmake/toolchain-mingw-i686.cmake" "$build/win" || exit 1
fi

step "Native sanitizer build of the platform-free units"
# The disassembler's comparison with objdump also sweeps the i686 DLLs just built (as linked, with DWARF).
CC=clang CXX=clang++ cmake -S "$root" -B "$build/native" -DCONDUVEX_PORTABLE_ONLY=ON \
      -DCMAKE_BUILD_TYPE=Debug \
      -DCRASHKIT_DISASM_SWEEP_DLLS="$build/win/unstripped/Conduvex.dll;$build/win/unstripped/Iobrant.dll" >/dev/null || exit 1
cmake --build "$build/native" -j"$jobs" || exit 1

trap 'wine_stop; "$root/tools/pty-ports.sh" stop "$build/ptys"' EXIT

if [ "$TEST_ARCH" = x86_64 ]; then
    step "Export tables and imports of the i686 DLLs and their shipped folder (read, not run)"
    run ctest --test-dir "$build/win" -R '_dll_exports$|^shipped_folder$' --output-on-failure
fi

step "Tests under Wine ($TEST_ARCH), no display"
wine_start
"$root/tools/pty-ports.sh" start "$build/ptys" 5 || { echo "the serial peers could not be started" >&2; exit 1; }
run ctest --test-dir "$test_build" -L plain --output-on-failure -j"$jobs"
report_skipped_tests "$test_build"
run wine_check_server
wine_stop

# One program at a time: windows of programs sharing the display would take each other's
# focus and cover each other's pixels.
step "Tests under Wine ($TEST_ARCH) with a display (Xvfb)"
run xvfb-run -a -s "-screen 0 800x600x24" bash -c \
    "source '$root/tools/wine-env.sh' && wine_start && ctest --test-dir '$test_build' -L display --output-on-failure -j1; rc=\$?; wine_check_server || rc=1; wine_stop; exit \$rc"
report_skipped_tests "$test_build"

step "Native unit tests and fuzzers (address and undefined-behaviour sanitizers)"
run ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

printf '\n== [%s] done\n' "$(elapsed)"
test_arch_line
exit $failed
