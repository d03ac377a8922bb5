#!/bin/sh
# Builds the libFuzzer harnesses of fuzz/ with clang-14 (ASan + UBSan) in build-fuzz/ and
# runs each for the given number of seconds (default 60), one after the other:
#   scripts/fuzz.sh [seconds] [harness...]      e.g. scripts/fuzz.sh 3600 read_objects
# Seeds come from fuzz/corpus/<harness>/; what the fuzzer finds goes to
# build-fuzz/corpus/<harness>/, crashes to build-fuzz/artifacts/. Exits 1 on a finding.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
harnesses=${*:-"read_objects store recurrence_rule dates quoted_printable value_text registry"}
jobs=$(nproc); [ "$jobs" -gt 2 ] && jobs=2
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
targets=""
for h in $harnesses; do targets="$targets fuzz_$h"; done
cmake --build build-fuzz -j"$jobs" --target $targets
mkdir -p build-fuzz/artifacts
status=0
passed=0
failed=0
for h in $harnesses; do
    mkdir -p "build-fuzz/corpus/$h"
    dict=""
    [ -f "fuzz/$h.dict" ] && dict="-dict=fuzz/$h.dict"
    echo "== $h: $seconds s"
    rc=0
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    nice -n 10 "build-fuzz/fuzz/fuzz_$h" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 $dict \
        -artifact_prefix="build-fuzz/artifacts/$h-" \
        "build-fuzz/corpus/$h" "fuzz/corpus/$h" 2>"build-fuzz/$h.log" || rc=1
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|^==[0-9]+==ERROR|SUMMARY' \
        "build-fuzz/$h.log" || true
    if [ $rc -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    [ $rc -eq 0 ] || { status=1; echo "fuzz: $h found a problem, see build-fuzz/$h.log"; tail -40 "build-fuzz/$h.log"; }
done
echo "fuzz: $passed passed, $failed failed"
exit $status
