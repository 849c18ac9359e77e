#pragma once

#include <QtGlobal>

// Figures about the running process, for the benchmark programs.

// The most memory the process has held at once (resident set), in bytes.
qint64 peakMemoryBytes();
// Processor time (user and system) the process has used so far, in microseconds.
qint64 processCpuTimeUs();
// Processor time of the child processes that have ended and been waited for, in
// microseconds; -1 where the system keeps no such total (Windows).
qint64 childrenCpuTimeUs();
