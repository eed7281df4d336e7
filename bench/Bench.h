// What the benchmark's figures share: its settings, the files it runs with,
// what it found, and the ways it times requests and steps.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bench/Footprint.h"
#include "bench/PipeHost.h"
#include "bench/Statistics.h"
#include "host/ServerProcess.h"

inline constexpr DWORD kAnswerTimeout = 30000;

struct Settings {
    size_t requests = 2000;            // figures 2, 3 and 7
    size_t footprintRequests = 10000;  // figure 6
    size_t libraryRequests = 1000;     // figures 2 and 7 through host/ServerProcess
    size_t processScans = 100;         // figure 4
    size_t blocks = 20;                // figures 2, 3, 4 and 7 are taken in turns
    size_t startUps = 20;
    size_t cacheRounds = 5;
    size_t scanPluginsRuns = 3;
    size_t pluginCopies = 500;
    size_t busyCopies = 200;
    size_t instanceScans = 200;           // figure 9, each way and each file
    std::wstring display;                 // the Wine session's X display; empty: none
    std::wstring figures = L"123456789";  // the figures to measure, by number
};

bool Wants(const Settings& settings, wchar_t figure);

struct Paths {
    std::wstring program;
    std::wstring server;
    std::wstring fastPlugin;
    std::wstring barePlugin;
    std::wstring busyPlugin;
    std::wstring shellPlugin;
    std::wstring clapPlugin;
    std::wstring vst3Plugin;
    std::wstring scanPlugins;
    std::wstring work;
};

// What the run found, for the ratios at the end; 0 means "not measured".
struct Findings {
    double roundTrip = 0;
    double floor = 0;
    double serverSteps = 0;
    double lineCost = 0;
    double processPerPlugin = 0;
    double startUp = 0;  // the servers' of figure 4, to their first "ready:"
    double bareRoundTrip = 0;
    double bareFloor = 0;
    double bareLineCost = 0;
    // The floor's entry point, queries and effClose, and the line cost of the
    // writer that loads and frees the plugin before its lines.
    double fastQuestions = 0;
    double lineCostAfterLoad = 0;
    double bareQuestions = 0;
    double bareLineCostAfterLoad = 0;
    // The host's processor time per scan of the fast plugin: the benchmark's
    // own reader, and the benchmark through host/ServerProcess.
    double readerPerScan = 0;
    double libraryHostPerScan = 0;
    std::vector<Footprint> fastFootprints;
    std::vector<Footprint> bareFootprints;
    double jobs1 = 0;
    double jobs2 = 0;
    double cachedRescan = 0;
    double ownPerScan = 0;  // scan-plugins' own processor time per scan, ms
    double busyJobs1 = 0;
    double busyJobs2 = 0;
};

std::string ToUtf8(const std::wstring& text);
bool FileExists(const std::wstring& path);
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);
size_t CountOccurrences(const std::string& text, const char* needle);
// The text cut after each line feed, every line with its line feed (the last may lack one).
std::vector<std::string> SplitLines(const std::string& text);

// The arguments that make the benchmark program a line writer replaying the file.
std::wstring LineWriterArguments(const std::wstring& linesPath);
// The same, loading and freeing the plugin before each answer's lines.
std::wstring LoadingLineWriterArguments(const std::wstring& linesPath, const std::wstring& plugin);

// Starts a server and reads its banner up to the first "ready:".
[[nodiscard]] bool StartServer(PipeHost& server, const Paths& paths);
// Request written to the "ready:" after its report read; the lines between go to `answer`.
[[nodiscard]] bool RoundTrip(PipeHost& host, const std::string& request, std::string& answer);
[[nodiscard]] bool RoundTrip(ServerProcess& host, const std::string& request, std::string& answer);
bool ReportsSuccess(const std::string& answer);

// Timings of one kind, and how many of the timed things went wrong.
struct Series {
    std::vector<double> samples;
    size_t failures = 0;
};

using AnswerCheck = std::function<bool(const std::string&)>;

// Times `count` round trips of one request into `series`; `check` judges each answer.
template <typename Host>
void TimeRequests(Host& host, const std::string& request, size_t count, const AnswerCheck& check,
                  Series& series) {
    std::string answer;
    for (size_t done = 0; done < count; ++done) {
        double started = NowMilliseconds();
        bool answered = RoundTrip(host, request, answer);
        series.samples.push_back(NowMilliseconds() - started);
        if (!answered || !check(answer)) ++series.failures;
    }
}

// Times `count` runs of a step that says whether it went right.
void TimeSteps(size_t count, const std::function<bool()>& step, Series& series);

// Prints the spread and any failures; returns the spread.
Spread PrintSeries(const char* label, Series& series);

void PrintFailures(const char* what, size_t failures);

// 2, 3, 4 and 7, taken side by side.
void MeasureSideBySide(const Paths& paths, const Settings& settings, Findings& findings);

// 8.
void MeasureScanPlugins(const Paths& paths, const Settings& settings, Findings& findings);
