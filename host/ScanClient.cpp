#include "host/ScanClient.h"

#include <cstdio>

#include "host/DumpFolder.h"
#include "host/MinidumpReader.h"
#include "host/ReportJson.h"
#include "host/Text.h"
#include "protocol/Protocol.h"

namespace {

// The end of a server whose output has closed comes at most this much later.
constexpr DWORD kExitAfterCloseMilliseconds = 10000;
// How long a crashed server may take to write its dump (seconds under Wine).
constexpr DWORD kDumpWritingMilliseconds = 120000;

struct ExitCodeText {
    DWORD exitCode;
    const char* text;
};

constexpr ExitCodeText kExitCodeTexts[] = {
    {protocol::kCrashExitCode, "The plugin crashed the scan server"},
    {0xC0000409, "The plugin ended the scan server with a fail-fast"},
    {0xC00000FD, "The plugin overflowed the scan server's stack"},
    {3, "The plugin aborted the scan server"},
    {0, "The plugin ended the scan server's process"},
};

// Status codes in hexadecimal, as Windows shows them; small codes in decimal.
std::string ExitCodeNumber(DWORD exitCode) {
    char text[16];
    std::snprintf(text, sizeof(text), exitCode >= 0x80000000u ? "0x%.8lX" : "%lu",
                  static_cast<unsigned long>(exitCode));
    return text;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    size_t length = 0;
    for (const std::string& line : lines) length += line.size() + 1;
    std::string text;
    text.reserve(length);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace

std::string ServerEndText(ScanEnd end, std::optional<DWORD> exitCode) {
    if (end == ScanEnd::kServerFailed) {
        return exitCode ? "The scan server ended before the request reached it (exit code " +
                              ExitCodeNumber(*exitCode) + ")"
                        : "The scan server stopped reading requests but did not end; it was ended";
    }
    if (!exitCode)
        return "The scan server closed its output during the scan but did not end; it was ended";
    std::string text = "The scan server ended during the scan";
    for (const ExitCodeText& known : kExitCodeTexts) {
        if (known.exitCode == *exitCode) text = known.text;
    }
    return text + " (exit code " + ExitCodeNumber(*exitCode) + ")";
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
            dumpsBefore_ = ListDumps(settings_.dumpDirectory);
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
    std::string output;
    // A failed write means the server had ended before the request reached it.
    bool sent = server_->SendRequest(Utf8FromWide(request));
    WaitResult waited =
        server_->WaitForReady(sent ? timeoutMilliseconds : kExitAfterCloseMilliseconds, output);
    // A server writing a dump has crashed already, and writing the dump may
    // take longer than a scan is given.
    if (waited == WaitResult::kTimedOut &&
        !NewDump(settings_.dumpDirectory, dumpsBefore_).empty()) {
        std::string more;
        waited = server_->WaitForReady(kDumpWritingMilliseconds, more);
        output += more;
    }
    answer.lines = SortByChannel(output);
    if (sent && waited == WaitResult::kReady) {
        answer.end = ScanEnd::kAnswered;
        AnyReport report;
        if (ParseAnyReport(JoinLines(answer.lines.report), report))
            answer.report = std::move(report);
        return answer;
    }
    if (sent && waited == WaitResult::kTimedOut) {
        answer.end = ScanEnd::kTimedOut;
        server_->Terminate();
        server_.reset();
        return answer;
    }
    answer.end = sent ? ScanEnd::kCrashed : ScanEnd::kServerFailed;
    EndServer(answer);
    answer.dumpPath = NewDump(settings_.dumpDirectory, dumpsBefore_);
    if (!answer.dumpPath.empty()) answer.faultModule = FaultingModuleOfDump(answer.dumpPath);
    return answer;
}

void ScanClient::EndServer(ScanAnswer& answer) {
    answer.exitCode = server_->WaitForExit(kExitAfterCloseMilliseconds);
    if (!answer.exitCode) server_->Terminate();
    server_.reset();
}

void ScanClient::Stop() {
    server_.reset();
}
