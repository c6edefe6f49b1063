#!/bin/sh
# Builds the fuzz targets with clang and runs one of them for a while; not run by CI.
#
#   tests/fuzz/run.sh [target] [seconds]     e.g. tests/fuzz/run.sh fuzz_versionfile 300
#
# The build goes to build-fuzz/ at the top of the tree; the growing corpus to
# build-fuzz/corpus/<target>/, seeded from tests/data/ when a seed folder is known; crashes
# to build-fuzz/findings/<target>/.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
target=${1:-fuzz_versionfile}
seconds=${2:-120}
build="$top/build-fuzz"

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$here" -B "$build" >/dev/null
cmake --build "$build" -j2 --target "$target"

corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
case "$target" in
fuzz_versionfile)
    python3 "$top/tests/data/make_versionfiles.py"
    cp "$top"/tests/data/versionfiles/* "$corpus"/ ;;
fuzz_journal)
    # A numbering run and its prefix removal over six items (one name not UTF-8, a link).
    cp "$top"/tests/data/journals/* "$corpus"/ ;;
fuzz_arrangedorder)
    # An order the target itself keeps for its own folder (the checksum it fixes up).
    FUZZ_SEED_OUT="$corpus/seed" "$build/$target" -runs=1 "$corpus" >/dev/null 2>&1 ;;
esac

"$build/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus"
