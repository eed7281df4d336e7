// Figures 2, 3, 4 and 7 taken side by side: in blocks, one block of each in
// turn, so that a change in the machine's load while the benchmark runs falls
// on all of them alike and their ratios hold.
#include <cstdio>

#include "bench/Bench.h"
#include "bench/InProcessScan.h"
#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"

namespace {

constexpr size_t kWarmUpScans = 20;
constexpr size_t kEarlyFootprint = 100;

size_t PerBlock(size_t total, size_t blocks) {
    return (total + blocks - 1) / blocks;
}

// The text of each line after its channel name and colon, widened.
std::vector<std::wstring> MessagesOf(const std::string& lines) {
    std::vector<std::wstring> messages;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        end = end == std::string::npos ? lines.size() : end + 1;
        size_t colon = lines.find(':', start);
        size_t from = colon < end ? colon + 1 : start;
        messages.emplace_back(lines.begin() + static_cast<std::ptrdiff_t>(from),
                              lines.begin() + static_cast<std::ptrdiff_t>(end));
        start = end;
    }
    return messages;
}

// Times one round trip and adds the wait before each line of its answer (from
// the request, or from the line before) to `gaps`, one series per line, the
// prompt last; an answer of another length adds nothing there.
void TimeLineByLine(PipeHost& host, const std::string& request, const AnswerCheck& check,
                    Series& series, std::vector<Series>& gaps) {
    std::string answer;
    std::vector<double> arrivals;
    double started = NowMilliseconds();
    bool answered = host.Send(request) && host.ReadToPrompt(answer, &arrivals);
    series.samples.push_back(NowMilliseconds() - started);
    if (!answered || !check(answer)) {
        ++series.failures;
        return;
    }
    if (arrivals.size() != gaps.size()) return;
    double previous = started;
    for (size_t line = 0; line < arrivals.size(); ++line) {
        gaps[line].samples.push_back(arrivals[line] - previous);
        previous = arrivals[line];
    }
}

// Where a round trip goes: for each line, the median wait before it arrives
// from the server and from the line writer, which writes the same bytes.
void PrintTimeline(const std::string& scanLines, std::vector<Series>& server,
                   std::vector<Series>& writer) {
    std::printf("  where it goes: the median wait before each line arrives\n");
    std::printf("    %9s %9s  %s\n", "server", "writer", "line");
    double serverTotal = 0;
    double writerTotal = 0;
    size_t start = 0;
    for (size_t line = 0; line < server.size(); ++line) {
        size_t end = scanLines.find('\n', start);
        std::string text =
            end == std::string::npos ? "ready:" : scanLines.substr(start, end - start);
        start = end == std::string::npos ? start : end + 1;
        if (text.size() > 64) text = text.substr(0, 61) + "...";
        double serverWait = Summarize(server[line].samples).median;
        double writerWait = Summarize(writer[line].samples).median;
        serverTotal += serverWait;
        writerTotal += writerWait;
        std::printf("    %9.3f %9.3f  %s\n", serverWait, writerWait, text.c_str());
    }
    std::printf("    %9.3f %9.3f  (sums of the medians)\n", serverTotal, writerTotal);
}

bool StartThroughLibrary(ServerProcess& host, const ServerLaunch& launch) {
    std::string banner;
    return host.Start(launch) && host.WaitForReady(kAnswerTimeout, banner) == WaitResult::kReady;
}

void StopThroughLibrary(ServerProcess& host) {
    host.CloseInput();
    if (!host.WaitForExit(kAnswerTimeout)) host.Terminate();
}

// One scan by a server of its own: start, first "ready:", the request, its
// report, the server's end.
void ScanInNewServer(const Paths& paths, const std::string& request, Series& toReady,
                     Series& toReport, Series& toExit) {
    PipeHost server;
    std::string answer;
    double started = NowMilliseconds();
    bool ready = StartServer(server, paths);
    double readyAt = NowMilliseconds();
    bool scanned = ready && RoundTrip(server, request, answer) && ReportsSuccess(answer);
    double reported = NowMilliseconds();
    server.Stop(kAnswerTimeout);
    double ended = NowMilliseconds();
    if (!scanned) {
        ++toReport.failures;
        return;
    }
    toReady.samples.push_back(readyAt - started);
    toReport.samples.push_back(reported - started);
    toExit.samples.push_back(ended - started);
}

// The steps a server request takes beyond the floor, each timed on its own
// in this process with the plugin loaded, as it is when the server takes them.
double MeasureServerSteps(const Paths& paths, const Settings& settings,
                          const std::string& scanLines) {
    std::printf("  the server's own steps beyond the floor, each per request:\n");
    const wchar_t* plugin = paths.fastPlugin.c_str();
    UniqueModule module(LoadLibraryExW(plugin, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module.IsValid()) return 0;
    const std::vector<std::wstring> messages = MessagesOf(scanLines + protocol::kPromptLine);
    struct Step {
        const char* label;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"  version resource of the file", [&] { ReadVersionResource(plugin); }},
        {"  three message-queue drains", DrainMessagesThreeTimes},
        {"  SetActiveWindow (no window)", ActivateNoWindow},
        {"  formatting the lines (no handle to write to)", [&] { FormatLines(messages); }},
    };
    double total = 0;
    for (const Step& step : steps) {
        Series series;
        TimeSteps(
            settings.requests,
            [&] {
                step.run();
                return true;
            },
            series);
        total += PrintSeries(step.label, series).median;
    }
    return total;
}

// One plugin's part of the side-by-side figures: a server scanning it, a
// line writer replaying that server's answer, and their timings.
struct Subject {
    const wchar_t* plugin = nullptr;
    std::string request;
    std::vector<Footprint>* footprints = nullptr;  // read after the early and the last request
    PipeHost server;
    PipeHost writer;
    std::string scanLines;
    size_t serverRequests = 0;
    Series roundTrips, floors, loads, questions, frees, lines;
    std::vector<Series> serverGaps, writerGaps;
};

// Starts the server, records its answer for the plugin and starts the line writer on it.
bool StartSubject(const Paths& paths, const std::wstring& linesPath, Subject& subject) {
    subject.request = ToUtf8(subject.plugin);
    std::string banner;
    if (!StartServer(subject.server, paths) ||
        !RoundTrip(subject.server, subject.request, subject.scanLines) ||
        !ReportsSuccess(subject.scanLines) || !WriteWholeFile(linesPath, subject.scanLines) ||
        !subject.writer.Start(paths.program, LineWriterArguments(linesPath)) ||
        !subject.writer.ReadToPrompt(banner)) {
        return false;
    }
    subject.serverRequests = 1;
    size_t lineCount = CountOccurrences(subject.scanLines, "\n") + 1;  // and the prompt
    subject.serverGaps.resize(lineCount);
    subject.writerGaps.resize(lineCount);
    Series warmUp;
    TimeSteps(
        kWarmUpScans, [&] { return ScanInProcess(subject.plugin); }, warmUp);
    return true;
}

// One turn: round trips through the server, the same scans in-process, and
// round trips through the line writer.
void TakeTurn(Subject& subject, size_t requests) {
    for (size_t done = 0; done < requests; ++done) {
        TimeLineByLine(subject.server, subject.request, ReportsSuccess, subject.roundTrips,
                       subject.serverGaps);
        Footprint footprint;
        if (++subject.serverRequests == kEarlyFootprint && subject.footprints &&
            ReadFootprint(subject.server.Process(), subject.serverRequests, footprint)) {
            subject.footprints->push_back(footprint);
        }
    }
    TimeSteps(
        requests,
        [&] {
            InProcessTimes times;
            bool scanned = ScanInProcess(subject.plugin, &times);
            subject.loads.samples.push_back(times.load);
            subject.questions.samples.push_back(times.questions);
            subject.frees.samples.push_back(times.free);
            return scanned;
        },
        subject.floors);
    const AnswerCheck sameLines = [&](const std::string& answer) {
        return answer == subject.scanLines;
    };
    for (size_t done = 0; done < requests; ++done) {
        TimeLineByLine(subject.writer, subject.request, sameLines, subject.lines,
                       subject.writerGaps);
    }
}

void StopSubject(Subject& subject) {
    Footprint footprint;
    if (subject.footprints &&
        ReadFootprint(subject.server.Process(), subject.serverRequests, footprint)) {
        subject.footprints->push_back(footprint);
    }
    subject.server.Stop(kAnswerTimeout);
    subject.writer.Stop(kAnswerTimeout);
}

}  // namespace

void MeasureSideBySide(const Paths& paths, const Settings& settings, Findings& findings) {
    std::printf("\nFigures 2, 3, 4 and 7 are taken side by side, in %zu turns\n", settings.blocks);
    Subject fast;
    fast.plugin = paths.fastPlugin.c_str();
    fast.footprints = &findings.fastFootprints;
    const std::wstring linesPath = paths.work + L"scan-lines.txt";
    if (!StartSubject(paths, linesPath, fast)) {
        std::printf("  !! the server or the line writer did not start for the fast plugin\n");
        return;
    }
    // The same figures for the runtime-free bare plugin show what the fast
    // plugin's own runtime costs in a process that loads it.
    Subject bare;
    bare.plugin = paths.barePlugin.c_str();
    bool withBare = FileExists(paths.barePlugin) &&
                    StartSubject(paths, paths.work + L"scan-lines-bare.txt", bare);

    ServerLaunch serverLaunch;
    serverLaunch.serverPath = paths.server;
    ServerLaunch writerLaunch;
    writerLaunch.serverPath = paths.program;
    writerLaunch.argumentsInstead = std::vector<std::wstring>{
        L"--line-writer", linesPath, kInputPlaceholder, kOutputPlaceholder, L"0"};
    ServerProcess libraryServer;
    ServerProcess libraryWriter;
    bool throughLibrary = settings.libraryRequests > 0 &&
                          StartThroughLibrary(libraryServer, serverLaunch) &&
                          StartThroughLibrary(libraryWriter, writerLaunch);

    Series toReady, toReport, toExit, libraryTrips, libraryLines;
    const AnswerCheck sameLines = [&](const std::string& answer) {
        return answer == fast.scanLines;
    };
    const size_t requests = PerBlock(settings.requests, settings.blocks);
    const size_t processScans = PerBlock(settings.processScans, settings.blocks);
    const size_t libraryRequests = PerBlock(settings.libraryRequests, settings.blocks);
    for (size_t block = 0; block < settings.blocks; ++block) {
        TakeTurn(fast, requests);
        if (withBare) TakeTurn(bare, requests);
        for (size_t scan = 0; scan < processScans; ++scan) {
            ScanInNewServer(paths, fast.request, toReady, toReport, toExit);
        }
        if (throughLibrary) {
            TimeRequests(libraryServer, fast.request, libraryRequests, ReportsSuccess,
                         libraryTrips);
            TimeRequests(libraryWriter, fast.request, libraryRequests, sameLines, libraryLines);
        }
    }
    StopSubject(fast);
    if (withBare) StopSubject(bare);
    if (throughLibrary) {
        StopThroughLibrary(libraryServer);
        StopThroughLibrary(libraryWriter);
    }

    std::printf(
        "\n2. Round trip of one scan through a running server, request written to report"
        " read\n");
    findings.roundTrip = PrintSeries("fast plugin", fast.roundTrips).median;
    if (withBare) findings.bareRoundTrip = PrintSeries("bare plugin", bare.roundTrips).median;
    PrintTimeline(fast.scanLines, fast.serverGaps, fast.writerGaps);

    std::printf(
        "\n3. The floor: the same scan in-process, no protocol, LoadLibraryExW to"
        " FreeLibrary\n");
    findings.floor = PrintSeries("fast plugin", fast.floors).median;
    PrintSeries("  LoadLibraryExW", fast.loads);
    PrintSeries("  entry point, queries, effClose", fast.questions);
    PrintSeries("  FreeLibrary", fast.frees);
    if (withBare) findings.bareFloor = PrintSeries("bare plugin", bare.floors).median;
    findings.serverSteps = MeasureServerSteps(paths, settings, fast.scanLines);

    std::printf("\n4. Process per plugin: a new server for every scan (fast plugin)\n");
    findings.startUp = PrintSeries("CreateProcess to first \"ready:\"", toReady).median;
    findings.processPerPlugin = PrintSeries("CreateProcess to report read", toReport).median;
    PrintSeries("CreateProcess to server exited", toExit);

    std::printf(
        "\n7. The line cost: %zu lines (%zu bytes) written and flushed one by one, request"
        " written to last line read\n",
        fast.serverGaps.size(), fast.scanLines.size() + 7);
    findings.lineCost = PrintSeries("fast plugin's lines", fast.lines).median;
    if (withBare) findings.bareLineCost = PrintSeries("bare plugin's lines", bare.lines).median;

    if (throughLibrary) {
        std::printf("\n2 and 7 through host/ServerProcess (reader thread, condition variable)\n");
        PrintSeries("round trip, fast plugin", libraryTrips);
        PrintSeries("line cost", libraryLines);
    }
}
