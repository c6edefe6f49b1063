#!/usr/bin/env bash
# Kills `ordinello-cli rename` (also renumbering a reversed list, where items trade names
# through temporary ones), `strip` and `undo` with SIGKILL at random moments of their runs,
# then checks that `ordinello-cli undo` brings back exactly the names the folder had, each
# on its own object (bytes included: a name that is not UTF-8, a symbolic link and an
# AppleDouble file are among the items), that no object is left with two names and that
# no mark is left on an item.
#
# Usage: bench/killtest.sh [BUILD_DIR]
#   ROUNDS (10), ITEMS (20000) change the size; BINDFS=1 runs on a bindfs mount (a FUSE file
#   system without RENAME_NOREPLACE), with the state folder on it too; exits 77 where FUSE
#   or bindfs is missing.
set -euo pipefail
build=${1:-build}
cli="$(cd "$build" && pwd)/bin/ordinello-cli"
rounds=${ROUNDS:-10}
items=${ITEMS:-20000}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-killtest.XXXXXX")
mounted=
cleanup() {
    [[ -n "$mounted" ]] && { fusermount -u "$mounted" 2>/dev/null || umount "$mounted" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT

root=$work under=$work
if [[ ${BINDFS:-0} == 1 ]]; then
    if ! command -v bindfs >/dev/null || [[ ! -e /dev/fuse ]]; then echo "bindfs or /dev/fuse missing: skipped"; exit 77; fi
    mkdir "$work/under" "$work/mnt"
    bindfs "$work/under" "$work/mnt" || { echo "bindfs cannot mount here: skipped"; exit 77; }
    mounted=$work/mnt root=$work/mnt under=$work/under
fi
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$root/state" LC_ALL=C.UTF-8

# Waits until the run has written its plan (the renames begin after that), then a random
# moment more, and kills it.
kill_somewhere() {
    local pid=$1
    until compgen -G "$root/state/Ordinello/journal/*/*.journal" >/dev/null || ! kill -0 "$pid" 2>/dev/null; do
        sleep 0.01
    done
    sleep "0.$(printf '%03d' $(( RANDOM % 400 )))"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

failures=0
for round in $(seq "$rounds"); do
    rm -rf "$root/items" "$root/state"; mkdir "$root/items"
    if (( round % 4 == 3 )); then
        # Renumbering the reversed list: item k and item n+1-k trade names, each pair through
        # a temporary name.
        (cd "$root/items" && seq 1 "$items" | sed 's/$/ photo/' | xargs -d '\n' touch)
    else
        (cd "$root/items" && seq 0 $(( items - 1 )) | sed 's/^/1 photo /' | xargs -d '\n' touch)
    fi
    touch "$root/items/"$'caf\xe9 not utf-8' "$root/items/._1 photo 7"
    ln -s /nonexistent "$root/items/1 a link"
    ls -A "$root/items" > "$work/before"
    # Names with the objects they hold: renumbering trades names, so the names alone
    # could come back right on the wrong objects.
    before=$(ls -Ai "$root/items" | sort | md5sum)
    args=()
    case $(( round % 4 )) in
        0) command=rename ;;
        1) command=strip ;;
        2) command=undo; "$cli" rename "$root/items" >/dev/null 2>&1 || true ;;
        3) command=rename
           "$cli" list "$root/items" | tac > "$work/reversed"
           args=(--replace-numbers --width 0 --order "$work/reversed") ;;
    esac
    "$cli" "$command" "${args[@]}" "$root/items" >/dev/null 2>&1 & pid=$!
    kill_somewhere "$pid"
    changed=$(ls -A "$root/items" | comm -3 "$work/before" - | wc -l)
    "$cli" undo "$root/items" >/dev/null 2>&1 || true
    after=$(ls -Ai "$root/items" | sort | md5sum)
    # Link counts and marks are read beneath the mount: FUSE caches link counts.
    doubled=$(find "$under/items" -mindepth 1 ! -type d -links +1 | wc -l)
    marked=$(getfattr -R -h -d -m '^user\.org\.ordinello' "$under/items" 2>/dev/null | grep -c '^user' || true)
    if [[ "$before" == "$after" && $doubled == 0 && $marked == 0 ]]; then
        echo "round $round ($command ${args[*]:0:1}): killed with $changed names changed; names restored"
    else
        echo "round $round ($command ${args[*]:0:1}): killed with $changed names changed; NAMES DIFFER or $doubled objects with two names, $marked marks"
        failures=$(( failures + 1 ))
    fi
done
echo "$failures of $rounds rounds failed"
[[ $failures == 0 ]]
