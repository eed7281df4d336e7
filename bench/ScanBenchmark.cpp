// What one scan costs, and what a host gains by keeping the server: every
// figure measured on the machine at hand in one run, printed with its spread,
// then the ratios against the targets.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/InProcessScan.h"
#include "bench/LineWriter.h"
#include "bench/Statistics.h"
#include "host/ServerProcess.h"

namespace {

constexpr DWORD kAnswerTimeout = 30000;
constexpr DWORD kScanPluginsTimeout = 600000;
constexpr size_t kShellSubPlugins = 100;
constexpr size_t kWarmUpScans = 20;
constexpr char kSplashClass[] = "MarlowindScanServer";
constexpr char kSuccessfulReport[] = "\n>:  \"error\":     \"\",\n";

struct Settings {
    size_t requests = 10000;   // round trip, floor and line cost
    size_t memorySample = 100;  // the early footprint, compared with the one after all requests
    size_t startUps = 20;
    size_t processScans = 100;
    size_t cacheRounds = 5;
    size_t scanPluginsRuns = 3;
    size_t pluginCopies = 500;
    std::wstring display;  // empty: start-up with a display is skipped
};

struct Paths {
    std::wstring program;
    std::wstring server;
    std::wstring fastPlugin;
    std::wstring shellPlugin;
    std::wstring scanPlugins;
    std::wstring work;
};

struct Footprint {
    size_t afterRequests = 0;
    SIZE_T privateBytes = 0;
    DWORD handles = 0;
};

// What the run found, for the ratios at the end; a zero median means "not measured".
struct Findings {
    double roundTrip = 0;
    double floor = 0;
    double lineCost = 0;
    double processPerPlugin = 0;
    std::vector<Footprint> footprints;
    double jobs1 = 0;
    double jobs2 = 0;
    double cachedRescan = 0;
};

double NowMilliseconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

std::string ToUtf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                        bytes, nullptr, nullptr);
    return utf8;
}

std::wstring Quote(const std::wstring& argument) {
    return argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return complete;
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

size_t CountOccurrences(const std::string& text, const char* needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

// Wine's version when running under Wine, looked up because Windows has no such export.
std::string WineVersionText() {
    using WineGetVersion = const char* (*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC found = ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr;
    if (!found) return "not under Wine";
    auto wineGetVersion = reinterpret_cast<WineGetVersion>(reinterpret_cast<void*>(found));
    return std::string("Wine ") + wineGetVersion();
}

// Children inherit the environment: DISPLAY decides whether a server under
// Wine reaches an X display (and shows its window) or runs without one.
void SetChildDisplay(const std::wstring& display) {
    SetEnvironmentVariableW(L"DISPLAY", display.empty() ? nullptr : display.c_str());
}

bool StartServer(ServerProcess& server, const ServerLaunch& launch) {
    std::string banner;
    return server.Start(launch) &&
           server.WaitForReady(kAnswerTimeout, banner) == WaitResult::kReady;
}

ServerLaunch ScanServerLaunch(const Paths& paths) {
    ServerLaunch launch;
    launch.serverPath = paths.server;
    return launch;
}

// Request written to the "ready:" after its report read; the lines between go to `answer`.
bool RoundTrip(ServerProcess& server, const std::string& request, std::string& answer) {
    return server.SendRequest(request) &&
           server.WaitForReady(kAnswerTimeout, answer) == WaitResult::kReady;
}

bool ReportsSuccess(const std::string& answer) {
    return answer.find(kSuccessfulReport) != std::string::npos;
}

void StopServer(ServerProcess& server) {
    server.CloseInput();
    if (!server.WaitForExit(kAnswerTimeout)) server.Terminate();
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

bool ReadFootprint(HANDLE process, size_t afterRequests, Footprint& footprint) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)) ||
        !GetProcessHandleCount(process, &footprint.handles)) {
        return false;
    }
    footprint.afterRequests = afterRequests;
    footprint.privateBytes = counters.PrivateUsage;
    return true;
}

void PrintFailures(const char* what, size_t failures) {
    if (failures) std::printf("  !! %zu %s failed or answered wrongly\n", failures, what);
}

// 1. CreateProcess to the first "ready:", the window checked after each start.
void MeasureStartUp(const Paths& paths, const Settings& settings, const std::wstring& display,
                    const char* label) {
    SetChildDisplay(display);
    std::vector<double> samples;
    size_t failures = 0;
    size_t splashShown = 0;
    for (size_t run = 0; run < settings.startUps + 1; ++run) {
        ServerProcess server;
        double started = NowMilliseconds();
        bool ready = StartServer(server, ScanServerLaunch(paths));
        double elapsed = NowMilliseconds() - started;
        if (!ready) {
            ++failures;
        } else if (run > 0) {  // the first start warms Wine's caches
            samples.push_back(elapsed);
            if (ShowsSplashWindow(server.ProcessId())) ++splashShown;
        }
        StopServer(server);
    }
    SetChildDisplay(L"");
    PrintSpread(label, Summarize(samples));
    std::printf("  %-44s splash window seen after %zu of %zu starts\n", "", splashShown,
                samples.size());
    PrintFailures("starts", failures);
}

// 2. and 6. One server, all requests for the fast plugin; its footprint
// after the early sample and after the last request.
std::string MeasureRoundTrip(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n2. Round trip of one scan through a running server (fast plugin)\n");
    ServerProcess server;
    if (!StartServer(server, ScanServerLaunch(paths))) {
        std::printf("  !! the server did not start\n");
        return std::string();
    }
    const std::string request = ToUtf8(paths.fastPlugin);
    std::string firstAnswer;
    std::string answer;
    std::vector<double> samples;
    samples.reserve(settings.requests);
    size_t failures = 0;
    for (size_t done = 1; done <= settings.requests; ++done) {
        double started = NowMilliseconds();
        bool answered = RoundTrip(server, request, answer);
        samples.push_back(NowMilliseconds() - started);
        if (!answered || !ReportsSuccess(answer)) ++failures;
        if (done == 1) firstAnswer = answer;
        if (done == settings.memorySample || done == 1000 || done == settings.requests) {
            Footprint footprint;
            if (ReadFootprint(server.Process(), done, footprint)) {
                findings.footprints.push_back(footprint);
            }
        }
    }
    StopServer(server);
    Spread spread = Summarize(samples);
    PrintSpread("request written to report read", spread);
    PrintFailures("requests", failures);
    findings.roundTrip = spread.median;
    return firstAnswer;
}

// 3. The same library calls and queries in this process.
void MeasureFloor(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n3. The floor: the same scan in-process, no protocol\n");
    size_t failures = 0;
    for (size_t run = 0; run < kWarmUpScans; ++run) {
        if (!ScanInProcess(paths.fastPlugin.c_str())) ++failures;
    }
    std::vector<double> samples;
    samples.reserve(settings.requests);
    for (size_t run = 0; run < settings.requests; ++run) {
        double started = NowMilliseconds();
        bool scanned = ScanInProcess(paths.fastPlugin.c_str());
        samples.push_back(NowMilliseconds() - started);
        if (!scanned) ++failures;
    }
    Spread spread = Summarize(samples);
    PrintSpread("LoadLibraryExW to FreeLibrary", spread);
    PrintFailures("in-process scans", failures);
    findings.floor = spread.median;
}

// 4. A new server for every scan: start, first "ready:", one request, its report, exit.
void MeasureProcessPerPlugin(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n4. Process per plugin: a new server for every scan\n");
    const std::string request = ToUtf8(paths.fastPlugin);
    std::vector<double> toReport;
    std::vector<double> toExit;
    size_t failures = 0;
    for (size_t run = 0; run < settings.processScans; ++run) {
        ServerProcess server;
        std::string answer;
        double started = NowMilliseconds();
        bool scanned = StartServer(server, ScanServerLaunch(paths)) &&
                       RoundTrip(server, request, answer) && ReportsSuccess(answer);
        double reported = NowMilliseconds();
        StopServer(server);
        double ended = NowMilliseconds();
        if (!scanned) {
            ++failures;
            continue;
        }
        toReport.push_back(reported - started);
        toExit.push_back(ended - started);
    }
    Spread spread = Summarize(toReport);
    PrintSpread("CreateProcess to report read", spread);
    PrintSpread("CreateProcess to server exited", Summarize(toExit));
    PrintFailures("scans", failures);
    findings.processPerPlugin = spread.median;
}

std::string SubPluginRequest(const std::string& shellPath, size_t id) {
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), ">%zX", id);
    return shellPath + suffix;
}

// 5. The shell's sub-plugins with its library kept loaded, and loaded afresh
// for each request (a request for another library empties the cache first).
void MeasureCacheGain(const Paths& paths, const Settings& settings) {
    std::printf("\n5. Cache gain: the %zu sub-plugins of a shell\n", kShellSubPlugins);
    if (!FileExists(paths.shellPlugin)) {
        std::printf("  skipped: %s not found\n", ToUtf8(paths.shellPlugin).c_str());
        return;
    }
    ServerProcess server;
    if (!StartServer(server, ScanServerLaunch(paths))) {
        std::printf("  !! the server did not start\n");
        return;
    }
    const std::string fast = ToUtf8(paths.fastPlugin);
    const std::string shell = ToUtf8(paths.shellPlugin);
    std::vector<double> listings;
    std::vector<double> reused;
    std::vector<double> fresh;
    std::vector<double> reusedTotals;
    std::vector<double> freshTotals;
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
        double seriesStarted = NowMilliseconds();
        for (size_t id = 1; id <= kShellSubPlugins; ++id) {
            started = NowMilliseconds();
            bool answered = RoundTrip(server, SubPluginRequest(shell, id), answer);
            reused.push_back(NowMilliseconds() - started);
            if (!answered || !ReportsSuccess(answer) ||
                answer.find("info:Re-using previous library instance...\n") ==
                    std::string::npos) {
                ++failures;
            }
        }
        reusedTotals.push_back(NowMilliseconds() - seriesStarted);

        if (!RoundTrip(server, fast, answer)) ++failures;
        seriesStarted = NowMilliseconds();
        for (size_t id = 1; id <= kShellSubPlugins; ++id) {
            started = NowMilliseconds();
            bool answered = RoundTrip(server, SubPluginRequest(shell, id), answer);
            fresh.push_back(NowMilliseconds() - started);
            if (!answered || !ReportsSuccess(answer) ||
                answer.find("info:Loading library...\n") == std::string::npos) {
                ++failures;
            }
        }
        freshTotals.push_back(NowMilliseconds() - seriesStarted);
    }
    StopServer(server);
    Spread reusedSpread = Summarize(reused);
    Spread freshSpread = Summarize(fresh);
    PrintSpread("listing request (library loaded)", Summarize(listings));
    PrintSpread("sub-plugin, library reused", reusedSpread);
    PrintSpread("sub-plugin, library loaded afresh", freshSpread);
    Spread reusedTotal = Summarize(reusedTotals);
    Spread freshTotal = Summarize(freshTotals);
    PrintSpread("all sub-plugins, library reused", reusedTotal);
    PrintSpread("all sub-plugins, library loaded afresh", freshTotal);
    PrintFailures("requests", failures);
    if (reusedSpread.median > 0) {
        std::printf("  gain: a reused library makes a sub-plugin request %.2fx faster (medians),"
                    " %.0f ms saved per %zu sub-plugins\n",
                    freshSpread.median / reusedSpread.median,
                    freshTotal.median - reusedTotal.median, kShellSubPlugins);
    }
}

void PrintFootprints(const Findings& findings) {
    std::printf("\n6. The server's private bytes and handles (same server as figure 2)\n");
    if (findings.footprints.empty()) {
        std::printf("  !! not read\n");
        return;
    }
    for (const Footprint& footprint : findings.footprints) {
        std::printf("  after %6zu requests: private bytes %10zu (%zu KiB), handles %lu\n",
                    footprint.afterRequests, static_cast<size_t>(footprint.privateBytes),
                    static_cast<size_t>(footprint.privateBytes / 1024), footprint.handles);
    }
}

// 7. The recorded lines of one scan, each written and flushed by a bare writer process.
void MeasureLineCost(const Paths& paths, const Settings& settings, const std::string& scanLines,
                     Findings& findings) {
    size_t lines = CountOccurrences(scanLines, "\n") + 1;  // and the prompt
    std::printf("\n7. The line cost: %zu lines (%zu bytes) written and flushed one by one,"
                " read by the same reader\n",
                lines, scanLines.size() + 7);
    const std::wstring linesPath = paths.work + L"scan-lines.txt";
    if (scanLines.empty() || !WriteWholeFile(linesPath, scanLines)) {
        std::printf("  !! no recorded scan to replay\n");
        return;
    }
    ServerLaunch launch;
    launch.serverPath = paths.program;
    launch.argumentsInstead =
        std::vector<std::wstring>{L"--line-writer", linesPath, kInputPlaceholder,
                                  kOutputPlaceholder};
    ServerProcess writer;
    if (!StartServer(writer, launch)) {
        std::printf("  !! the line writer did not start\n");
        return;
    }
    const std::string request = ToUtf8(paths.fastPlugin);
    std::vector<double> samples;
    samples.reserve(settings.requests);
    size_t failures = 0;
    std::string answer;
    for (size_t run = 0; run < settings.requests; ++run) {
        double started = NowMilliseconds();
        bool answered = RoundTrip(writer, request, answer);
        samples.push_back(NowMilliseconds() - started);
        if (!answered || answer != scanLines) ++failures;
    }
    StopServer(writer);
    Spread spread = Summarize(samples);
    PrintSpread("request written to last line read", spread);
    PrintFailures("requests", failures);
    findings.lineCost = spread.median;
}

bool PrepareCopies(const Paths& paths, const Settings& settings, const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW((folder + found.cFileName).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    for (size_t copy = 0; copy < settings.pluginCopies; ++copy) {
        wchar_t name[32];
        std::swprintf(name, 32, L"fast-%03zu.dll", copy);
        if (!CopyFileW(paths.fastPlugin.c_str(), (folder + name).c_str(), FALSE)) return false;
    }
    return true;
}

// Runs a program to its end with its standard streams on NUL; the wall time, or a negative
// value when it could not start, did not end in time or ended with a non-zero code.
double TimeProgram(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                             nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    std::wstring commandLine = Quote(program) + L" " + arguments;
    PROCESS_INFORMATION created = {};
    double started = NowMilliseconds();
    BOOL launched = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   0, nullptr, nullptr, &startup, &created);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!launched) return -1;
    CloseHandle(created.hThread);
    DWORD waited = WaitForSingleObject(created.hProcess, kScanPluginsTimeout);
    double elapsed = NowMilliseconds() - started;
    DWORD exitCode = 1;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(created.hProcess, 1);
    } else {
        GetExitCodeProcess(created.hProcess, &exitCode);
    }
    CloseHandle(created.hProcess);
    return exitCode == 0 ? elapsed : -1;
}

// Runs scan-plugins `runs` times; the spread, or nothing when a run failed
// or its output does not hold one record per copy.
bool TimeScanPlugins(const Paths& paths, const Settings& settings, const std::wstring& options,
                     const std::wstring& folder, size_t runs, const char* label,
                     double& median) {
    const std::wstring outPath = paths.work + L"scan-plugins-out.json";
    std::vector<double> samples;
    for (size_t run = 0; run < runs; ++run) {
        DeleteFileW(outPath.c_str());
        double elapsed = TimeProgram(
            paths.scanPlugins, options + L" --out " + Quote(outPath) + L" " + Quote(folder));
        size_t records = CountOccurrences(ReadWholeFile(outPath), "fast-");
        if (elapsed < 0 || records < settings.pluginCopies) {
            std::printf("  !! %s: run %zu failed (%zu of %zu plugins in its output)\n", label,
                        run + 1, records, settings.pluginCopies);
            return false;
        }
        samples.push_back(elapsed);
    }
    Spread spread = Summarize(samples);
    PrintSpread(label, spread);
    median = spread.median;
    return true;
}

// 8. scan-plugins over a folder of copies of the fast plugin.
void MeasureScanPlugins(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\n8. scan-plugins over %zu copies of the fast plugin\n", settings.pluginCopies);
    if (!FileExists(paths.scanPlugins)) {
        std::printf("  skipped: %s not found\n", ToUtf8(paths.scanPlugins).c_str());
        return;
    }
    const std::wstring folder = paths.work + L"copies\\";
    if (!PrepareCopies(paths, settings, folder)) {
        std::printf("  !! could not copy the plugin into %s\n", ToUtf8(folder).c_str());
        return;
    }
    const std::wstring cachePath = paths.work + L"scan-plugins-cache.json";
    DeleteFileW(cachePath.c_str());
    const std::wstring cache = L"--jobs 2 --cache " + Quote(cachePath);
    double cacheFill = 0;
    if (!TimeScanPlugins(paths, settings, L"--jobs 1", folder, settings.scanPluginsRuns,
                         "--jobs 1", findings.jobs1) ||
        !TimeScanPlugins(paths, settings, L"--jobs 2", folder, settings.scanPluginsRuns,
                         "--jobs 2", findings.jobs2) ||
        !TimeScanPlugins(paths, settings, cache, folder, 1, "--jobs 2 --cache, empty cache",
                         cacheFill) ||
        !TimeScanPlugins(paths, settings, cache, folder, settings.scanPluginsRuns,
                         "--jobs 2 --cache, nothing changed", findings.cachedRescan)) {
        findings.jobs1 = findings.jobs2 = findings.cachedRescan = 0;
    }
}

void PrintTarget(const char* what, double value, const char* unit, const char* target,
                 bool met) {
    std::printf("  %-58s %10.2f%-4s target %-14s %s\n", what, value, unit, target,
                met ? "met" : "MISSED");
}

void PrintTargets(const Findings& findings) {
    std::printf("\nRatios against the targets\n");
    if (findings.roundTrip > 0 && findings.floor > 0 && findings.lineCost > 0) {
        double ideal = findings.floor + findings.lineCost;
        std::printf("  medians: round trip %.3f ms, floor %.3f ms, line cost %.3f ms,"
                    " server's own %.3f ms\n",
                    findings.roundTrip, findings.floor, findings.lineCost,
                    findings.roundTrip - ideal);
        PrintTarget("round trip / (floor + line cost)", findings.roundTrip / ideal, "x",
                    "<= 1.2x", findings.roundTrip <= 1.2 * ideal);
    }
    if (findings.roundTrip > 0 && findings.processPerPlugin > 0) {
        double gain = findings.processPerPlugin / findings.roundTrip;
        PrintTarget("process per plugin / round trip", gain, "x", ">= 20x", gain >= 20);
    }
    if (findings.footprints.size() >= 2) {
        const Footprint& early = findings.footprints.front();
        const Footprint& late = findings.footprints.back();
        double grown = (static_cast<double>(late.privateBytes) -
                        static_cast<double>(early.privateBytes)) /
                       1024.0;
        long handles = static_cast<long>(late.handles) - static_cast<long>(early.handles);
        char label[96];
        std::snprintf(label, sizeof(label), "private bytes growth, %zu to %zu requests",
                      early.afterRequests, late.afterRequests);
        PrintTarget(label, grown, "KiB", "<= 64 KiB", grown <= 64);
        std::snprintf(label, sizeof(label), "handle growth, %zu to %zu requests",
                      early.afterRequests, late.afterRequests);
        PrintTarget(label, static_cast<double>(handles), "", "0", handles <= 0);
    }
    if (findings.jobs1 > 0 && findings.jobs2 > 0) {
        double speedUp = findings.jobs1 / findings.jobs2;
        PrintTarget("scan-plugins --jobs 1 / --jobs 2", speedUp, "x", ">= 1.6x", speedUp >= 1.6);
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
        "usage: scan-benchmark [--display NAME] [--requests N>=1000] [--process-scans N>=100]\n"
        "                      [--start-ups N] [--cache-rounds N] [--scan-plugins-runs N]\n"
        "Runs next to ScanServer-x64.exe, plugins\\fast.dll and bench-plugins\\shell-100.dll.\n"
        "--display names the X display for the start-up figure with a display.\n",
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
        } else if (option == L"--requests") {
            valid = ParseCount(value, 1000, settings.requests);
        } else if (option == L"--process-scans") {
            valid = ParseCount(value, 100, settings.processScans);
        } else if (option == L"--start-ups") {
            valid = ParseCount(value, 1, settings.startUps);
        } else if (option == L"--cache-rounds") {
            valid = ParseCount(value, 1, settings.cacheRounds);
        } else if (option == L"--scan-plugins-runs") {
            valid = ParseCount(value, 1, settings.scanPluginsRuns);
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
    paths.shellPlugin = folder + L"bench-plugins\\shell-100.dll";
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
    std::printf("  %zu requests for figures 2, 3 and 7; times in milliseconds\n",
                settings.requests);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wcscmp(argv[1], L"--line-writer") == 0) {
        auto handle = [](const wchar_t* text) {
            return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(text, nullptr, 16)));
        };
        return RunLineWriter(argv[2], handle(argv[3]), handle(argv[4]));
    }
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) return Usage();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Paths paths = FindPaths();
    if (!FileExists(paths.server) || !FileExists(paths.fastPlugin)) {
        std::fprintf(stderr, "scan-benchmark: %s or %s not found\n",
                     ToUtf8(paths.server).c_str(), ToUtf8(paths.fastPlugin).c_str());
        return 1;
    }
    CreateDirectoryW(paths.work.c_str(), nullptr);
    PrintSetting(paths, settings);

    // Wine's desktop process takes the display of the process that brings it
    // up; touching the desktop first lets servers started with DISPLAY show
    // their window while the others run without one.
    if (!settings.display.empty()) {
        SetChildDisplay(settings.display);
        GetDesktopWindow();
    }
    SetChildDisplay(L"");

    Findings findings;
    std::printf("\n1. Start-up: CreateProcess to the first \"ready:\"\n");
    MeasureStartUp(paths, settings, L"", "without a display");
    if (settings.display.empty()) {
        std::printf("  with a display: skipped (no --display given)\n");
    } else {
        std::string label = "with the display " + ToUtf8(settings.display);
        MeasureStartUp(paths, settings, settings.display, label.c_str());
    }
    std::string scanLines = MeasureRoundTrip(paths, settings, findings);
    MeasureFloor(paths, settings, findings);
    MeasureProcessPerPlugin(paths, settings, findings);
    MeasureCacheGain(paths, settings);
    PrintFootprints(findings);
    MeasureLineCost(paths, settings, scanLines, findings);
    MeasureScanPlugins(paths, settings, findings);
    PrintTargets(findings);
    return 0;
}
