#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build-fuzz/ and runs each for a bounded time, default 60 seconds:
#     tools/fuzz.sh [seconds] [target...]
# Starts from the seed corpus in tests/fuzz/corpus/<target>/, which is only read; new
# inputs go to a scratch corpus (build-fuzz/corpus/<target>/, or $FUZZ_SCRATCH/<target>/).
# Fails on any crash, sanitizer report or broken invariant; the input that did it is
# kept as build-fuzz/findings/<target>-crash-*.
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets="${*:-fuzz_reply fuzz_blockreply fuzz_brvfile}"
build=build-fuzz
scratch="${FUZZ_SCRATCH:-$build/corpus}"

tools/deps.sh clang libclang-rt-14-dev
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DBREVANE_FUZZ=ON \
    -DBREVANE_BUILD_TESTS=OFF -DBREVANE_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086 # the target list is split on purpose
cmake --build "$build" -j2 --target $targets

mkdir -p "$build/findings"
failed=""
for t in $targets; do
    mkdir -p "$scratch/$t"
    echo "== $t: $seconds s"
    # Leaks are checked too; Qt's one-time allocations are freed at exit.
    if ! "$build/tests/fuzz/$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
        "$scratch/$t" "tests/fuzz/corpus/$t" >"$build/findings/$t.log" 2>&1; then
        failed="$failed $t"
        tail -n 40 "$build/findings/$t.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ *DONE)' \
        "$build/findings/$t.log" || true
done
if [ -n "$failed" ]; then
    echo "fuzzing found faults in:$failed (inputs in $build/findings/)"
    exit 1
fi
echo "fuzzing: no findings"
