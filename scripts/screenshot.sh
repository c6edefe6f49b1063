#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window under a private X server with a folder of
# sample photos. Needs xvfb-run and ImageMagick (convert, import).
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
work=/tmp/ordinello-screenshot
rm -rf "$work"
trap 'rm -rf "$work"' EXIT

folder="$work/Pictures/Trip to Lisbon"
mkdir -p "$folder"
# Sample pictures: gradients and plasma noise under names a camera and a person would give.
i=0
for spec in "gradient:#f9d976-#f39f86" "plasma:steelblue-lightblue" "gradient:#a1c4fd-#c2e9fb" \
            "plasma:orange-yellow" "gradient:#84fab0-#8fd3f4" "plasma:seagreen-khaki" \
            "gradient:#fbc2eb-#a6c1ee" "plasma:tomato-gold"; do
    i=$((i + 1))
    case $i in
        1) name="Tram 28.jpg" ;; 2) name="IMG_2.jpg" ;; 3) name="IMG_10.jpg" ;;
        4) name="Alfama sunset.jpg" ;; 5) name="Belém.jpg" ;; 6) name="IMG_9.jpg" ;;
        7) name="azulejos.png" ;; *) name="Pastéis de nata.jpg" ;;
    esac
    convert -size 640x480 "$spec" -seed "$i" "$folder/$name"
done
mkdir "$folder/Extras"
printf 'Day 1: Baixa, Chiado\n' > "$folder/Notes.txt"

export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8
cat > "$work/run.sh" <<INNER
#!/usr/bin/env bash
"$top/$build/bin/ordinello" "$folder" &
pid=\$!
sleep 4
import -window root "$top/docs/screenshot.png"
kill \$pid
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 720x560x24" "$work/run.sh"
echo "wrote docs/screenshot.png"
