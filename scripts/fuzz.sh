#!/usr/bin/env bash
# Builds the libFuzzer targets in the sanitizer build (clang, ASan+UBSan, build-asan/) and runs each of them:
#   scripts/fuzz.sh [SECONDS]   each target for SECONDS (default 300) on its corpus in build-asan/fuzz/corpus/,
#                               which keeps growing from run to run (the seeds are added each time)
#   scripts/fuzz.sh --runs N    each target for exactly N inputs from seed 1 on a fresh copy of its seeds, as
#                               scripts/test.sh does: the same inputs every time
# An input that breaks a target is kept as build-asan/fuzz/findings/<target>-crash-* (or leak-, oom-, timeout-);
# run the target on that file alone to see it again.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so another clone of the project reuses what this one compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
build="${VELLUMAR_ASAN_BUILD_DIR:-$root/build-asan}"

seconds=300
runs=""
if [ "${1:-}" = "--runs" ]; then
    runs="${2:?--runs needs a number}"
elif [ $# -gt 0 ]; then
    seconds="$1"
fi

"$root/scripts/setup.sh"

# The same configuration as the sanitizer build of scripts/test.sh, with the fuzz targets added.
if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^VELLUMAR_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DVELLUMAR_SANITIZE=ON -DVELLUMAR_BUILD_BENCH=OFF -DVELLUMAR_FUZZ=ON >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target vellumar-fuzzers

fuzz="$build/fuzz"
mkdir -p "$fuzz/findings"
# Refused presets are reported on standard output; -close_fd_mask=1 keeps those lines out of the log.
limits=(-malloc_limit_mb=1024 -rss_limit_mb=2048 -timeout=20 -close_fd_mask=1)
status=0

for target in state preset wav cmdline; do
    if [ -n "$runs" ]; then
        corpus="$fuzz/ci-corpus/$target"
        rm -rf "$corpus"
        mkdir -p "$corpus"
        cp "$fuzz/seeds/$target/"* "$corpus/"
        length=(-runs="$runs" -seed=1)
    else
        corpus="$fuzz/corpus/$target"
        mkdir -p "$corpus"
        cp -n "$fuzz/seeds/$target/"* "$corpus/"
        length=(-max_total_time="$seconds")
    fi

    echo "Fuzzing $target: ${length[*]}"
    started=$SECONDS
    if "$fuzz/vellumar-fuzz-$target" "${limits[@]}" "${length[@]}" -artifact_prefix="$fuzz/findings/$target-" \
           -print_final_stats=1 "$corpus" >"$fuzz/$target.log" 2>&1; then
        echo "  passed: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$fuzz/$target.log" | grep -o '[0-9]*$') inputs in $((SECONDS - started)) s"
    else
        echo "  FAILED; the end of $fuzz/$target.log:"
        tail -n 40 "$fuzz/$target.log"
        status=1
    fi
done

exit $status
