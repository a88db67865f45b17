#pragma once
// Best-of-several timing for the benchmarks, in milliseconds of wall time and
// of the process's processor time: on a busy machine the processor time is the
// steadier of the two, the wall time also holds the waits for the disk.

#include <algorithm>
#include <chrono>
#include <ctime>

namespace plimbury::bench {

inline double processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Timing {
    double wall = 1e300;
    double cpu = 1e300;
};

// `prepare` runs before each run, outside the time taken.
template <class Prepare, class F>
Timing best(int runs, Prepare&& prepare, F&& f)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double cpuStart = processCpuMs();
        const auto start = std::chrono::steady_clock::now();
        f();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        t.wall = std::min(t.wall, took.count());
        t.cpu = std::min(t.cpu, processCpuMs() - cpuStart);
    }
    return t;
}

template <class F>
Timing best(int runs, F&& f)
{
    return best(runs, [] {}, f);
}

} // namespace plimbury::bench
