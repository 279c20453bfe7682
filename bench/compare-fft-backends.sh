#!/usr/bin/env bash
# Builds the benchmark twice, with FFTW and with JUCE's own FFT behind the convolution, runs both and prints
# the realtime factors side by side with their ratio.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
for backend in ON OFF; do
    dir="$root/build-bench-fftw-$backend"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMAR_FFTW=$backend -DVELLUMAR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$dir" --parallel "$(nproc)" --target vellumar-bench >/dev/null
    "$dir/bench/vellumar-bench" > "$dir/bench.txt"
done
paste <(grep -E 'Decay .*x$' "$root/build-bench-fftw-ON/bench.txt") <(grep -E 'Decay .*x$' "$root/build-bench-fftw-OFF/bench.txt" | sed 's/.*: *//') |
    awk -F'\t' '{ split ($1, a, ": *"); f = a[2] + 0; j = $2 + 0; printf "%s  FFTW %s, JUCE %s, FFTW/JUCE %.2f\n", a[1], a[2], $2, f / j }'
