#!/bin/sh
# Static checks: clang-format; no POSIX or Windows header outside platform/ (and the
# stand-in's pseudo-terminal, the CLI's terminal test and the benchmarks' process figures);
# the map in docs/DEVELOPING.md; a warning-free gcc build; clang-tidy (the repo's
# .clang-tidy) and cppcheck. Fails on any finding.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh clang-format clang-tidy cppcheck

echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== POSIX and Windows headers stay in platform/ and the programs' own system seams"
if git grep -nE '#include <(unistd|termios|fcntl|signal|poll|pty|dirent|sys/[a-z_]+|windows|winbase|psapi)\.h>' -- '*.cpp' '*.h' \
    ':!platform/' ':!nc-sim/pty_posix.cpp' ':!cli/terminal.cpp' ':!bench/procinfo.cpp'; then
    echo "POSIX or Windows headers outside platform/ and the programs' own seams (above)"
    exit 1
fi

echo "== the map in docs/DEVELOPING.md matches the tree"
tools/check-map.py

echo "== gcc build, warnings as errors"
cmake -S . -B build-gcc -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ -DBREVANE_WERROR=ON >/dev/null
cmake --build build-gcc

echo "== clang-tidy"
# Our folders, as .clang-tidy lists them for headers.
folders=$(sed -n "s/^HeaderFilterRegex: '\^\.\*\/(\(.*\))\/.*/\1/p" .clang-tidy)
[ -n "$folders" ] || { echo "no folder list in .clang-tidy" >&2; exit 1; }
run-clang-tidy-14 -p build-gcc -quiet "$(pwd)/($folders)/" >build-gcc/clang-tidy.log 2>&1 || {
    grep -E "(warning|error):" build-gcc/clang-tidy.log | sort -u
    echo "clang-tidy found the above"
    exit 1
}

echo "== cppcheck"
git ls-files '*.cpp' | xargs cppcheck --enable=warning,performance,portability --std=c++20 --library=qt \
    --inline-suppr --quiet --error-exitcode=1 -I. -j2 \
    --suppress=missingIncludeSystem --suppress=missingInclude --suppress=unmatchedSuppression
echo "static checks clean"
