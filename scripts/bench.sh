#!/bin/sh
# Reproduces the performance table and chart of the README: builds the benchmark runner
# in build/ and writes bench/results.md and bench/results.svg. Takes several minutes,
# most of them in Python vobject, which reads under 1 MB/s.
#   scripts/bench.sh                     the table and the chart (extra options go to kova_bench)
#   scripts/bench.sh --verify [--sizes 10000]
#                                        checksums of everything read, written and logged,
#                                        compared with bench/checksums.txt
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kova_bench -j"$(nproc)" >/dev/null
if [ "${1:-}" = "--verify" ]; then
    shift
    exec build/kova_bench --verify --expect bench/checksums.txt "$@"
fi
exec build/kova_bench --md bench/results.md --svg bench/results.svg "$@"
