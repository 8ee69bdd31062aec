// Timing shared by the benchmarks: best-of-N wall time and the "name ours_ms baseline_ms ratio"
// line every benchmark prints.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace pavo::bench {

inline double time_ms(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The best of several runs (before runs untimed ahead of each), so a busy machine disturbs less.
inline double best_ms(int runs, const std::function<void()>& before,
                      const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        before();
        best = std::min(best, time_ms(work));
    }
    return best;
}

inline double best_ms(int runs, const std::function<void()>& work) {
    return best_ms(
        runs, [] {}, work);
}

inline void report(const char* name, double ours, double base, int decimals = 1) {
    std::printf("%s %.*f %.*f %.2f\n", name, decimals, ours, decimals, base,
                base > 0 ? ours / base : 0.0);
    std::fflush(stdout);
}

}  // namespace pavo::bench
