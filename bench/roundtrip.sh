#!/usr/bin/env bash
# The round trip `ordinello-cli rename` then `ordinello-cli strip` (each run journaled)
# against the floor program doing the same required work without a journal
# (bench_reference_floor), on folders of 10,000 and 100,000 items; and the peak memory of
# the program's round trip. Usage: bench/roundtrip.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
cli="$build/bin/ordinello-cli"
floor="$build/bench/bench_reference_floor"
runs=${RUNS:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-bench-roundtrip.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" LC_ALL=C.UTF-8

make_items() {
    rm -rf "$work/items"; mkdir "$work/items"
    (cd "$work/items" && seq 0 $(( $1 - 1 )) | sed 's/^/holiday photo /; s/$/.jpg/' | xargs -d '\n' touch)
    sync -f "$work/items"
}

# Wall time of rename then strip, in milliseconds.
round_trip_ms() {
    local start end
    start=$(date +%s%N)
    "$1" rename "$work/items" >/dev/null
    "$1" strip "$work/items" >/dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
}

median() {
    sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

printf '%-8s %12s %12s %7s %18s\n' items "cli ms" "floor ms" ratio "cli peak MiB"
for n in ${ITEMS:-10000 100000}; do
    cli_times=() floor_times=()
    for _ in $(seq "$runs"); do
        make_items "$n"; floor_times+=("$(round_trip_ms "$floor")")
        make_items "$n"; cli_times+=("$(round_trip_ms "$cli")")
    done
    make_items "$n"
    peak_rename=$(/usr/bin/time -f %M "$cli" rename "$work/items" 2>&1 >/dev/null | tail -1)
    peak_strip=$(/usr/bin/time -f %M "$cli" strip "$work/items" 2>&1 >/dev/null | tail -1)
    peak=$(( peak_rename > peak_strip ? peak_rename : peak_strip ))
    c=$(printf '%s\n' "${cli_times[@]}" | median)
    f=$(printf '%s\n' "${floor_times[@]}" | median)
    printf '%-8s %12s %12s %7s %18s\n' "$n" "$c" "$f" "$(echo "scale=3; $c / $f" | bc)" \
        "$(echo "scale=1; $peak / 1024" | bc)"
done
