#pragma once

// What the download benchmarks share: the steady clock, order statistics and CPU time.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace bench {

inline long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Stats
{
    double min = 0, median = 0, p95 = 0, p99 = 0, max = 0;
    int count = 0;
};

inline Stats stats(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const auto at = [&](double p) { return v[std::min(v.size() - 1, size_t(p * double(v.size())))]; };
    return {v.front(), at(0.5), at(0.95), at(0.99), v.back(), int(v.size())};
}

// CPU time of the calling thread, ms.
inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// CPU time of the whole process, ms.
inline double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The machine's load, printed with every figure: timings taken under load are not comparable.
inline void printLoad()
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

} // namespace bench
