#!/usr/bin/env bash
# Sets up, builds everything (plug-in formats, tools, tests, benchmarks) and runs the whole test suite; the tests
# that exercise several threads also run in a ThreadSanitizer build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELLUMAR_BUILD_DIR:-$root/build}"
tsan="${VELLUMAR_TSAN_BUILD_DIR:-$root/build-tsan}"

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

echo "ThreadSanitizer: tests whose names contain Concurrency"
if [ ! -f "$tsan/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMAR_TSAN=ON -DVELLUMAR_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$tsan" --parallel "$(nproc)" --target vellumar-tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$tsan/tests/vellumar-tests" --gtest_filter='*Concurrency*' --gtest_brief=1

# ---- Fuzzing (fuzz/): each libFuzzer target for a fixed number of inputs from fixed seeds, about a minute in all.
# scripts/fuzz.sh builds the targets in the sanitizer build (build-asan, with -DVELLUMAR_FUZZ=ON) first.
echo
echo "Fuzz targets, a fixed number of inputs each"
VELLUMAR_ASAN_BUILD_DIR="${VELLUMAR_ASAN_BUILD_DIR:-$root/build-asan}" "$root/scripts/fuzz.sh" --runs 10000
# ---- end of fuzzing

echo
echo "The whole suite"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
