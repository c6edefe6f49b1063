#!/usr/bin/env bash
# Checks the Debian package `make package` built: lintian finds no errors, and unpacked
# into a temporary root it holds every part in its standard place and its command line
# runs from there. Usage: scripts/check-package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
shopt -s nullglob
debs=("$build"/ordinello_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "check-package: expected one ordinello_*.deb in $build" >&2; exit 1; }
deb=${debs[0]}

echo "== lintian $(basename "$deb")"
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error "$deb"

root=$(mktemp -d "${TMPDIR:-/tmp}/ordinello-package.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for file in usr/bin/ordinello usr/bin/ordinello-cli \
            usr/lib/ordinello/libordinello-thumbnails.so \
            usr/share/applications/org.ordinello.Ordinello.desktop \
            usr/share/metainfo/org.ordinello.Ordinello.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/org.ordinello.Ordinello.svg \
            usr/share/doc/ordinello/copyright usr/share/doc/ordinello/changelog.gz \
            usr/share/ordinello/help/en/index.html usr/share/ordinello/help/it/index.html; do
    [[ -e "$root/$file" ]] || { echo "check-package: $file is missing" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "check-package: no library dependencies" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q qt6-translations-l10n || { echo "check-package: Qt's translations are not a dependency" >&2; exit 1; }
desktop-file-validate "$root/usr/share/applications/org.ordinello.Ordinello.desktop"

# The installed program answers --version without a display.
[[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/ordinello" --version)" == ordinello\ * ]] \
    || { echo "check-package: the installed ordinello --version needs a display" >&2; exit 1; }

# The installed command line lists a folder.
folder="$root/folder"
mkdir "$folder" && touch "$folder/file10" "$folder/file9"
[[ "$("$root/usr/bin/ordinello-cli" list "$folder")" == $'file9\nfile10' ]] \
    || { echo "check-package: the installed ordinello-cli does not list" >&2; exit 1; }
echo "check-package: $(basename "$deb") is complete"
