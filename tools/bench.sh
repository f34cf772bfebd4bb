#!/usr/bin/env bash
# Builds and runs the benchmark programs under Wine: link round trips over a pty pair, and
# Iobrant's qGetInputs against the same exchange made directly through Conduvex, and socket
# links against a plain WinSock client and an idle UDP link's cost, and a bug report of a process
# with 10 threads; and, natively, the stack tracer's accuracy on i686 chains of known calls. They
# print rates and ratios; they are not tests. Runs on the architecture the tests run on (see
# tools/test-arch.sh). Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

source "$root/tools/test-arch.sh"
choose_test_arch
test_arch_line
install_test_deps "$root"
source "$root/tools/wine-road.sh"
cross_build "$test_toolchain" "$test_build" LinkBench TarvoBench SocketBench ReportBench Iobrant Conduvex

trap 'wine_stop; "$root/tools/pty-ports.sh" stop "$build/ptys"' EXIT
wine_start
"$root/tools/pty-ports.sh" start "$build/ptys" 4

cd "$test_build/bin"
echo "== Serial link round trips (ciSndGetVantel97, echoing peer)"
wine_run LinkBench.exe
echo "== Iobrant stack overhead (qGetInputs against ciSndGetVantel97, module simulator)"
wine_run TarvoBench.exe 3
echo "== Socket links (ciSndGetVantel97 over TCP against a plain WinSock client; idle UDP link)"
wine_run SocketBench.exe 3
echo "== Bug report of a process with 10 threads (aim: under 300 ms)"
wine_run ReportBench.exe

echo "== Stack tracer accuracy on i686 chains of known calls (native; aim: 99% of true frames found, under 1% stale)"
CC=clang CXX=clang++ cmake -S "$root" -B "$build/native" -DCONDUVEX_PORTABLE_ONLY=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j3 --target StackAccuracyBench >/dev/null
corpus="$build/native/tests/crashkit/stack/corpus"
if [[ -f "$corpus/accuracy-corpus.chains" ]]; then
    "$corpus/StackAccuracyBench" "$corpus/accuracy-corpus.dll" "$corpus/accuracy-system.dll" "$corpus/accuracy-corpus.chains"
else
    echo "skipped: the corpus needs i686-w64-mingw32-g++-posix"
fi
