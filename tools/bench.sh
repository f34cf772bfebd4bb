#!/usr/bin/env bash
# Builds and runs the benchmark programs under Wine: link round trips over a pty pair, and
# Iobrant's qGetInputs against the same exchange made directly through Conduvex, and socket
# links against a plain WinSock client and an idle UDP link's cost. They print
# rates and ratios; they are not tests. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/win" -j"$(nproc)" --target LinkBench TarvoBench SocketBench Iobrant Conduvex

export WINEPREFIX="$build/wineprefix"
source "$root/tools/wine-env.sh"
trap 'wine_stop; "$root/tools/pty-ports.sh" stop "$build/ptys"' EXIT
wine_start
"$root/tools/pty-ports.sh" start "$build/ptys" 4

cd "$build/win/bin"
echo "== Serial link round trips (ciSndGetVantel97, echoing peer)"
wine LinkBench.exe
echo "== Iobrant stack overhead (qGetInputs against ciSndGetVantel97, module simulator)"
wine TarvoBench.exe 3
echo "== Socket links (ciSndGetVantel97 over TCP against a plain WinSock client; idle UDP link)"
wine SocketBench.exe 3
