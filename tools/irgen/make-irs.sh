#!/usr/bin/env bash
# Builds vellumar-irgen in a scratch directory and regenerates the built-in
# impulse responses, REPORT.md and the report pictures in resources/ir/.
#
#   tools/irgen/make-irs.sh            regenerate resources/ir/
#   tools/irgen/make-irs.sh --check    regenerate into a scratch directory and
#                                      verify it is byte-identical to resources/ir/
#
# Needs cmake, a C++17 compiler, zlib (zlib1g-dev) and lame (apt package lame).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
target="$repo/resources/ir"
mode="${1:-generate}"

command -v lame >/dev/null || { echo "make-irs: lame is not installed (apt-get install lame)" >&2; exit 1; }

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vellumar-irgen.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

cmake -S "$here" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DVELLUMAR_IRGEN_TESTS=OFF >/dev/null
cmake --build "$scratch/build" --parallel "$(nproc 2>/dev/null || echo 2)" >/dev/null

case "$mode" in
  generate)
    mkdir -p "$target"
    # Remove what an earlier run wrote so renamed or dropped responses do not linger.
    rm -f "$target"/*.mp3 "$target"/report*.png "$target"/REPORT.md
    "$scratch/build/vellumar-irgen" "$target"
    echo "make-irs: wrote $(ls "$target"/*.mp3 | wc -l) responses to $target"
    ;;
  --check)
    "$scratch/build/vellumar-irgen" "$scratch/out" >/dev/null
    status=0
    for f in "$scratch/out"/* "$target"/*; do
      name="$(basename "$f")"
      # The list of embedded files is kept by hand, not generated.
      [ "$name" = files.cmake ] && continue
      if ! cmp -s "$scratch/out/$name" "$target/$name"; then
        echo "make-irs: $name differs" >&2
        status=1
      fi
    done
    [ "$status" -eq 0 ] && echo "make-irs: resources/ir is byte-identical to a fresh generation"
    exit "$status"
    ;;
  *)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac
