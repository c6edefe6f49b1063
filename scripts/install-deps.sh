#!/usr/bin/env bash
# Installs the Debian 12 packages Ordinello needs to build, test and run, when they are missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-translations-l10n libgl-dev libqt6svg6
    libicu-dev libplist-dev libglib2.0-dev zlib1g-dev shared-mime-info
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libexiv2-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good dbus
    xvfb xauth desktop-file-utils appstream dpkg-dev lintian
    hicolor-icon-theme adwaita-icon-theme fonts-dejavu-core
    bindfs fuse3 attr
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
