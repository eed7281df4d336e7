#include "bench/Bench.h"

#include <cstdio>

#include "host/ArgumentQuoting.h"
#include "platform/KernelHandles.h"

bool Wants(const Settings& settings, wchar_t figure) {
    return settings.figures.find(figure) != std::wstring::npos;
}

std::string ToUtf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    return utf8;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file.IsValid()) return bytes;
    std::vector<char> buffer(65536);
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
        bytes.append(buffer.data(), read);
    }
    return bytes;
}

size_t CountOccurrences(const std::string& text, const char* needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::wstring LineWriterArguments(const std::wstring& linesPath) {
    return L"--line-writer " + QuoteArgument(linesPath);
}

std::wstring LoadingLineWriterArguments(const std::wstring& linesPath, const std::wstring& plugin) {
    return LineWriterArguments(linesPath) + L" " + QuoteArgument(plugin);
}

bool StartServer(PipeHost& server, const Paths& paths) {
    std::string banner;
    return server.Start(paths.server, L"") && server.ReadToPrompt(banner);
}

bool RoundTrip(PipeHost& host, const std::string& request, std::string& answer) {
    return host.Send(request) && host.ReadToPrompt(answer);
}

bool RoundTrip(ServerProcess& host, const std::string& request, std::string& answer) {
    return host.SendRequest(request) &&
           host.WaitForReady(kAnswerTimeout, answer) == WaitResult::kReady;
}

bool ReportsSuccess(const std::string& answer) {
    return answer.find("\n>:  \"error\":     \"\",\n") != std::string::npos;
}

void TimeSteps(size_t count, const std::function<bool()>& step, Series& series) {
    for (size_t run = 0; run < count; ++run) {
        double started = NowMilliseconds();
        bool right = step();
        series.samples.push_back(NowMilliseconds() - started);
        if (!right) ++series.failures;
    }
}

Spread PrintSeries(const char* label, Series& series) {
    Spread spread = Summarize(series.samples);
    PrintSpread(label, spread);
    PrintFailures("of them", series.failures);
    return spread;
}

void PrintFailures(const char* what, size_t failures) {
    if (failures) std::printf("  !! %zu %s failed or answered wrongly\n", failures, what);
}
