#!/bin/sh
# Builds and runs the whole test suite. --sanitize uses a separate AddressSanitizer +
# UndefinedBehaviorSanitizer build in build-asan/.
set -eu
cd "$(dirname "$0")/.."
dir=build
flags="-DKOVA_SANITIZE=OFF"
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    flags="-DKOVA_SANITIZE=ON"
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo $flags >/dev/null
cmake --build "$dir" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
