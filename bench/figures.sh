#!/bin/sh
# Runs every benchmark program and prints one Markdown table: each figure beside its
# target and whether it is met, with the date and the machine it came from.
#   bench/figures.sh [build-dir]      (default: build; built here when missing)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -x "$build/bench/bench_window" ] || [ ! -x "$build/bench/bench_link" ] ||
    [ ! -x "$build/bench/bench_report" ]; then
    tools/deps.sh
    cmake --preset linux -B "$build" >/dev/null
    cmake --build "$build" >/dev/null
fi
# The tests' desktop screen, which the window fits (the offscreen default is smaller).
export QT_QPA_PLATFORM="offscreen:configfile=$(pwd)/tests/support/screens.json"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bench/bench_window" >>"$out"
"$build/bench/bench_link" >>"$out"
"$build/bench/bench_report" >>"$out"

cpu=$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //' || uname -m)
os=$(. /etc/os-release 2>/dev/null && echo "$PRETTY_NAME" || uname -sr)
echo "Figures of $(date -u '+%Y-%m-%d %H:%M UTC') on $os, $(nproc) cores ($cpu), offscreen:"
echo
echo "| Figure | Value | Target | Met |"
echo "|---|---|---|---|"
# Each benchmark line: a name, two or more spaces, a number and its unit, then the target
# ("<= 60 ms", "< 30 ms") or a note.
awk '
    /^figure / { next }
    match($0, /  +[0-9.]+ (ms|MB|x) +/) {
        name = substr($0, 1, RSTART - 1)
        rest = substr($0, RSTART)
        split(rest, f, " ")
        value = f[1]; unit = f[2]
        target = rest; sub(/^ +[0-9.]+ (ms|MB|x) +/, "", target)
        met = ""
        if (target ~ /^<=? *[0-9.]+/) {
            limit = target; sub(/^<=? */, "", limit); limit += 0
            inclusive = (target ~ /^<=/)
            ok = inclusive ? (value + 0 <= limit) : (value + 0 < limit)
            met = ok ? "yes" : "**no**"
        } else if (target == "-") {
            target = ""
        }
        printf "| %s | %s %s | %s | %s |\n", name, value, unit, target, met
    }
' "$out"
