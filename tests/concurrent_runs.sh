#!/usr/bin/env bash
# Renames and undoes a few files over and over while two other processes list the folder
# and plan dry runs of it, as a file manager or a second Ordinello would. At the end every
# file must stand under its original name with its original content, and nothing else
# may be there.
#
# Usage: concurrent_runs.sh CLI [plain|bindfs]
#   plain   the folder as it is (run it with the no-replace refusing preload to play NFS)
#   bindfs  the folder and the state folder on a bindfs mount, a FUSE file system without
#           RENAME_NOREPLACE; exits 77 (skipped) where FUSE or bindfs is missing
# ROUNDS (default 40) and SECONDS_MAX (default 60) bound the run.
set -uo pipefail
cli=$1
mode=${2:-plain}
rounds=${ROUNDS:-40}
limit=${SECONDS_MAX:-60}
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-concurrent.XXXXXX")
mounted=
cleanup() {
    [[ -n "$mounted" ]] && { fusermount -u "$mounted" 2>/dev/null || umount "$mounted" 2>/dev/null; }
    rm -rf "$work"
}
trap cleanup EXIT

root=$work
if [[ $mode == bindfs ]]; then
    if ! command -v bindfs >/dev/null || [[ ! -e /dev/fuse ]]; then
        echo "bindfs or /dev/fuse missing: skipped"; exit 77
    fi
    mkdir "$work/under" "$work/mnt"
    if ! bindfs "$work/under" "$work/mnt" 2>/dev/null; then
        echo "bindfs cannot mount here: skipped"; exit 77
    fi
    mounted=$work/mnt
    root=$work/mnt
fi
export XDG_STATE_HOME="$root/state" XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8
items=$root/items
mkdir -p "$items"
for i in $(seq -w 1 12); do printf 'content %s\n' "$i" > "$items/photo $i.jpg"; done
ln -s "photo 01.jpg" "$items/a link"
expected=$(cd "$items" && for f in *; do printf '%s ' "$f"; [[ -L $f ]] && readlink "$f" || cat "$f"; done)

stop=$work/stop
lister() {
    while [[ ! -e $stop ]]; do
        "$cli" rename --dry-run "$items" >/dev/null 2>&1
        "$cli" strip --dry-run "$items" >/dev/null 2>&1
        "$cli" list "$items" >/dev/null 2>&1
        "$cli" undo --dry-run "$items" >/dev/null 2>&1
    done
}
lister & l1=$!
lister & l2=$!

start=$SECONDS
round=0
failed=0
while (( round < rounds && SECONDS - start < limit )); do
    round=$(( round + 1 ))
    for command in rename undo; do
        if ! "$cli" "$command" "$items" >/dev/null 2>"$work/err"; then
            echo "round $round: $command: $(cat "$work/err")"; failed=$(( failed + 1 ))
        fi
    done
done
touch "$stop"
wait $l1 $l2

actual=$(cd "$items" && for f in *; do printf '%s ' "$f"; [[ -L $f ]] && readlink "$f" || cat "$f"; done)
hidden=$(cd "$items" && ls -A | grep -c '^\.' || true)
if [[ "$actual" == "$expected" && $hidden == 0 && $failed == 0 ]]; then
    echo "$round rounds of rename and undo beside two listing loops ($mode): every file kept"
    exit 0
fi
echo "$round rounds ($mode): FAILED: $failed runs failed; the folder's names and contents afterwards:"
diff <(echo "$expected" | tr ' ' '\n') <(echo "$actual" | tr ' ' '\n') | head -20
exit 1
