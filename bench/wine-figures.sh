#!/bin/sh
# The Windows build's serial figures under Wine, against the Linux controller stand-in on a
# Wine COM port: brevane-cli.exe download against the paced stand-in beside the wire-time
# floor, then through the stand-in's 16 ms USB adapter beside the Linux brevane-cli's
# download through the same, and the processor time of one unanswered wait (verify against
# a stand-in that never answers, less verify against one that answers at once: the same run
# without the wait).
# Then brevane-cli.exe report of a full table, the whole process with Wine's start-up.
#   bench/wine-figures.sh      (run tools/windows/build.sh first)
# The transfer's time is the trace's, from the port opened to the port closed; Wine's own
# start-up is left out of it, and shown apart as the whole process's time.
set -eu
cd "$(dirname "$0")/.."
cli=$(find build-windows -name brevane-cli.exe -not -path '*/zip/*' 2>/dev/null | head -n 1)
[ -n "$cli" ] || { echo "no brevane-cli.exe in build-windows/: run tools/windows/build.sh first" >&2; exit 2; }
tools/deps.sh wine wine64 python3
. tools/windows/wine-env.sh
wine_workdir wine-figures
sim=
trap 'wine_stop; kill ${sim:-} 2>/dev/null || true' EXIT
wine_prefix "$out/prefix"
qt=${QT_MINGW_PREFIX:-$HOME/.cache/brevane/qt6-mingw64}
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
cli="Z:$(pwd)/$cli"
port=25 # above 16, as USB adapters often are
head -c 576 /dev/urandom >"$out/SITE.BRV"
site="Z:$out/SITE.BRV"

# The stand-in with these arguments, mapped to COM$port; the Wine session started afresh.
stand_in() {
    [ -z "$sim" ] || { kill "$sim"; wait "$sim" 2>/dev/null || true; }
    wine_standin $port "$out" --quiet "$@"
    sim=$standin
    wineserver -p >/dev/null 2>&1
    $wine64 cmd /c exit >/dev/null 2>&1
}

# Runs brevane-cli.exe with these arguments and prints: wall ms, the process's processor ms
# (its threads and the Wine loader's, from its rusage), wineserver's processor ms meanwhile,
# and the trace's ms from the port opened to the port closed.
measure() {
    python3 - "$@" <<'PY'
import os, re, subprocess, sys, time
# This prefix's wineserver only: others may run beside it.
prefix = ('WINEPREFIX=' + os.environ['WINEPREFIX']).encode()
def server_ns():
    total = 0
    for pid in os.listdir('/proc'):
        try:
            if (open(f'/proc/{pid}/comm').read().startswith('wineserver') and
                    prefix in open(f'/proc/{pid}/environ', 'rb').read().split(b'\0')):
                total += int(open(f'/proc/{pid}/schedstat').read().split()[0])
        except (OSError, ValueError):
            pass
    return total
server = server_ns()
start = time.monotonic()
# --native: the Linux program itself, without Wine.
command = sys.argv[2:] if sys.argv[1] == '--native' else ['/usr/lib/wine/wine64'] + sys.argv[1:]
child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
err = child.stderr.read().decode(errors='replace')
_, status, usage = os.wait4(child.pid, 0)
wall = (time.monotonic() - start) * 1000
stamps = [float(m) for m in re.findall(r'^ *(\d+\.\d+) ms  ', err, re.M)]
opened = [float(m) for m in re.findall(r'^ *(\d+\.\d+) ms  opened', err, re.M)]
closed = [float(m) for m in re.findall(r'^ *(\d+\.\d+) ms  closed', err, re.M)]
trace = closed[-1] - opened[0] if opened and closed else -1
print(f'{wall:.3f} {(usage.ru_utime + usage.ru_stime) * 1000:.3f} '
      f'{(server_ns() - server) / 1e6:.3f} {trace:.3f} {os.waitstatus_to_exitcode(status)}')
PY
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Column $1 of the measurements in file $2, their median.
column() {
    awk -v c="$1" '{ print $c }' "$2" | median
}

stand_in
: >"$out/download"
for _ in 1 2 3 4 5 6 7; do
    measure "$cli" download "$site" --port $port --trace >>"$out/download"
done
awk '$5 != 0 { print "download failed: status " $5; exit 1 }' "$out/download"

# The Linux brevane-cli reaches the same line through COM$port of a ports folder of its own.
stand_in --adapter-latency 16
mkdir -p "$out/home/Orvik Tessaly Net/ports"
ln -sf "$(head -n 1 "$out/sim$port.out")" "$out/home/Orvik Tessaly Net/ports/COM$port"
: >"$out/adapter" && : >"$out/adapter-linux"
for _ in 1 2 3 4 5 6 7; do
    measure "$cli" download "$site" --port $port --trace >>"$out/adapter"
    HOME="$out/home" measure --native build/cli/brevane-cli download "$out/SITE.BRV" --port $port \
        --trace >>"$out/adapter-linux"
done
awk '$5 != 0 { print "download through the adapter failed: status " $5; exit 1 }' \
    "$out/adapter" "$out/adapter-linux"

stand_in --no-pacing
: >"$out/answered"
for _ in 1 2 3; do
    measure "$cli" verify "$site" --port $port --trace >>"$out/answered"
done
stand_in --no-pacing --fault silent
: >"$out/unanswered"
for _ in 1 2 3; do
    measure "$cli" verify "$site" --port $port --trace >>"$out/unanswered"
done
awk '$5 != 52 { print "the silent stand-in answered: status " $5; exit 1 }' "$out/unanswered"

# Every link in use on both sides: the longest site record.
i=0
while [ $i -lt 64 ]; do
    printf '\001\000\000\000\001\000\000\000\000'
    i=$((i + 1))
done >"$out/FULL.BRV"
: >"$out/report"
for _ in 1 2 3 4 5 6 7; do
    measure "$cli" report "Z:$out/FULL.BRV" >>"$out/report"
done
awk '$5 != 0 { print "report failed: status " $5; exit 1 }' "$out/report"

floor=356.771 # 1370 characters at 38400 baud, ten bits each
transfer=$(column 4 "$out/download")
adapter=$(column 4 "$out/adapter")
adapterLinux=$(column 4 "$out/adapter-linux")
waitWall=$(column 4 "$out/unanswered")
cpuSilent=$(column 2 "$out/unanswered")
cpuAnswered=$(column 2 "$out/answered")
serverSilent=$(column 3 "$out/unanswered")
serverAnswered=$(column 3 "$out/answered")
echo "Wine figures of $(date -u '+%Y-%m-%d %H:%M UTC'), $($wine64 --version), COM$port:"
echo
echo "| Figure | Value | Target | Met |"
echo "|---|---|---|---|"
awk -v f="$floor" -v t="$transfer" -v w="$(column 1 "$out/download")" -v a="$adapter" -v al="$adapterLinux" \
    -v r="$(column 1 "$out/report")" -v ws="$waitWall" -v cs="$cpuSilent" -v ca="$cpuAnswered" -v ss="$serverSilent" -v sa="$serverAnswered" 'BEGIN {
    printf "| Download wire-time floor (1370 characters) | %.3f ms | (38400 baud, 10 bits a character) |  |\n", f
    printf "| brevane-cli.exe download paced, port opened to closed (median of 7) | %.3f ms |  |  |\n", t
    printf "| that / floor | %.3f x | <= 1.10 x | %s |\n", t / f, (t / f <= 1.10 ? "yes" : "**no**")
    printf "| brevane-cli.exe download paced, whole process with Wine start-up (median of 7) | %.3f ms |  |  |\n", w
    printf "| Linux brevane-cli download, 16 ms adapter, port opened to closed (median of 7) | %.3f ms (%.3f x) |  |  |\n", al, al / f
    printf "| brevane-cli.exe download, 16 ms adapter, port opened to closed (median of 7) | %.3f ms (%.3f x) | <= Linux + 2 %% | %s |\n", a, a / f, (a <= al * 1.02 ? "yes" : "**no**")
    printf "| unanswered verify, port opened to closed (median of 3) | %.3f ms | (5000 ms) |  |\n", ws
    printf "| processor time of that verify, whole process (median of 3) | %.3f ms |  |  |\n", cs
    printf "| processor time of an answered verify, whole process (median of 3) | %.3f ms |  |  |\n", ca
    printf "| processor time in the 5 s wait (the difference) | %.3f ms | < 50 ms | %s |\n", cs - ca, (cs - ca < 50 ? "yes" : "**no**")
    printf "| wineserver processor time in the 5 s wait (difference of medians) | %.3f ms | < 50 ms | %s |\n", ss - sa, (ss - sa < 50 ? "yes" : "**no**")
    printf "| brevane-cli.exe report of a full table, whole process with Wine start-up (median of 7) | %.3f ms | (Linux: <= 300 ms) |  |\n", r
}'
