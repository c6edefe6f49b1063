#!/usr/bin/env bash
# Runs every benchmark against a build. Usage: bench/run-all.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
here=$(dirname "$0")
for script in "$here"/*.sh; do
    [[ "$(basename "$script")" == run-all.sh ]] && continue
    echo "== $(basename "$script")"
    bash "$script" "$build"
done
for program in "$build"/bench/bench_*; do
    [[ -x "$program" && "$(basename "$program")" != bench_reference_* ]] || continue
    echo "== $(basename "$program")"
    "$program"
done
