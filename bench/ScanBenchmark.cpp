// What one scan costs, and what a host gains by keeping the server: every
// figure measured on the machine at hand in one run, printed with its spread,
// then the ratios against the targets.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <regex>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "bench/InProcessScan.h"
#include "bench/LineWriter.h"
#include "protocol/Protocol.h"

namespace {

constexpr size_t kShellSubPlugins = 100;
constexpr size_t kEarlyFootprint = 100;
constexpr size_t kInProcessLeakCheck = 1000;
constexpr char kSplashClass[] = "MarlowindScanServer";

// Wine's version when running under Wine; Windows has no such export.
std::string WineVersionText() {
    using WineGetVersion = const char* (*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC found = ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr;
    if (!found) return "not under Wine";
    auto wineGetVersion = reinterpret_cast<WineGetVersion>(reinterpret_cast<void*>(found));
    return std::string("Wine ") + wineGetVersion();
}

// Under Wine the Linux load average shows how busy the machine was while the
// figures were taken; elsewhere there is none to show.
void PrintLoadAverage(const char* when) {
    std::string load = ReadWholeFile(L"Z:\\proc\\loadavg");
    size_t end = load.find(' ', load.find(' ', load.find(' ') + 1) + 1);
    if (end == std::string::npos) return;
    std::printf("  load average (1, 5, 15 min) %s: %s\n", when, load.substr(0, end).c_str());
}

// Children inherit the environment: DISPLAY decides whether a program under
// Wine reaches an X display or runs without one.
void SetChildDisplay(const std::wstring& display) {
    SetEnvironmentVariableW(L"DISPLAY", display.empty() ? nullptr : display.c_str());
}

struct SplashSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindSplashWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<SplashSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64];
    if (owner == search->processId && GetClassNameA(window, className, sizeof(className)) &&
        std::strcmp(className, kSplashClass) == 0) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

bool ShowsSplashWindow(DWORD processId) {
    SplashSearch search = {processId, false};
    EnumWindows(FindSplashWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// 1. CreateProcess to the first "ready:" of `program`; for the server the
// window is looked for after each start. The first start warms Wine's caches.
void MeasureStartUp(const Settings& settings, const std::wstring& program,
                    const std::wstring& arguments, const char* label) {
    Series starts;
    size_t splashShown = 0;
    for (size_t run = 0; run <= settings.startUps; ++run) {
        PipeHost child;
        std::string banner;
        double started = NowMilliseconds();
        bool ready = child.Start(program, arguments) && child.ReadToPrompt(banner);
        double elapsed = NowMilliseconds() - started;
        if (!ready) {
            ++starts.failures;
        } else if (run > 0) {
            starts.samples.push_back(elapsed);
            if (ShowsSplashWindow(child.ProcessId())) ++splashShown;
        }
        child.Stop(kAnswerTimeout);
    }
    PrintSeries(label, starts);
    if (arguments.empty()) {
        std::printf("  %-44s splash window seen after %zu of %zu starts\n", "", splashShown,
                    starts.samples.size());
    }
}

// Wine's desktop process takes the display of its session (or none) for every
// program in it, so a start-up with a display and one without need sessions
// of their own: --display says which one this is.
void MeasureStartUps(const Paths& paths, const Settings& settings) {
    std::printf("\n1. Start-up: CreateProcess to the first \"ready:\"\n");
    if (settings.display.empty()) {
        MeasureStartUp(settings, paths.server, L"", "server without a display");
        std::printf(
            "  server with a display: taken in a Wine session with a display"
            " (--display)\n");
    } else {
        std::string label = "server with the display " + ToUtf8(settings.display);
        MeasureStartUp(settings, paths.server, L"", label.c_str());
    }
    const std::wstring linesPath = paths.work + L"start-up-lines.txt";
    if (WriteWholeFile(linesPath, "info:started\n")) {
        MeasureStartUp(settings, paths.program, LineWriterArguments(linesPath),
                       "bare console process (the line writer)");
    }
}

std::string SubPluginRequest(const std::string& shellPath, size_t id) {
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), ">%zX", id);
    return shellPath + suffix;
}

// Times each sub-plugin request of one series; false when an answer is wrong
// or does not show `mark` (how the library was come by).
bool TimeSubPlugins(PipeHost& server, const std::string& shell, const char* mark,
                    std::vector<double>& samples, std::vector<double>& totals) {
    bool right = true;
    std::string answer;
    double seriesStarted = NowMilliseconds();
    for (size_t id = 1; id <= kShellSubPlugins; ++id) {
        double started = NowMilliseconds();
        bool answered = RoundTrip(server, SubPluginRequest(shell, id), answer);
        samples.push_back(NowMilliseconds() - started);
        if (!answered || !ReportsSuccess(answer) || answer.find(mark) == std::string::npos) {
            right = false;
        }
    }
    totals.push_back(NowMilliseconds() - seriesStarted);
    return right;
}

// A CLAP or VST3 answer whose report names no error and tells whether
// instances were made.
bool ReportsListing(const std::string& answer, bool instances) {
    static const std::regex noError(">:  \"error\": *\"\",\n");
    const std::regex made(instances ? ">:  \"instances\": *true,\n"
                                    : ">:  \"instances\": *false,\n");
    return std::regex_search(answer, noError) && std::regex_search(answer, made);
}

// 9. A CLAP file of three plugins and a VST3 bundle of an audio processor and
// its controller, scanned with their instances and with the factory alone, in
// turns on one server: what reading ports, parameters and latency adds.
void MeasureInstances(const Paths& paths, const Settings& settings) {
    std::printf("\n9. Instances: each scan with its instances, and of the factory alone\n");
    PipeHost server;
    if (!StartServer(server, paths)) {
        std::printf("  !! the server did not start\n");
        return;
    }
    const size_t perBlock = std::max<size_t>(1, settings.instanceScans / settings.blocks);
    const std::string factoryOnly = ToUtf8(protocol::kFactoryOnlyRequest);
    for (const std::wstring& file : {paths.clapPlugin, paths.vst3Plugin}) {
        const std::string request = ToUtf8(file);
        Series instances, factory;
        for (size_t block = 0; block < settings.blocks; ++block) {
            TimeRequests(
                server, request, perBlock,
                [](const std::string& answer) { return ReportsListing(answer, true); }, instances);
            TimeRequests(
                server, request + factoryOnly, perBlock,
                [](const std::string& answer) { return ReportsListing(answer, false); }, factory);
        }
        std::string name = ToUtf8(file.substr(file.rfind(L'\\') + 1));
        std::printf("  %s\n", name.c_str());
        Spread with = PrintSeries("with instances", instances);
        Spread without = PrintSeries("factory alone", factory);
        std::printf("  %-44s %.2f ms a scan (%.2f times)\n", "instances add (medians)",
                    with.median - without.median, with.median / without.median);
    }
    server.Stop(kAnswerTimeout);
}

// 5. The shell's sub-plugins with its library kept loaded, and loaded afresh
// for each request: a request for another library empties the cache first,
// and a sub-plugin request that did not reuse the library frees it again.
void MeasureCacheGain(const Paths& paths, const Settings& settings) {
    std::printf("\n5. Cache gain: the %zu sub-plugins of a shell\n", kShellSubPlugins);
    if (!FileExists(paths.shellPlugin)) {
        std::printf("  skipped: %s not found\n", ToUtf8(paths.shellPlugin).c_str());
        return;
    }
    PipeHost server;
    if (!StartServer(server, paths)) {
        std::printf("  !! the server did not start\n");
        return;
    }
    const std::string fast = ToUtf8(paths.fastPlugin);
    const std::string shell = ToUtf8(paths.shellPlugin);
    std::vector<double> listings, reused, fresh, reusedTotals, freshTotals;
    size_t failures = 0;
    std::string answer;
    for (size_t round = 0; round < settings.cacheRounds; ++round) {
        if (!RoundTrip(server, fast, answer)) ++failures;
        double started = NowMilliseconds();
        bool listed = RoundTrip(server, shell, answer);
        listings.push_back(NowMilliseconds() - started);
        if (!listed || CountOccurrences(answer, "info:Found shell: ") != kShellSubPlugins) {
            ++failures;
        }
        if (!TimeSubPlugins(server, shell, "info:Re-using previous library instance...\n", reused,
                            reusedTotals)) {
            ++failures;
        }
        if (!RoundTrip(server, fast, answer)) ++failures;
        if (!TimeSubPlugins(server, shell, "info:Loading library...\n", fresh, freshTotals)) {
            ++failures;
        }
    }
    server.Stop(kAnswerTimeout);
    Spread reusedSpread = Summarize(reused);
    Spread freshSpread = Summarize(fresh);
    Spread reusedTotal = Summarize(reusedTotals);
    Spread freshTotal = Summarize(freshTotals);
    PrintSpread("listing request (library loaded)", Summarize(listings));
    PrintSpread("sub-plugin, library reused", reusedSpread);
    PrintSpread("sub-plugin, library loaded afresh", freshSpread);
    PrintSpread("all sub-plugins, library reused", reusedTotal);
    PrintSpread("all sub-plugins, library loaded afresh", freshTotal);
    PrintFailures("series", failures);
    if (reusedSpread.median > 0) {
        std::printf(
            "  gain: a reused library answers a sub-plugin request %.2fx faster"
            " (medians), %.0f ms saved per %zu sub-plugins\n",
            freshSpread.median / reusedSpread.median, freshTotal.median - reusedTotal.median,
            kShellSubPlugins);
    }
}

void PrintFootprint(const Footprint& footprint) {
    std::printf("    after %6zu requests: private bytes %10zu (%zu KiB), handles %lu\n",
                footprint.afterRequests, static_cast<size_t>(footprint.privateBytes),
                static_cast<size_t>(footprint.privateBytes / 1024), footprint.handles);
}

// Private bytes this process gains over in-process scans of one plugin: what
// loading and freeing that plugin leaves behind, whoever hosts it.
void PrintInProcessGrowth(const std::wstring& plugin, const char* name) {
    Footprint before;
    Footprint after;
    if (!ScanInProcess(plugin.c_str()) || !ReadFootprint(GetCurrentProcess(), 0, before)) return;
    for (size_t run = 0; run < kInProcessLeakCheck; ++run) {
        if (!ScanInProcess(plugin.c_str())) return;
    }
    if (!ReadFootprint(GetCurrentProcess(), kInProcessLeakCheck, after)) return;
    double grown =
        (static_cast<double>(after.privateBytes) - static_cast<double>(before.privateBytes)) /
        1024.0;
    std::printf("    %s loaded and freed %zu times in this process: %+.0f KiB\n", name,
                kInProcessLeakCheck, grown);
}

// 6. A server's private bytes and handles as requests go by: the bare test
// plugin, which has no runtime and whose load and unload leave nothing behind,
// shows the server's own; the fast plugin of figure 2 shows what a plugin's
// statically linked C++ runtime adds.
void MeasureFootprint(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n6. The server's private bytes and handles\n");
    if (!findings.fastFootprints.empty()) {
        std::printf("  fast plugin (the server of figure 2):\n");
        for (const Footprint& footprint : findings.fastFootprints) PrintFootprint(footprint);
    }
    if (!FileExists(paths.barePlugin)) {
        std::printf("  bare plugin: skipped, %s not found\n", ToUtf8(paths.barePlugin).c_str());
        return;
    }
    PipeHost server;
    if (!StartServer(server, paths)) {
        std::printf("  !! the server did not start\n");
        return;
    }
    const std::string request = ToUtf8(paths.barePlugin);
    Series roundTrips;
    for (size_t done = 1; done <= settings.footprintRequests; ++done) {
        TimeRequests(server, request, 1, ReportsSuccess, roundTrips);
        Footprint footprint;
        if ((done == kEarlyFootprint || done == 1000 || done == settings.footprintRequests) &&
            ReadFootprint(server.Process(), done, footprint)) {
            findings.bareFootprints.push_back(footprint);
        }
    }
    server.Stop(kAnswerTimeout);
    std::printf("  bare plugin (a server of its own):\n");
    for (const Footprint& footprint : findings.bareFootprints) PrintFootprint(footprint);
    PrintSeries("  round trip, bare plugin", roundTrips);
    std::printf("  whose growth it is:\n");
    PrintInProcessGrowth(paths.fastPlugin, "fast plugin");
    PrintInProcessGrowth(paths.barePlugin, "bare plugin");
}

void PrintTarget(const char* what, double value, const char* unit, const char* target, bool met) {
    std::printf("  %-48s %9.2f %-4s target %-10s %s\n", what, value, unit, target,
                met ? "met" : "MISSED");
}

void PrintGrowthTargets(const std::vector<Footprint>& footprints) {
    if (footprints.size() < 2) return;
    const Footprint& early = footprints.front();
    const Footprint& late = footprints.back();
    double grown =
        (static_cast<double>(late.privateBytes) - static_cast<double>(early.privateBytes)) / 1024.0;
    long handles = static_cast<long>(late.handles) - static_cast<long>(early.handles);
    char label[96];
    std::snprintf(label, sizeof(label), "private bytes, %zu to %zu requests (bare)",
                  early.afterRequests, late.afterRequests);
    PrintTarget(label, grown, "KiB", "<= 64 KiB", grown <= 64);
    std::snprintf(label, sizeof(label), "handles, %zu to %zu requests (bare)", early.afterRequests,
                  late.afterRequests);
    PrintTarget(label, static_cast<double>(handles), "", "0", handles <= 0);
}

void PrintOverheadTarget(const char* what, double roundTrip, double floor, double lineCost,
                         double limit) {
    if (roundTrip <= 0 || floor <= 0 || lineCost <= 0) return;
    char target[16];
    std::snprintf(target, sizeof(target), "<= %.1f", limit);
    double ratio = roundTrip / (floor + lineCost);
    PrintTarget(what, ratio, "x", target, ratio <= limit);
}

// Not a target: the round trip against a writer that takes the load and the
// free itself, so that what a freed plugin leaves behind falls on both.
void PrintLoadedWriterRatio(const char* plugin, double roundTrip, double questions,
                            double lineCostAfterLoad) {
    if (roundTrip <= 0 || lineCostAfterLoad <= 0) return;
    std::printf("  round trip / (queries + lines after load and free), %-5s %.2f x\n", plugin,
                roundTrip / (questions + lineCostAfterLoad));
}

void PrintTargets(const Findings& findings) {
    bool measured = findings.roundTrip > 0 || findings.bareFootprints.size() >= 2 ||
                    findings.jobs1 > 0 || findings.cachedRescan > 0 || findings.busyJobs1 > 0;
    if (!measured) return;
    std::printf("\nRatios against the targets (medians)\n");
    if (findings.roundTrip > 0 && findings.floor > 0 && findings.lineCost > 0) {
        double ideal = findings.floor + findings.lineCost;
        std::printf(
            "  round trip %.3f ms = floor %.3f + line cost %.3f %+.3f ms;"
            " the server's own steps, timed in-process: %.3f ms\n",
            findings.roundTrip, findings.floor, findings.lineCost, findings.roundTrip - ideal,
            findings.serverSteps);
    }
    PrintOverheadTarget("round trip / (floor + line cost), bare", findings.bareRoundTrip,
                        findings.bareFloor, findings.bareLineCost, 1.1);
    PrintOverheadTarget("round trip / (floor + line cost), fast", findings.roundTrip,
                        findings.floor, findings.lineCost, 1.2);
    PrintLoadedWriterRatio("bare", findings.bareRoundTrip, findings.bareQuestions,
                           findings.bareLineCostAfterLoad);
    PrintLoadedWriterRatio("fast", findings.roundTrip, findings.fastQuestions,
                           findings.lineCostAfterLoad);
    if (findings.roundTrip > 0 && findings.processPerPlugin > 0 && findings.startUp > 0) {
        double saved = (findings.processPerPlugin - findings.roundTrip) / findings.startUp;
        std::printf("  process per plugin %.2f ms - round trip %.2f ms, against start-up %.2f ms\n",
                    findings.processPerPlugin, findings.roundTrip, findings.startUp);
        PrintTarget("(process per plugin - round trip) / start-up", saved, "x", ">= 0.95",
                    saved >= 0.95);
    }
    PrintGrowthTargets(findings.bareFootprints);
    if (findings.busyJobs1 > 0 && findings.busyJobs2 > 0) {
        double speedUp = findings.busyJobs1 / findings.busyJobs2;
        PrintTarget("busy plugins: --jobs 1 / --jobs 2", speedUp, "x", ">= 1.6", speedUp >= 1.6);
    }
    if (findings.jobs1 > 0 && findings.jobs2 > 0) {
        double speedUp = findings.jobs1 / findings.jobs2;
        PrintTarget("fast plugins: --jobs 1 / --jobs 2", speedUp, "x", ">= 1.0", speedUp >= 1.0);
    }
    if (findings.ownPerScan > 0) {
        PrintTarget("scan-plugins' own processor time per scan", findings.ownPerScan, "ms",
                    "<= 2 ms", findings.ownPerScan <= 2);
        if (findings.readerPerScan > 0) {
            std::printf("  a host that only reads the answers (figure 2): %.2f ms a scan",
                        findings.readerPerScan);
            if (findings.libraryHostPerScan > 0) {
                std::printf("; through host/ServerProcess: %.2f ms", findings.libraryHostPerScan);
            }
            std::printf("\n");
        }
    }
    if (findings.cachedRescan > 0) {
        double seconds = findings.cachedRescan / 1000.0;
        PrintTarget("scan-plugins cached rescan of 500", seconds, "s", "< 1 s", seconds < 1.0);
    }
}

bool ParseCount(const wchar_t* text, size_t minimum, size_t& count) {
    wchar_t* end = nullptr;
    unsigned long long value = std::wcstoull(text, &end, 10);
    if (end == text || *end != 0 || value < minimum) return false;
    count = static_cast<size_t>(value);
    return true;
}

int Usage() {
    std::fputs(
        "usage: scan-benchmark [--display NAME] [--figures DIGITS] [--requests N>=1000]\n"
        "                      [--process-scans N>=100] [--blocks N] [--library-requests N]\n"
        "                      [--footprint-requests N>=1000] [--start-ups N]\n"
        "                      [--cache-rounds N] [--scan-plugins-runs N] [--busy-copies N]\n"
        "                      [--instance-scans N]\n"
        "Runs next to ScanServer-x64.exe, plugins\\, bench-plugins\\ and scan-plugins.exe.\n"
        "--display NAME: the X display of this Wine session, which every child reaches.\n"
        "--figures: the figures to measure (default 123456789); 2, 3, 4 and 7 go together,\n"
        "taken in --blocks turns.\n",
        stderr);
    return 2;
}

bool ParseSettings(int argc, wchar_t** argv, Settings& settings) {
    for (int at = 1; at < argc; at += 2) {
        if (at + 1 >= argc) return false;
        std::wstring option = argv[at];
        const wchar_t* value = argv[at + 1];
        bool valid = true;
        if (option == L"--display") {
            settings.display = value;
        } else if (option == L"--figures") {
            settings.figures = value;
        } else if (option == L"--requests") {
            valid = ParseCount(value, 1000, settings.requests);
        } else if (option == L"--footprint-requests") {
            valid = ParseCount(value, 1000, settings.footprintRequests);
        } else if (option == L"--blocks") {
            valid = ParseCount(value, 1, settings.blocks);
        } else if (option == L"--library-requests") {
            valid = ParseCount(value, 0, settings.libraryRequests);
        } else if (option == L"--process-scans") {
            valid = ParseCount(value, 100, settings.processScans);
        } else if (option == L"--start-ups") {
            valid = ParseCount(value, 1, settings.startUps);
        } else if (option == L"--cache-rounds") {
            valid = ParseCount(value, 1, settings.cacheRounds);
        } else if (option == L"--scan-plugins-runs") {
            valid = ParseCount(value, 1, settings.scanPluginsRuns);
        } else if (option == L"--busy-copies") {
            valid = ParseCount(value, 1, settings.busyCopies);
        } else if (option == L"--instance-scans") {
            valid = ParseCount(value, 1, settings.instanceScans);
        } else {
            valid = false;
        }
        if (!valid) return false;
    }
    return true;
}

Paths FindPaths() {
    Paths paths;
    std::wstring folder = ProgramDirectory();
    paths.program = folder + L"scan-benchmark.exe";
    paths.server = folder + L"ScanServer-x64.exe";
    paths.fastPlugin = folder + L"plugins\\fast.dll";
    paths.barePlugin = folder + L"plugins\\bare.dll";
    paths.busyPlugin = folder + L"plugins\\busy.dll";
    paths.shellPlugin = folder + L"bench-plugins\\shell-100.dll";
    paths.clapPlugin = folder + L"plugins\\several.clap";
    paths.vst3Plugin = folder + L"plugins\\delay.vst3";
    paths.scanPlugins = folder + L"scan-plugins.exe";
    paths.work = folder + L"bench-work\\";
    return paths;
}

void PrintSetting(const Paths& paths, const Settings& settings) {
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    std::printf("Marlowind scan server benchmark\n");
    std::printf("  machine: %lu processors, %s\n", system.dwNumberOfProcessors,
                WineVersionText().c_str());
    std::printf("  server:  %s\n", ToUtf8(paths.server).c_str());
    std::printf("  plugin:  %s\n", ToUtf8(paths.fastPlugin).c_str());
    std::printf("  display: %s\n",
                settings.display.empty() ? "none" : ToUtf8(settings.display).c_str());
    std::printf("  %zu requests for figures 2, 3 and 7, %zu for figure 6; times in ms\n",
                settings.requests, settings.footprintRequests);
    PrintLoadAverage("at the start");
}

HANDLE HandleArgument(const wchar_t* text) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(text, nullptr, 16)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The line writer child: --line-writer FILE [PLUGIN] INPUT OUTPUT OWNER.
    if ((argc == 6 || argc == 7) && std::wcscmp(argv[1], L"--line-writer") == 0) {
        const int handles = argc - 3;
        return RunLineWriter(argv[2], HandleArgument(argv[handles]),
                             HandleArgument(argv[handles + 1]), argc == 7 ? argv[3] : nullptr);
    }
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) return Usage();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Paths paths = FindPaths();
    if (!FileExists(paths.server) || !FileExists(paths.fastPlugin)) {
        std::fprintf(stderr, "scan-benchmark: %s or %s not found\n", ToUtf8(paths.server).c_str(),
                     ToUtf8(paths.fastPlugin).c_str());
        return 1;
    }
    CreateDirectoryW(paths.work.c_str(), nullptr);
    PrintSetting(paths, settings);

    // Under Wine the first process that needs the desktop starts Wine's
    // desktop process, which keeps that process's standard handles open:
    // started by a server whose standard handles are its pipes, it would hold
    // the output pipe open after the server ended. Started from here, it
    // serves every child of the run.
    SetChildDisplay(settings.display);
    GetDesktopWindow();

    Findings findings;
    if (Wants(settings, L'1')) MeasureStartUps(paths, settings);
    if (Wants(settings, L'2') || Wants(settings, L'3') || Wants(settings, L'4') ||
        Wants(settings, L'7')) {
        MeasureSideBySide(paths, settings, findings);
    }
    if (Wants(settings, L'5')) MeasureCacheGain(paths, settings);
    if (Wants(settings, L'6')) MeasureFootprint(paths, settings, findings);
    if (Wants(settings, L'8')) MeasureScanPlugins(paths, settings, findings);
    if (Wants(settings, L'9')) MeasureInstances(paths, settings);
    std::printf("\n");
    PrintLoadAverage("at the end");
    PrintTargets(findings);
    return 0;
}
