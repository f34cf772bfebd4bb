#!/usr/bin/env bash
# Serial peers for the tests: socat pty pairs linked into the Wine prefix as COM ports.
#
#   pty-ports.sh start DIR N   starts N pairs; pair k has ends DIR/pty<k>a and DIR/pty<k>b,
#                              linked as COM(20+2k) (the link under test) and COM(21+2k) (the peer)
#   pty-ports.sh stop DIR      stops the pairs and removes the links
#
# It also links the failure cases: COM90 to a directory (cannot open, error 5), COM91 to a
# missing file (no such port, error 2) and COM92 to /dev/null (opens, but time-outs fail).
# tests/support/SerialPeers.h holds the same numbers. Needs WINEPREFIX (a created prefix).
set -euo pipefail

readonly FIRST_PORT=20
readonly DIRECTORY_PORT=90
readonly DANGLING_PORT=91
readonly NULL_PORT=92

usage() {
    echo "usage: $0 start DIR N | stop DIR" >&2
    exit 2
}

dosdevices() {
    : "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
    mkdir -p "$WINEPREFIX/dosdevices"
    echo "$WINEPREFIX/dosdevices"
}

link_port() { # number target
    ln -sfn "$2" "$(dosdevices)/com$1"
}

unlink_port() { # number
    rm -f "$(dosdevices)/com$1"
}

wait_for_pty() { # path
    for _ in $(seq 100); do
        [ -e "$1" ] && return 0
        sleep 0.05
    done
    echo "pty $1 did not appear" >&2
    return 1
}

start() { # dir count
    # The links in the prefix must not depend on the folder the script was started from.
    local dir count=$2
    dir=$(realpath -m "$1")
    stop "$dir"
    mkdir -p "$dir/failure-cases/directory"
    for ((k = 0; k < count; k++)); do
        socat pty,raw,echo=0,link="$dir/pty${k}a" pty,raw,echo=0,link="$dir/pty${k}b" \
            >/dev/null 2>&1 &
        echo $! >>"$dir/socat.pids"
        wait_for_pty "$dir/pty${k}a"
        wait_for_pty "$dir/pty${k}b"
        link_port $((FIRST_PORT + 2 * k)) "$dir/pty${k}a"
        link_port $((FIRST_PORT + 2 * k + 1)) "$dir/pty${k}b"
    done
    echo "$count" >"$dir/pair.count"
    link_port "$DIRECTORY_PORT" "$dir/failure-cases/directory"
    link_port "$DANGLING_PORT" "$dir/failure-cases/no-such-device"
    link_port "$NULL_PORT" /dev/null
}

stop() { # dir
    local dir
    dir=$(realpath -m "$1")
    if [ -f "$dir/socat.pids" ]; then
        while read -r pid; do
            # Only our socat: the id may belong to another program after a reboot.
            if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = socat ]; then
                kill "$pid" 2>/dev/null || true
            fi
        done <"$dir/socat.pids"
        rm -f "$dir/socat.pids"
    fi
    if [ -f "$dir/pair.count" ]; then
        local count
        count=$(cat "$dir/pair.count")
        for ((port = FIRST_PORT; port < FIRST_PORT + 2 * count; port++)); do
            unlink_port "$port"
        done
        rm -f "$dir/pair.count"
    fi
    if [ -n "${WINEPREFIX:-}" ]; then
        unlink_port "$DIRECTORY_PORT"
        unlink_port "$DANGLING_PORT"
        unlink_port "$NULL_PORT"
    fi
}

[ $# -ge 2 ] || usage
case $1 in
start) [ $# -eq 3 ] || usage; start "$2" "$3" ;;
stop) stop "$2" ;;
*) usage ;;
esac
