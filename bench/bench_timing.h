// Timing helpers of the benchmarks that report a median in milliseconds.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

inline double MillisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
