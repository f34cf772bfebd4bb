#!/usr/bin/env bash
# Runs the fuzz targets of the native build (made by tools/test.sh) for longer than the tests do,
# one per core:
#   tools/fuzz.sh [SECONDS [NAME-PATTERN]]      default: 600 seconds each, every target
# Each starts from its seeds and the corpus it grew before in the build folder, and adds what it
# finds there; an input that fails is kept in tests/fuzz/failures/ of the build folder. Prints
# each target's coverage, and fails when any target failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
seconds=${1:-600}
pattern=${2:-.}
folder=$build/native/tests/fuzz
[ -d "$folder" ] || { echo "no native build in $build: run tools/test.sh first" >&2; exit 1; }
cmake --build "$build/native" -j"$(nproc)" >/dev/null || exit 1
mkdir -p "$folder/failures" "$folder/logs"

mapfile -t targets < <(cd "$folder" && ls Fuzz* 2>/dev/null | grep -E -- "$pattern")
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz target matches '$pattern'" >&2; exit 1; }
echo "${#targets[@]} targets, $seconds s each, $(nproc) at a time"
export folder seconds root
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c '
    mkdir -p "$folder/corpus/{}"
    if "$folder/{}" "$folder/corpus/{}" "$root/tests/fuzz/seeds/{}" -max_total_time="$seconds" -timeout=10 \
           -print_final_stats=1 -artifact_prefix="$folder/failures/{}-" >"$folder/logs/{}.log" 2>&1; then
        result=passed
    else
        result="FAILED (see $folder/logs/{}.log)"
    fi
    echo "{}: $(grep -o "cov: [0-9]* ft: [0-9]*" "$folder/logs/{}.log" | tail -1), $result"
    [ "$result" = passed ]'
