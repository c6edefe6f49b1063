#!/usr/bin/env bash
# ordinello-cli rename --dry-run, rename and undo on one folder of many items (a million by
# default): wall time and peak memory of each, and the ratios of the dry run and of undo
# to rename. A dry run should never cost more than the run it plans; undo about what the
# run cost. Usage: bench/dryrun-undo.sh [BUILD_DIR]   (ITEMS, RUNS to change)
set -euo pipefail
build=${1:-build}
cli="$build/bin/ordinello-cli"
items=${ITEMS:-1000000}
runs=${RUNS:-1}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-bench-dryrun.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" LC_ALL=C.UTF-8
mkdir "$work/items"
(cd "$work/items" && seq 0 $(( items - 1 )) | sed 's/^/holiday photo /; s/$/.jpg/' | xargs -d '\n' touch)

# "seconds peak-KiB" of one command.
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time" "$cli" "$@" >/dev/null 2>&1 || true
    cat "$work/time"
}
median() { sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }

dry_t=() dry_m=() run_t=() run_m=() undo_t=() undo_m=()
for _ in $(seq "$runs"); do
    read -r t m < <(measure rename --dry-run "$work/items"); dry_t+=("$t"); dry_m+=("$m")
    read -r t m < <(measure rename "$work/items"); run_t+=("$t"); run_m+=("$m")
    read -r t m < <(measure undo "$work/items"); undo_t+=("$t"); undo_m+=("$m")
done
dt=$(printf '%s\n' "${dry_t[@]}" | median) dm=$(printf '%s\n' "${dry_m[@]}" | median)
rt=$(printf '%s\n' "${run_t[@]}" | median) rm=$(printf '%s\n' "${run_m[@]}" | median)
ut=$(printf '%s\n' "${undo_t[@]}" | median) um=$(printf '%s\n' "${undo_m[@]}" | median)
printf '%s items, median of %s\n' "$items" "$runs"
printf '  rename --dry-run %7.2f s %7d MiB   (dry / rename: time %.2f, memory %.2f)\n' "$dt" $(( dm / 1024 )) \
    "$(echo "$dt / $rt" | bc -l)" "$(echo "$dm / $rm" | bc -l)"
printf '  rename           %7.2f s %7d MiB\n' "$rt" $(( rm / 1024 ))
printf '  undo             %7.2f s %7d MiB   (undo / rename: time %.2f, memory %.2f)\n' "$ut" $(( um / 1024 )) \
    "$(echo "$ut / $rt" | bc -l)" "$(echo "$um / $rm" | bc -l)"
