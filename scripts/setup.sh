#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the tools need. Safe to run again: it is quiet
# and installs nothing when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache git patch
    juce-modules-source
    libasound2-dev libfreetype-dev libfontconfig1-dev libx11-dev libxcomposite-dev libxcursor-dev libxext-dev
    libxinerama-dev libxrandr-dev libxrender-dev libpng-dev libjpeg-dev zlib1g-dev
    libfftw3-dev
    libgtest-dev libgmock-dev
    lame
    xvfb xauth libxtst-dev
    fonts-league-spartan
    clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
