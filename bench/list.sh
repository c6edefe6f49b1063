#!/usr/bin/env bash
# Times `ordinello-cli list` against the reference lister (readdir + ICU sort keys) on
# folders of 10,000 and 100,000 items, and reports the peak memory of each.
# Usage: bench/list.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
cli="$build/bin/ordinello-cli"
ref="$build/bench/bench_reference_list"
runs=${RUNS:-7}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-bench-list.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Wall time of one run, in milliseconds.
run_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
}

median() {
    sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

peak_kib() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

printf '%-8s %12s %12s %7s %14s %14s\n' items "cli ms" "ref ms" ratio "cli peak MiB" "ref peak MiB"
for n in 10000 100000; do
    dir="$work/$n"
    mkdir -p "$dir"
    # Names like a photo set: mixed case, digit runs, a few accents.
    (cd "$dir" && seq 1 "$n" | awk '{ printf "IMG_%d %s.jpg\n", $1, ($1 % 7 == 0 ? "Été" : "beach") }' | xargs -d '\n' touch)
    cmp <("$cli" list "$dir") <("$ref" "$dir") >/dev/null || echo "note: orders differ at $n items (ties or filtering)"
    # Interleaved, so both see the same machine load.
    cli_times=() ref_times=()
    for _ in $(seq "$runs"); do
        cli_times+=("$(run_ms "$cli" list "$dir")")
        ref_times+=("$(run_ms "$ref" "$dir")")
    done
    cli_ms=$(printf '%s\n' "${cli_times[@]}" | median)
    ref_ms=$(printf '%s\n' "${ref_times[@]}" | median)
    cli_kib=$(peak_kib "$cli" list "$dir")
    ref_kib=$(peak_kib "$ref" "$dir")
    printf '%-8s %12s %12s %7.2f %14.1f %14.1f\n' "$n" "$cli_ms" "$ref_ms" \
        "$(echo "$cli_ms / $ref_ms" | bc -l)" "$(echo "$cli_kib / 1024" | bc -l)" "$(echo "$ref_kib / 1024" | bc -l)"
done
