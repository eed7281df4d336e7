// Figures 2, 3, 4 and 7 taken side by side: in blocks, one block of each in
// turn, so that a change in the machine's load while the benchmark runs falls
// on all of them alike and their ratios hold.
#include <cstdio>

#include "bench/Bench.h"
#include "bench/CpuTimes.h"
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
std::vector<std::wstring> MessagesOf(const std::vector<std::string>& lines) {
    std::vector<std::wstring> messages;
    for (const std::string& line : lines) {
        size_t colon = line.find(':');
        messages.emplace_back(
            line.begin() + static_cast<std::ptrdiff_t>(colon == std::string::npos ? 0 : colon + 1),
            line.end());
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
// from the server, from the line writer, which writes the same bytes, and from
// the line writer that loads and frees the plugin first.
void PrintTimeline(const std::string& scanLines, const std::vector<std::vector<Series>*>& columns) {
    std::printf("  where it goes: the median wait before each line arrives\n");
    std::printf("    %9s %9s %9s  %s\n", "server", "writer", "after", "line");
    std::printf("    %9s %9s %9s\n", "", "", "load");
    std::vector<double> totals(columns.size(), 0);
    std::vector<std::string> lines = SplitLines(scanLines + protocol::kPromptLine);
    for (size_t line = 0; line < lines.size() && line < columns[0]->size(); ++line) {
        std::string text = lines[line].substr(0, lines[line].size() - 1);
        if (text.size() > 64) text = text.substr(0, 61) + "...";
        std::printf("   ");
        for (size_t column = 0; column < columns.size(); ++column) {
            double wait = Summarize((*columns[column])[line].samples).median;
            totals[column] += wait;
            std::printf(" %9.3f", wait);
        }
        std::printf("  %s\n", text.c_str());
    }
    std::printf("   ");
    for (double total : totals) std::printf(" %9.3f", total);
    std::printf("  (sums of the medians)\n");
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
    const std::vector<std::string> lines = SplitLines(scanLines + protocol::kPromptLine);
    const std::vector<std::wstring> messages = MessagesOf(lines);
    struct Step {
        const char* label;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"  version resource of the file", [&] { ReadVersionResource(plugin); }},
        {"  three message-queue drains", DrainMessagesThreeTimes},
        {"  SetActiveWindow (no window)", ActivateNoWindow},
    };
    auto timeStep = [&](const Step& step) {
        Series series;
        TimeSteps(
            settings.requests,
            [&] {
                step.run();
                return true;
            },
            series);
        return PrintSeries(step.label, series).median;
    };
    double total = 0;
    for (const Step& step : steps) total += timeStep(step);
    // The lines have to go somewhere; what the writes to NUL cost is taken
    // apart and left out, since figure 7 has the writes to a pipe.
    SECURITY_ATTRIBUTES plain = {sizeof(plain), nullptr, FALSE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &plain,
                               OPEN_EXISTING, 0, nullptr));
    double formattedAndWritten = timeStep(
        {"  the lines formatted, written to NUL", [&] { FormatLines(messages, nul.Get()); }});
    double written =
        timeStep({"  the same lines written to NUL", [&] { WriteLines(lines, nul.Get()); }});
    std::printf("    formatting the lines: %.3f ms\n", formattedAndWritten - written);
    return total + formattedAndWritten - written;
}

// One plugin's part of the side-by-side figures: a server scanning it, a
// line writer replaying that server's answer, and their timings.
struct Subject {
    const wchar_t* plugin = nullptr;
    std::string request;
    std::vector<Footprint>* footprints = nullptr;  // read after the early and the last request
    PipeHost server;
    PipeHost writer;
    PipeHost loadingWriter;  // loads and frees the plugin before its lines
    std::string scanLines;
    size_t serverRequests = 0;
    Series roundTrips, floors, loads, questions, frees, lines, linesAfterLoad;
    double readerMilliseconds = 0;  // processor time of this thread in the round trips
    std::vector<Series> serverGaps, writerGaps, loadingWriterGaps;
};

// Starts the server, records its answer for the plugin and starts the line writer on it.
bool StartSubject(const Paths& paths, const std::wstring& linesPath, Subject& subject) {
    subject.request = ToUtf8(subject.plugin);
    std::string banner;
    if (!StartServer(subject.server, paths) ||
        !RoundTrip(subject.server, subject.request, subject.scanLines) ||
        !ReportsSuccess(subject.scanLines) || !WriteWholeFile(linesPath, subject.scanLines) ||
        !subject.writer.Start(paths.program, LineWriterArguments(linesPath)) ||
        !subject.writer.ReadToPrompt(banner) ||
        !subject.loadingWriter.Start(paths.program,
                                     LoadingLineWriterArguments(linesPath, subject.plugin)) ||
        !subject.loadingWriter.ReadToPrompt(banner)) {
        return false;
    }
    subject.serverRequests = 1;
    size_t lineCount = CountOccurrences(subject.scanLines, "\n") + 1;  // and the prompt
    subject.serverGaps.resize(lineCount);
    subject.writerGaps.resize(lineCount);
    subject.loadingWriterGaps.resize(lineCount);
    Series warmUp;
    TimeSteps(
        kWarmUpScans, [&] { return ScanInProcess(subject.plugin); }, warmUp);
    return true;
}

// One turn: round trips through the server, the same scans in-process, and
// round trips through the line writer.
void TakeTurn(Subject& subject, size_t requests) {
    double readerBefore = ThreadProcessorMilliseconds();
    for (size_t done = 0; done < requests; ++done) {
        TimeLineByLine(subject.server, subject.request, ReportsSuccess, subject.roundTrips,
                       subject.serverGaps);
        Footprint footprint;
        if (++subject.serverRequests == kEarlyFootprint && subject.footprints &&
            ReadFootprint(subject.server.Process(), subject.serverRequests, footprint)) {
            subject.footprints->push_back(footprint);
        }
    }
    subject.readerMilliseconds += ThreadProcessorMilliseconds() - readerBefore;
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
    for (size_t done = 0; done < requests; ++done) {
        TimeLineByLine(subject.loadingWriter, subject.request, sameLines, subject.linesAfterLoad,
                       subject.loadingWriterGaps);
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
    subject.loadingWriter.Stop(kAnswerTimeout);
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
    double libraryHostMilliseconds = 0;
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
            double hostBefore = ProcessProcessorMilliseconds();
            TimeRequests(libraryServer, fast.request, libraryRequests, ReportsSuccess,
                         libraryTrips);
            libraryHostMilliseconds += ProcessProcessorMilliseconds() - hostBefore;
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
    if (!fast.roundTrips.samples.empty()) {
        findings.readerPerScan =
            fast.readerMilliseconds / static_cast<double>(fast.roundTrips.samples.size());
        std::printf("  processor time of the host, reading on its own thread: %.2f ms a scan\n",
                    findings.readerPerScan);
    }
    PrintTimeline(fast.scanLines, {&fast.serverGaps, &fast.writerGaps, &fast.loadingWriterGaps});
    if (withBare) {
        PrintTimeline(bare.scanLines,
                      {&bare.serverGaps, &bare.writerGaps, &bare.loadingWriterGaps});
    }

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
    findings.fastQuestions = Summarize(fast.questions.samples).median;
    findings.lineCostAfterLoad =
        PrintSeries("fast plugin's, loading and freeing it first", fast.linesAfterLoad).median;
    if (withBare) {
        findings.bareQuestions = Summarize(bare.questions.samples).median;
        findings.bareLineCostAfterLoad =
            PrintSeries("bare plugin's, loading and freeing it first", bare.linesAfterLoad).median;
    }

    if (throughLibrary) {
        std::printf("\n2 and 7 through host/ServerProcess (reader thread, condition variable)\n");
        PrintSeries("round trip, fast plugin", libraryTrips);
        if (!libraryTrips.samples.empty()) {
            findings.libraryHostPerScan =
                libraryHostMilliseconds / static_cast<double>(libraryTrips.samples.size());
            std::printf("  processor time of the host, all its threads: %.2f ms a scan\n",
                        findings.libraryHostPerScan);
        }
        PrintSeries("line cost", libraryLines);
    }
}
