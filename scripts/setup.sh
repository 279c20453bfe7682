#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the tools need. Safe to run again: it is quiet
# and installs nothing when everything is already there.
# With --tests it also installs what only the test command uses: the bundles that define LV2 itself and a
# collection of other LV2 plug-ins, so that the suite meets a machine as a Linux audio user has it (the hosting
# tests must see only this build's bundle there), and tries to install Ardour, for the test that runs the plug-in
# in a real DAW. A machine whose package sources lack Ardour still builds and tests; that one test then says why it
# is skipped. The main job (the demo) never pulls in a DAW.
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

missing_of() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "${1:-}" = "--tests" ]; then
    mapfile -t missing < <(missing_of lv2-dev x42-plugins)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing for the tests: ${missing[*]}"
        "${sudo_cmd[@]}" apt-get update -qq
        "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi

    mapfile -t missing < <(missing_of ardour)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing for the Ardour test: ${missing[*]}"
        "${sudo_cmd[@]}" apt-get update -qq
        if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
            echo "Could not install ${missing[*]}; the Ardour test will be skipped."
        fi
    fi
fi
