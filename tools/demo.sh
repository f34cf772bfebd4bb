#!/usr/bin/env bash
# Builds the DLLs and runs the demo host program under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/win" -j"$(nproc)" --target DemoHost Conduvex

export WINEPREFIX="$build/wineprefix"
source "$root/tools/wine-env.sh"
trap wine_stop EXIT
wine_start
cd "$build/win/bin"
wine DemoHost.exe
