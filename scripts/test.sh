#!/usr/bin/env bash
# Sets up, builds everything (plug-in formats, tools, tests, benchmarks) and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELLUMAR_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
