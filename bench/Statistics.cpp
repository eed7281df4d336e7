#include "bench/Statistics.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double Percentile(const std::vector<double>& sorted, double fraction) {
    size_t rank =
        static_cast<size_t>(std::lround(fraction * static_cast<double>(sorted.size() - 1)));
    return sorted[rank];
}

}  // namespace

double NowMilliseconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

Spread Summarize(std::vector<double>& samples) {
    Spread spread;
    if (samples.empty()) return spread;
    std::sort(samples.begin(), samples.end());
    spread.count = samples.size();
    spread.min = samples.front();
    spread.p10 = Percentile(samples, 0.10);
    spread.median = Percentile(samples, 0.50);
    spread.p90 = Percentile(samples, 0.90);
    spread.max = samples.back();
    return spread;
}

void PrintSpread(const char* label, const Spread& spread) {
    std::printf("  %-44s n=%-6zu min %9.3f  p10 %9.3f  median %9.3f  p90 %9.3f  max %9.3f ms\n",
                label, spread.count, spread.min, spread.p10, spread.median, spread.p90, spread.max);
}
