#!/usr/bin/env bash
# Configures (once) and builds the given targets, or everything, in build/ (Release).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so another clone of the project reuses what this one compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
build="${VELLUMAR_BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi

if [ $# -gt 0 ]; then
    targets=()
    for t in "$@"; do targets+=(--target "$t"); done
    cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
else
    cmake --build "$build" --parallel "$(nproc)"
fi
