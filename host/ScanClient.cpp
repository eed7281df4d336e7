#include "host/ScanClient.h"

#include "host/DumpFolder.h"
#include "host/Text.h"
#include "protocol/Protocol.h"

namespace {

// The end of a server whose output has closed comes at most this much later.
constexpr DWORD kExitAfterCloseMilliseconds = 10000;
// How long a crashed server may take to write its dump (seconds under Wine).
constexpr DWORD kDumpWritingMilliseconds = 120000;

void AddLine(ChannelLines& lines, const std::string& line) {
    size_t colon = line.find(':');
    std::string channel = colon == std::string::npos ? std::string() : line.substr(0, colon);
    std::string text = colon == std::string::npos ? line : line.substr(colon + 1);
    if (channel == protocol::kInfoChannel) {
        lines.info.push_back(text);
    } else if (channel == protocol::kWarningChannel) {
        lines.warnings.push_back(text);
    } else if (channel == protocol::kErrorChannel) {
        lines.errors.push_back(text);
    } else if (channel == protocol::kReportChannel) {
        lines.report.push_back(text);
    } else {
        lines.other.push_back(line);
    }
}

// A report without a "format" member is a VST 2 report.
bool ReadAnswerReport(const std::string& text, ScanAnswer& answer) {
    nlohmann::ordered_json parsed =
        nlohmann::ordered_json::parse(RemoveTrailingCommas(text), nullptr, false);
    if (!parsed.is_object()) return false;
    auto format = parsed.find("format");
    if (format != parsed.end() &&
        (!format->is_string() ||
         !protocol::FormatFromName(format->get_ref<const std::string&>().c_str(), answer.format))) {
        return false;
    }
    switch (answer.format) {
        case protocol::PluginFormat::kVst2:
            return ReadReportMembers(parsed, answer.report);
        case protocol::PluginFormat::kClap:
            return ReadClapReport(parsed, answer.clapReport);
        case protocol::PluginFormat::kVst3:
            return ReadVst3Report(parsed, answer.vst3Report);
    }
    return false;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

ChannelLines SortByChannel(const std::string& output) {
    ChannelLines lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        AddLine(lines, output.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

const std::string& ReportError(const ScanAnswer& answer) {
    switch (answer.format) {
        case protocol::PluginFormat::kClap:
            return answer.clapReport.error;
        case protocol::PluginFormat::kVst3:
            return answer.vst3Report.error;
        case protocol::PluginFormat::kVst2:
            break;
    }
    return answer.report.error;
}

std::wstring ShellRequest(const std::wstring& libraryPath, uint32_t shellId) {
    return libraryPath + L">" + WideFromUtf8(FormatHexId(shellId));
}

ScanClient::ScanClient(ServerSettings settings) : settings_(std::move(settings)) {}

bool ScanClient::Start(std::string& failure) {
    server_.reset();
    auto server = std::make_unique<ServerProcess>();
    ServerLaunch launch;
    launch.serverPath = settings_.serverPath;
    launch.ownerWindow = settings_.ownerWindow;
    if (!settings_.dumpDirectory.empty()) launch.dumpDirectory = settings_.dumpDirectory;
    if (!server->Start(launch)) {
        failure = "cannot start the scan server " + Utf8FromWide(settings_.serverPath) + ": " +
                  SystemErrorText(GetLastError());
        return false;
    }
    std::string banner;
    switch (server->WaitForReady(settings_.startTimeoutMilliseconds, banner)) {
        case WaitResult::kReady:
            server_ = std::move(server);
            return true;
        case WaitResult::kTimedOut:
            server->Terminate();
            failure = "the scan server " + Utf8FromWide(settings_.serverPath) +
                      " gave no \"ready:\" prompt within " +
                      std::to_string(settings_.startTimeoutMilliseconds / 1000) + " s";
            return false;
        case WaitResult::kClosed:
            break;
    }
    std::optional<DWORD> exitCode = server->WaitForExit(kExitAfterCloseMilliseconds);
    if (!exitCode) server->Terminate();
    failure = "the scan server " + Utf8FromWide(settings_.serverPath) +
              " ended before its first \"ready:\" prompt" +
              (exitCode ? " (exit code " + std::to_string(*exitCode) + ")" : std::string());
    return false;
}

ScanAnswer ScanClient::Scan(const std::wstring& request, DWORD timeoutMilliseconds) {
    ScanAnswer answer;
    if (!server_) return answer;
    DumpFiles dumpsBefore = ListDumps(settings_.dumpDirectory);
    std::string output;
    // A failed write means the server is already gone; its output tells the rest.
    WaitResult waited = server_->SendRequest(Utf8FromWide(request))
                            ? server_->WaitForReady(timeoutMilliseconds, output)
                            : server_->WaitForReady(kExitAfterCloseMilliseconds, output);
    // A server writing a dump has crashed already, and writing the dump may
    // take longer than a scan is given.
    if (waited == WaitResult::kTimedOut && !NewDump(settings_.dumpDirectory, dumpsBefore).empty()) {
        std::string more;
        waited = server_->WaitForReady(kDumpWritingMilliseconds, more);
        output += more;
    }
    answer.lines = SortByChannel(output);
    switch (waited) {
        case WaitResult::kReady:
            answer.end = ScanEnd::kAnswered;
            answer.reportRead = ReadAnswerReport(JoinLines(answer.lines.report), answer);
            return answer;
        case WaitResult::kTimedOut:
            answer.end = ScanEnd::kTimedOut;
            server_->Terminate();
            server_.reset();
            return answer;
        case WaitResult::kClosed:
            break;
    }
    EndAfterOutputClosed(answer);
    if (answer.end == ScanEnd::kCrashed) {
        answer.dumpPath = NewDump(settings_.dumpDirectory, dumpsBefore);
    }
    return answer;
}

void ScanClient::EndAfterOutputClosed(ScanAnswer& answer) {
    answer.exitCode = server_->WaitForExit(kExitAfterCloseMilliseconds);
    if (!answer.exitCode) server_->Terminate();
    answer.end = answer.exitCode == std::optional<DWORD>(protocol::kCrashExitCode)
                     ? ScanEnd::kCrashed
                     : ScanEnd::kServerFailed;
    server_.reset();
}

void ScanClient::Stop() {
    server_.reset();
}
