#include "bench/procinfo.h"

#ifdef Q_OS_WIN
#include <windows.h>
// psapi.h needs the types windows.h declares.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#ifdef Q_OS_WIN

qint64 peakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return -1;
    }
    return static_cast<qint64>(counters.PeakWorkingSetSize);
}

qint64 processCpuTimeUs() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<qint64>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10; // 100 ns ticks
}

qint64 childrenCpuTimeUs() {
    return -1; // Windows keeps no total for ended children
}

#else

qint64 peakMemoryBytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return -1;
    }
#ifdef Q_OS_MACOS
    return usage.ru_maxrss; // bytes there
#else
    return static_cast<qint64>(usage.ru_maxrss) * 1024; // kilobytes elsewhere
#endif
}

// User and system time of this process or of its ended children, in microseconds.
static qint64 cpuTimeUs(int who) {
    rusage usage{};
    if (getrusage(who, &usage) != 0) {
        return -1;
    }
    const auto us = [](const timeval& t) { return qint64(t.tv_sec) * 1000000 + t.tv_usec; };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

qint64 processCpuTimeUs() {
    return cpuTimeUs(RUSAGE_SELF);
}

qint64 childrenCpuTimeUs() {
    return cpuTimeUs(RUSAGE_CHILDREN);
}

#endif
