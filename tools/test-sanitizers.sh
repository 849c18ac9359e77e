#!/bin/sh
# The whole test suite once more, built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer (leak checking on) and warnings as errors. Every process the
# tests start writes its reports to one folder; any report fails the run.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh clang libclang-rt-14-dev poppler-utils
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DBREVANE_WERROR=ON -DBREVANE_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan
reports=$(pwd)/build-asan/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
status=0
ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan:strict_string_checks=1" \
UBSAN_OPTIONS="print_stacktrace=1:log_path=$reports/ubsan" \
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure || status=$?
if [ -n "$(ls -A "$reports")" ]; then
    cat "$reports"/*
    echo "sanitizer reports (above)"
    exit 1
fi
exit $status
