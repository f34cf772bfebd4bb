#!/usr/bin/env bash
# Builds the DLLs and the demo host, installs the DLLs as they ship (cmake --install into
# <build>/shipped), starts the Tarvo module simulator on a pty linked as COM9 of the Wine prefix,
# runs the host under Wine against it with the shipped DLLs beside it, as a host application
# installs them, and stops the simulator. Installs what is missing first.
#
#   tools/demo.sh                      the whole road
#   tools/demo.sh DLL-FOLDER HOST-EXE  only the run, in the Wine of WINEARCH and WINEPREFIX (as the
#                                      shipped-folder test runs it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
com_port=9

host_folder=
simulator=
# The host in a folder of its own with copies of the folder's DLLs beside it.
run_demo() { # dll-folder host-exe
    host_folder=$(mktemp -d)
    local started=$host_folder/simulator.json
    cp "$1"/*.dll "$2" "$host_folder/"

    # One module at address 1 with 8 inputs, 8 outputs and a thermometer; it prints one JSON
    # line with its control port once it listens.
    python3 "$root/tools/module_sim.py" --link "${WINEPREFIX:-$HOME/.wine}/dosdevices/com$com_port" --control 0 \
            --address 1 --inputs 8 --outputs 8 --thermometers 1 >"$started" &
    simulator=$!
    for _ in $(seq 100); do
        grep -q '"control"' "$started" && break
        sleep 0.1
    done
    local control
    control=$(sed -n 's/.*"control": *\([0-9]*\).*/\1/p' "$started")
    [ -n "$control" ] || { echo "the module simulator did not start" >&2; return 1; }
    cd "$host_folder"
    wine_run "$(basename "$2")" "$com_port" "$control"
}

stop_demo() {
    [ -n "$simulator" ] && kill "$simulator" 2>/dev/null && wait "$simulator" 2>/dev/null
    [ -z "$host_folder" ] || rm -rf "$host_folder"
}

if [ $# -eq 2 ]; then
    source "$root/tools/wine-env.sh"
    trap stop_demo EXIT
    run_demo "$1" "$2"
    exit
fi

source "$root/tools/test-arch.sh"
choose_test_arch
test_arch_line
install_test_deps "$root"
source "$root/tools/wine-road.sh"
# The product is always built; the demo runs the build of the architecture that runs here.
cross_build "$root/cmake/toolchain-mingw-i686.cmake" "$build/win" DemoHost Iobrant Conduvex
[ "$TEST_ARCH" = i686 ] || cross_build "$test_toolchain" "$test_build" DemoHost Iobrant Conduvex
cmake --install "$test_build" --prefix "$test_build/shipped" >/dev/null

trap 'stop_demo; wine_stop; test_arch_line' EXIT
wine_start
run_demo "$test_build/shipped/bin" "$test_build/bin/DemoHost.exe"
