#!/usr/bin/env bash
# Builds the DLLs and the demo host, starts the Tarvo module simulator on a pty linked as
# COM9 of the Wine prefix, runs the host under Wine against it, and stops the simulator.
# Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
com_port=9

source "$root/tools/test-arch.sh"
choose_test_arch
test_arch_line
install_test_deps "$root"
source "$root/tools/wine-road.sh"
# The product is always built; the demo runs the build of the architecture that runs here.
cross_build "$root/cmake/toolchain-mingw-i686.cmake" "$build/win" DemoHost Iobrant Conduvex
[ "$TEST_ARCH" = i686 ] || cross_build "$test_toolchain" "$test_build" DemoHost Iobrant Conduvex

started=$(mktemp)
simulator=
stop() {
    [ -n "$simulator" ] && kill "$simulator" 2>/dev/null && wait "$simulator" 2>/dev/null
    rm -f "$started"
    wine_stop
    test_arch_line
}
trap stop EXIT
wine_start

# One module at address 1 with 8 inputs, 8 outputs and a thermometer; it prints one JSON
# line with its control port once it listens.
python3 "$root/tools/module_sim.py" --link "$WINEPREFIX/dosdevices/com$com_port" --control 0 \
        --address 1 --inputs 8 --outputs 8 --thermometers 1 >"$started" &
simulator=$!
for _ in $(seq 100); do
    grep -q '"control"' "$started" && break
    sleep 0.1
done
control=$(sed -n 's/.*"control": *\([0-9]*\).*/\1/p' "$started")
[ -n "$control" ] || { echo "the module simulator did not start" >&2; exit 1; }

cd "$test_build/bin"
wine_run DemoHost.exe "$com_port" "$control"
