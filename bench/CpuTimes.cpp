#include "bench/CpuTimes.h"

#include <winternl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "bench/Footprint.h"

namespace {

// The times winternl.h leaves among its reserved bytes of a process entry, at
// their documented places: creation, user and kernel time, in 100 ns units.
constexpr size_t kCreateTimeOffset = 32;
constexpr size_t kUserTimeOffset = 40;
constexpr size_t kKernelTimeOffset = 48;
constexpr double kHundredNanosecondsPerSecond = 1e7;
// Linux reports a process's times in ticks of 1/100 s.
constexpr double kLinuxTicksPerSecond = 100;

ULONGLONG Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

ULONGLONG ReadTime(const unsigned char* entry, size_t offset) {
    LARGE_INTEGER value;
    std::memcpy(&value, entry + offset, sizeof(value));
    return static_cast<ULONGLONG>(value.QuadPart);
}

// Under Wine the server opens files on the program's behalf, so the file
// /proc/self/stat, opened through drive Z:, is Wine's server's own; its name
// field tells whether that held. Fields 14 and 15 are user and system time.
double WineServerSeconds() {
    std::string stat = ReadWholeFile(L"Z:\\proc\\self\\stat");
    size_t nameEnd = stat.rfind(')');
    if (stat.find("(wineserver") == std::string::npos || nameEnd == std::string::npos) return -1;
    std::vector<std::string> fields;
    size_t at = nameEnd + 2;
    while (at < stat.size() && fields.size() < 13) {
        size_t end = stat.find(' ', at);
        if (end == std::string::npos) break;
        fields.push_back(stat.substr(at, end - at));
        at = end + 1;
    }
    if (fields.size() < 13) return -1;
    // fields[0] is field 3 (the state), so utime and stime are fields[11] and [12].
    return (std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr)) /
           kLinuxTicksPerSecond;
}

double Milliseconds(const FILETIME& time) {
    return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime) /
           kHundredNanosecondsPerSecond * 1000;
}

}  // namespace

double ThreadProcessorMilliseconds() {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) return 0;
    return Milliseconds(kernel) + Milliseconds(user);
}

double ProcessProcessorMilliseconds() {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
    return Milliseconds(kernel) + Milliseconds(user);
}

CpuSampler::CpuSampler() : startedAt_(Now()), wineServerAtStart_(WineServerSeconds()) {}

void CpuSampler::Sample() {
    std::vector<unsigned char> buffer;
    if (!ReadProcessList(buffer)) return;
    for (size_t offset = 0;;) {
        const unsigned char* raw = buffer.data() + offset;
        auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(raw);
        ULONGLONG created = ReadTime(raw, kCreateTimeOffset);
        if (created >= startedAt_ && entry->ImageName.Buffer && entry->ImageName.Length > 0) {
            double seconds = static_cast<double>(ReadTime(raw, kUserTimeOffset) +
                                                 ReadTime(raw, kKernelTimeOffset)) /
                             kHundredNanosecondsPerSecond;
            DWORD id = static_cast<DWORD>(reinterpret_cast<uintptr_t>(entry->UniqueProcessId));
            seen_[{id, created}] = {
                std::wstring(entry->ImageName.Buffer, entry->ImageName.Length / sizeof(wchar_t)),
                seconds};
        }
        if (entry->NextEntryOffset == 0) break;
        offset += entry->NextEntryOffset;
    }
}

std::map<std::wstring, double> CpuSampler::SecondsByName() {
    std::map<std::wstring, double> byName;
    for (const auto& process : seen_) byName[process.second.first] += process.second.second;
    double wineServer = WineServerSeconds();
    if (wineServerAtStart_ >= 0 && wineServer >= 0) {
        byName[L"wineserver"] = wineServer - wineServerAtStart_;
    }
    return byName;
}
