#!/usr/bin/env bash
# Times quitting: from Ctrl+Q to the end of the process, with the window showing a folder
# of 300 large photos whose pictures are still being made. Runs under a private X server
# (xvfb-run) with a window manager (openbox); xdotool types the key.
# Needs, beyond the project's own packages: xdotool openbox imagemagick
#   (apt-get install xdotool openbox imagemagick; they are not dependencies of Ordinello).
# Usage: bench/quit-time.sh [BUILD_DIR]   (default: build). RUNS=7 runs by default.
set -euo pipefail
build=$(realpath "${1:-build}")
program="$build/bin/ordinello"
runs=${RUNS:-7}
photos=${PHOTOS:-300}
for tool in xvfb-run openbox xdotool convert; do
    command -v "$tool" >/dev/null || { echo "quit-time: $tool is missing (see the header)" >&2; exit 0; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-bench-quit.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Three distinct 24-megapixel photos, each under 100 names (hard links: the pictures are
# made per name, the disk holds three files).
mkdir -p "$work/photos" "$work/originals"
for i in 0 1 2; do
    convert -size 750x500 -seed "$i" "plasma:fractal" -resize 6000x4000 -quality 90 "$work/originals/$i.jpg"
done
for n in $(seq 1 "$photos"); do
    ln "$work/originals/$(( n % 3 )).jpg" "$work/photos/IMG_$(printf %04d "$n").jpg"
done

cat > "$work/one-run.sh" <<'INNER'
#!/usr/bin/env bash
# Inside the X server: start the window manager and the program, wait for the window and
# for pictures to be in the making, press Ctrl+Q, print the milliseconds until exit.
set -euo pipefail
program=$1 folder=$2 home=$3
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data"
export ORDINELLO_SITE_URL=http://127.0.0.1:1   # no update check over the network
"$program" "$folder" >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --onlyvisible --name "^$(basename "$folder")" | head -1)
sleep 0.3   # the pictures of the rows in view are being made now
kill -0 "$pid" || { echo "quit-time: the program ended before the key" >&2; exit 1; }
xdotool windowactivate --sync "$window" 2>/dev/null || true
start=$(date +%s%N)
xdotool key ctrl+q   # to the focused window, through the XTEST extension
wait "$pid" || true
end=$(date +%s%N)
kill "$wm" 2>/dev/null || true
echo $(( (end - start) / 1000000 ))
INNER
chmod +x "$work/one-run.sh"

times=()
for r in $(seq "$runs"); do
    home="$work/home$r"   # a fresh picture cache each run
    mkdir -p "$home/config" "$home/cache" "$home/data"
    ms=$(xvfb-run -a -s "-screen 0 1600x1000x24" "$work/one-run.sh" "$program" "$work/photos" "$home" | tail -1)
    times+=("$ms")
    echo "run $r: ${ms} ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
echo "quit time (Ctrl+Q to exit), median of $runs: ${median} ms"
