#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Brackenfold needs.
# Idempotent and non-interactive; does nothing (quickly) when all are present. zenity gives the
# file and folder choosers the desktop's own dialog (new folders, several folders at once); without
# it the app falls back to a chooser of its own. xdg-utils brings xdg-open, through which the app
# opens folders, the manual and the report in the browser.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    juce-modules-source
    libflac-dev libpng-dev zlib1g-dev libjpeg-dev
    libasound2-dev libfreetype-dev libfontconfig1-dev fonts-dejavu-core
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev libxcomposite-dev
    libgtest-dev libgmock-dev libbenchmark-dev libebur128-dev
    xvfb xauth
    zenity xdg-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
