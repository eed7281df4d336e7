// Figure 8: scan-plugins over a folder of copies of the fast plugin, with one
// job and with two (runs taken in turns), then with a cache twice, the second
// time with nothing changed.
#include <cstdio>

#include "bench/Bench.h"
#include "bench/CpuTimes.h"
#include "host/ArgumentQuoting.h"
#include "platform/KernelHandles.h"

namespace {

constexpr DWORD kRunTimeout = 600000;
constexpr DWORD kSampleMilliseconds = 50;

// `count` copies of `plugin` named `prefix`-NNN.dll in `folder`, and nothing else.
bool PrepareCopies(const std::wstring& plugin, const wchar_t* prefix, size_t count,
                   const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"*").c_str(), &found));
    if (search.IsValid()) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW((folder + found.cFileName).c_str());
            }
        } while (FindNextFileW(search.Get(), &found));
    }
    for (size_t copy = 0; copy < count; ++copy) {
        wchar_t name[64];
        std::swprintf(name, 64, L"%ls-%03zu.dll", prefix, copy);
        if (!CopyFileW(plugin.c_str(), (folder + name).c_str(), FALSE)) return false;
    }
    return true;
}

// Runs a program to its end with its standard streams on NUL, sampling the
// processor time of it and its children; false when it could not start, did
// not end in time or ended with an exit code other than 0.
bool RunProgram(const std::wstring& program, const std::wstring& arguments, CpuSampler& sampler) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                               nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.Get();
    startup.hStdOutput = nul.Get();
    startup.hStdError = nul.Get();
    std::wstring commandLine = QuoteArgument(program) + L" " + arguments;
    PROCESS_INFORMATION created = {};
    BOOL launched = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &created);
    nul.Close();
    if (!launched) return false;
    UniqueHandle thread(created.hThread);
    UniqueHandle process(created.hProcess);
    DWORD exitCode = 1;
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < kRunTimeout; waited += kSampleMilliseconds) {
        sampler.Sample();
        ended = WaitForSingleObject(process.Get(), kSampleMilliseconds) == WAIT_OBJECT_0;
    }
    if (ended) {
        GetExitCodeProcess(process.Get(), &exitCode);
    } else {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    return exitCode == 0;
}

// Processor time of one kind of run, summed over its runs.
struct ProcessorTime {
    std::map<std::wstring, double> seconds;
    double wallSeconds = 0;
    size_t runs = 0;
};

struct ScanPluginsRun {
    const Paths& paths;
    std::wstring folder;
    // What every copy's name holds, and how many copies there are.
    std::string mark;
    size_t copies;

    // One timed run; a run whose output does not name every copy failed.
    void Time(const std::wstring& options, Series& series, ProcessorTime& time) const {
        const std::wstring outPath = paths.work + L"scan-plugins-out.json";
        DeleteFileW(outPath.c_str());
        CpuSampler sampler;
        double started = NowMilliseconds();
        bool ran = RunProgram(
            paths.scanPlugins,
            options + L" --out " + QuoteArgument(outPath) + L" " + QuoteArgument(folder), sampler);
        double elapsed = NowMilliseconds() - started;
        if (!ran || CountOccurrences(ReadWholeFile(outPath), mark.c_str()) < copies) {
            ++series.failures;
            return;
        }
        series.samples.push_back(elapsed);
        for (const auto& process : sampler.SecondsByName()) {
            time.seconds[process.first] += process.second;
        }
        time.wallSeconds += elapsed / 1000;
        ++time.runs;
    }
};

// What kept the processors busy during one kind of run, per run.
void PrintProcessorTime(const char* label, const ProcessorTime& time) {
    if (time.runs == 0) return;
    double total = 0;
    std::string parts;
    for (const auto& process : time.seconds) {
        double seconds = process.second / static_cast<double>(time.runs);
        total += seconds;
        char part[128];
        std::snprintf(part, sizeof(part), "%s%s %.2f", parts.empty() ? "" : ", ",
                      ToUtf8(process.first).c_str(), seconds);
        parts += part;
    }
    double wall = time.wallSeconds / static_cast<double>(time.runs);
    std::printf("    %-34s %s; %.2f s in %.2f s: %.2f processors busy\n", label, parts.c_str(),
                total, wall, total / wall);
}

// scan-plugins' own processor time per scan over the runs of one kind, in ms.
double OwnMillisecondsPerScan(const ProcessorTime& time, size_t copies) {
    auto own = time.seconds.find(L"scan-plugins.exe");
    if (own == time.seconds.end() || time.runs == 0) return 0;
    return own->second * 1000 / static_cast<double>(time.runs * copies);
}

}  // namespace

void MeasureScanPlugins(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n8. scan-plugins over %zu copies of the fast plugin\n", settings.pluginCopies);
    if (!FileExists(paths.scanPlugins)) {
        std::printf("  skipped: %s not found\n", ToUtf8(paths.scanPlugins).c_str());
        return;
    }
    ScanPluginsRun run{paths, paths.work + L"copies\\", "fast-", settings.pluginCopies};
    if (!PrepareCopies(paths.fastPlugin, L"fast", run.copies, run.folder)) {
        std::printf("  !! could not copy the plugin into %s\n", ToUtf8(run.folder).c_str());
        return;
    }
    const std::wstring cachePath = paths.work + L"scan-plugins-cache.json";
    DeleteFileW(cachePath.c_str());
    const std::wstring cached = L"--jobs 2 --cache " + QuoteArgument(cachePath);
    Series oneJob, twoJobs, cacheFill, rescans;
    ProcessorTime oneJobTime, twoJobsTime, cacheFillTime, rescanTime;
    for (size_t turn = 0; turn < settings.scanPluginsRuns; ++turn) {
        run.Time(L"--jobs 1", oneJob, oneJobTime);
        run.Time(L"--jobs 2", twoJobs, twoJobsTime);
    }
    run.Time(cached, cacheFill, cacheFillTime);
    for (size_t turn = 0; turn < settings.scanPluginsRuns; ++turn) {
        run.Time(cached, rescans, rescanTime);
    }

    Spread oneJobSpread = PrintSeries("--jobs 1", oneJob);
    Spread twoJobsSpread = PrintSeries("--jobs 2", twoJobs);
    PrintSeries("--jobs 2 --cache, empty cache", cacheFill);
    Spread rescanSpread = PrintSeries("--jobs 2 --cache, nothing changed", rescans);
    std::printf("  processor time per run, in seconds, by program:\n");
    PrintProcessorTime("--jobs 1", oneJobTime);
    PrintProcessorTime("--jobs 2", twoJobsTime);
    PrintProcessorTime("--jobs 2 --cache, nothing changed", rescanTime);
    double ownOneJob = OwnMillisecondsPerScan(oneJobTime, run.copies);
    double ownTwoJobs = OwnMillisecondsPerScan(twoJobsTime, run.copies);
    std::printf(
        "  scan-plugins' own processor time per scan: %.2f ms (--jobs 1), %.2f ms (--jobs 2)\n",
        ownOneJob, ownTwoJobs);
    if (oneJob.failures + twoJobs.failures + cacheFill.failures + rescans.failures == 0) {
        findings.jobs1 = oneJobSpread.median;
        findings.jobs2 = twoJobsSpread.median;
        findings.cachedRescan = rescanSpread.median;
        findings.ownPerScan = (ownOneJob + ownTwoJobs) / 2;
    }

    std::printf(
        "\n8b. scan-plugins over %zu copies of the busy plugin (about 20 ms of processor time"
        " in its entry point)\n",
        settings.busyCopies);
    ScanPluginsRun busy{paths, paths.work + L"busy-copies\\", "busy-", settings.busyCopies};
    if (!FileExists(paths.busyPlugin) ||
        !PrepareCopies(paths.busyPlugin, L"busy", busy.copies, busy.folder)) {
        std::printf("  skipped: %s not found or not copied\n", ToUtf8(paths.busyPlugin).c_str());
        return;
    }
    Series busyOneJob, busyTwoJobs;
    ProcessorTime busyOneJobTime, busyTwoJobsTime;
    for (size_t turn = 0; turn < settings.scanPluginsRuns; ++turn) {
        busy.Time(L"--jobs 1", busyOneJob, busyOneJobTime);
        busy.Time(L"--jobs 2", busyTwoJobs, busyTwoJobsTime);
    }
    Spread busyOneSpread = PrintSeries("--jobs 1", busyOneJob);
    Spread busyTwoSpread = PrintSeries("--jobs 2", busyTwoJobs);
    std::printf("  processor time per run, in seconds, by program:\n");
    PrintProcessorTime("--jobs 1", busyOneJobTime);
    PrintProcessorTime("--jobs 2", busyTwoJobsTime);
    if (busyOneJob.failures + busyTwoJobs.failures > 0) return;
    findings.busyJobs1 = busyOneSpread.median;
    findings.busyJobs2 = busyTwoSpread.median;
}
