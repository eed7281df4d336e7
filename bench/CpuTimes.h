// The processor time a run of another program takes, with its children and,
// under Wine, Wine's server: sampled from the system's process list while the
// run goes on, since a finished child can no longer be asked.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

// User and kernel time the calling thread, or the benchmark's whole process,
// has taken so far, in milliseconds (in ticks of 10 ms under Wine).
double ThreadProcessorMilliseconds();
double ProcessProcessorMilliseconds();

class CpuSampler {
public:
    // Processes created from now on are counted.
    CpuSampler();

    void Sample();

    // Seconds of processor time by image name, and Wine's server under the
    // name "wineserver" when it could be read.
    std::map<std::wstring, double> SecondsByName();

private:
    ULONGLONG startedAt_ = 0;  // FILETIME of the start
    double wineServerAtStart_ = -1;
    // (process id, creation time) -> image name, latest user + kernel time in seconds.
    std::map<std::pair<DWORD, ULONGLONG>, std::pair<std::wstring, double>> seen_;
};
