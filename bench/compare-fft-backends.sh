#!/usr/bin/env bash
# Builds the benchmark twice, with FFTW (the default) and with JUCE's own FFT behind the convolution, runs both and
# prints the realtime factors side by side, and the whole plug-in on FFTW against two bare JUCE engines on JUCE's
# FFT. That last ratio spans two runs, so it goes through the yardstick both runs share, the plain FFTW convolver:
# (plug-in / plain convolver in the FFTW run) / (bare engines / plain convolver in the JUCE-FFT run).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
for backend in ON OFF; do
    dir="$root/build-bench-fftw-$backend"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMAR_FFTW=$backend -DVELLUMAR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$dir" --parallel 3 --target vellumar-bench >/dev/null
    "$dir/bench/vellumar-bench" > "$dir/bench.txt"
done
paste <(grep -E 'Decay .*x$' "$root/build-bench-fftw-ON/bench.txt") <(grep -E 'Decay .*x$' "$root/build-bench-fftw-OFF/bench.txt" | sed 's/.*: *//') |
    awk -F'\t' '{ split ($1, a, ": *"); f = a[2] + 0; j = $2 + 0; printf "%s  FFTW %s, JUCE %s, FFTW/JUCE %.2f\n", a[1], a[2], $2, f / j }'
paste <(grep -E '^  block ' "$root/build-bench-fftw-ON/bench.txt") <(grep -E '^  block ' "$root/build-bench-fftw-OFF/bench.txt") |
    sed -E 's/^  block +([0-9]+):.*plain FFTW convolver ([0-9.]+), bare.*\t.*bare engines \/ plain FFTW convolver ([0-9.]+)$/\1 \2 \3/' |
    awk '{ printf "block %4d: whole plug-in (FFTW) / two bare JUCE engines (JUCE FFT) %.2f\n", $1, $2 / $3 }'
