#!/usr/bin/env bash
# Kills `ordinello-cli rename` and `strip` with SIGKILL at random moments of their runs,
# then checks that `ordinello-cli undo` brings back exactly the names the folder had
# (bytes included: a name that is not UTF-8, a symbolic link and an AppleDouble file are
# among the items). Usage: bench/killtest.sh [BUILD_DIR]   (ROUNDS, ITEMS to change)
set -euo pipefail
build=${1:-build}
cli="$build/bin/ordinello-cli"
rounds=${ROUNDS:-10}
items=${ITEMS:-20000}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-killtest.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" LC_ALL=C.UTF-8

failures=0
for round in $(seq "$rounds"); do
    rm -rf "$work/items" "$work/state"; mkdir "$work/items"
    (cd "$work/items" && seq 0 $(( items - 1 )) | sed 's/^/1 photo /' | xargs -d '\n' touch)
    touch "$work/items/"$'caf\xe9 not utf-8' "$work/items/._1 photo 7"
    ln -s /nonexistent "$work/items/1 a link"
    ls -A "$work/items" > "$work/before"
    before=$(md5sum < "$work/before")
    command=$([[ $(( round % 2 )) == 0 ]] && echo rename || echo strip)
    "$cli" "$command" "$work/items" 2>/dev/null & pid=$!
    # Once the plan is on disk the renames begin: kill somewhere among them.
    until compgen -G "$work/state/Ordinello/journal/*/*.journal" >/dev/null || ! kill -0 "$pid" 2>/dev/null; do
        sleep 0.01
    done
    sleep "0.$(printf '%03d' $(( RANDOM % 400 )))"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    renamed=$(ls -A "$work/items" | comm -13 "$work/before" - | wc -l)
    "$cli" undo "$work/items" >/dev/null 2>&1 || true
    after=$(ls -A "$work/items" | md5sum)
    if [[ "$before" == "$after" ]]; then
        echo "round $round ($command): killed after $renamed renames; names restored"
    else
        echo "round $round ($command): killed after $renamed renames; NAMES DIFFER"; failures=$(( failures + 1 ))
    fi
done
echo "$failures of $rounds rounds failed"
[[ $failures == 0 ]]
