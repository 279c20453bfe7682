#!/usr/bin/env bash
# Sets up, builds everything (plug-in formats, tools, tests, benchmarks) and runs the whole test suite; the tests
# that exercise several threads also run in a ThreadSanitizer build, and the whole suite once more in an
# AddressSanitizer and UndefinedBehaviorSanitizer build (clang).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so another clone of the project reuses what this one compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
build="${VELLUMAR_BUILD_DIR:-$root/build}"
tsan="${VELLUMAR_TSAN_BUILD_DIR:-$root/build-tsan}"
asan="${VELLUMAR_ASAN_BUILD_DIR:-$root/build-asan}"
asan_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
              -DVELLUMAR_SANITIZE=ON -DVELLUMAR_FUZZ=ON -DVELLUMAR_BUILD_BENCH=OFF)

"$root/scripts/setup.sh" --tests
"$root/scripts/build.sh"

echo "[$((SECONDS / 60)) min] ThreadSanitizer: tests whose names contain Concurrency"
if [ ! -f "$tsan/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMAR_TSAN=ON -DVELLUMAR_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$tsan" --parallel "$(nproc)" --target vellumar-tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$tsan/tests/vellumar-tests" --gtest_filter='*Concurrency*' --gtest_brief=1


echo
echo "[$((SECONDS / 60)) min] AddressSanitizer and UndefinedBehaviorSanitizer: the whole suite"
cmake -S "$root" -B "$asan" -G Ninja "${asan_options[@]}" >/dev/null
# Only what the suite and the fuzz runs use: the tests, the programs and bundles they start, the fuzz targets.
cmake --build "$asan" --parallel "$(nproc)" --target vellumar-tests vellumar-hosting-tests vellumar-irgen-tests \
    vellumar-fuzzers
(
    # Exported, so that the programs the tests start (vellumar-render, the window check, the Standalone) run under
    # the same rules: the first error of any kind ends the program with a failure and a stack trace, and leaks
    # fail it too, except the few of JUCE's named in the suppressions.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
    ASAN_OPTIONS+=":check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/sanitizer-suppressions/lsan.txt:print_suppressions=0"
    cd "$asan"
    ctest --output-on-failure --parallel "$(nproc)" --timeout 900
)

echo
echo "[$((SECONDS / 60)) min] Fuzz targets (fuzz/), in the same build: a fixed number of inputs from fixed seeds, about a minute in all"
VELLUMAR_ASAN_BUILD_DIR="$asan" "$root/scripts/fuzz.sh" --runs 10000

echo
echo "[$((SECONDS / 60)) min] The whole suite"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
echo "[$((SECONDS / 60)) min] Done"
