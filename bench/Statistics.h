// The clock the benchmark times with, the spread of a series of timings, and
// how the benchmark prints it.
#pragma once

#include <cstddef>
#include <vector>

// A monotonic clock in milliseconds.
double NowMilliseconds();

struct Spread {
    size_t count = 0;
    double min = 0;
    double p10 = 0;
    double median = 0;
    double p90 = 0;
    double max = 0;
};

// Nearest-rank percentiles over the samples (which are sorted in place).
Spread Summarize(std::vector<double>& samples);

// One line: label, count, and the spread in milliseconds.
void PrintSpread(const char* label, const Spread& spread);
