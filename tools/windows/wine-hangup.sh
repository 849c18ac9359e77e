#!/bin/sh
# Shows a trap of Wine's own, with the smallest Windows program that meets it: the program
# opens COM1 (a Linux pseudo-terminal behind it), closes it, and after the line has hung
# up asks the Wine server for an event. The Wine server opens the device itself; being a
# session leader without a terminal, it gets the line as its controlling terminal, and
# when the far end closes, the kernel sends it SIGHUP, on which it writes a dump of all
# its objects (over a megabyte) to its standard error. Where that is a pipe nobody reads,
# the server blocks in that write and every Wine process waits on it: a window goes deaf.
# Run twice: with the server's standard error to a file (the program goes on) and to a
# pipe nobody reads (it never does).
set -eu
cd "$(dirname "$0")/../.."
tools/deps.sh wine wine64 g++-mingw-w64-x86-64-posix
. tools/windows/wine-env.sh
wine_workdir wine-hangup
cat >"$out/hangup.c" <<'C'
#include <stdio.h>
#include <windows.h>
int main(void) {
    HANDLE port = CreateFileW(L"\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (port == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(port);
    printf("opened and closed COM1\n");
    fflush(stdout);
    Sleep(3000); /* the line hangs up meanwhile */
    CloseHandle(CreateEventW(NULL, TRUE, FALSE, NULL));
    printf("alive after the hang-up\n");
    return 0;
}
C
x86_64-w64-mingw32-gcc-posix -o "$out/hangup.exe" "$out/hangup.c"

attempt() { # $1: where the server's standard error goes
    wine_prefix "$out/prefix"
    wine_standin 1 "$out" --quiet
    sim=$standin
    rm -f "$out/pipe"
    mkfifo "$out/pipe"
    sleep 60 <"$out/pipe" & # holds the pipe open, reads nothing
    reader=$!
    if [ "$1" = pipe ]; then
        wineserver -p 2>"$out/pipe" >/dev/null
    else
        wineserver -p 2>"$out/server.log" >/dev/null
        : >"$out/pipe"
    fi
    timeout 15 $wine64 "$out/hangup.exe" >"$out/said.txt" 2>/dev/null &
    program=$!
    sleep 1.5
    kill $sim
    status=0
    wait $program || status=$?
    echo "server's standard error to a $1: $(tr '\n' ' ' <"$out/said.txt")(status $status)"
    kill $reader 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    sleep 1
}
attempt file
attempt pipe
