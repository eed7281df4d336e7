#include "support/ServerSession.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <regex>

#include "host/DumpFolder.h"
#include "protocol/Protocol.h"

std::wstring ServerPath() {
    return ProgramDirectory() + L"ScanServer-x64.exe";
}

std::wstring PluginPath(const std::wstring& name) {
    return ProgramDirectory() + L"plugins\\" + name + L".dll";
}

std::wstring ClapPluginPath(const std::wstring& name) {
    return ProgramDirectory() + L"plugins\\" + name + L".clap";
}

std::wstring Vst3PluginPath(const std::wstring& name) {
    return ProgramDirectory() + L"plugins\\" + name + L".vst3";
}

Session RunSession(const std::vector<std::string>& requests, ServerLaunch launch) {
    constexpr DWORD kGenerousWait = 120000;
    if (launch.serverPath.empty()) launch.serverPath = ServerPath();
    launch.keepTranscript = true;
    Session session;
    ServerProcess server;
    if (!server.Start(launch)) return session;
    std::string ignored;
    for (const std::string& request : requests) {
        if (server.WaitForReady(kGenerousWait, ignored) != WaitResult::kReady) break;
        if (!server.SendRequest(request)) break;
    }
    // The last answer ends in a prompt or in a closed pipe; either way the input closes now.
    static_cast<void>(server.WaitForReady(kGenerousWait, ignored));
    server.CloseInput();
    std::optional<DWORD> exitCode = server.WaitForExit(kGenerousWait);
    if (!exitCode) server.Terminate();
    server.WaitForOutputClosed();
    session.transcript = server.Transcript();
    session.exited = exitCode.has_value();
    session.exitCode = exitCode.value_or(0);
    return session;
}

namespace {

// The warn and error lines of one request's output, and its report lines
// when asked for.
std::string OutcomeLines(const std::string& output, bool withReport) {
    std::string lines;
    for (const std::string& line : SplitLines(output)) {
        if ((withReport && line.rfind(">:", 0) == 0) || line.rfind("error:", 0) == 0 ||
            line.rfind("warn:", 0) == 0) {
            lines += line;
        }
    }
    return lines;
}

// The report lines without their channel, read by the host's reader of the report's format.
std::optional<AnyReport> ReadReport(const std::string& output) {
    std::string text;
    for (const std::string& line : SplitLines(output)) {
        if (line.rfind(">:", 0) == 0) text += line.substr(2);
    }
    AnyReport report;
    if (!ParseAnyReport(text, report)) return std::nullopt;
    return report;
}

}  // namespace

std::vector<std::string> RequestOutputs(const std::string& transcript) {
    std::vector<std::string> outputs;
    size_t at = transcript.find("ready:\n");
    while (at != std::string::npos) {
        size_t next = transcript.find("ready:\n", at + 7);
        if (next == std::string::npos) break;
        outputs.push_back(transcript.substr(at + 7, next - at - 7));
        at = next;
    }
    return outputs;
}

void ExpectOutcomes(const std::vector<RequestOutcome>& cases) {
    std::vector<std::string> requests;
    for (const RequestOutcome& each : cases) requests.push_back(Utf8FromWide(each.path));
    Session session = RunSession(requests);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), requests.size()) << session.transcript;
    for (size_t at = 0; at < requests.size(); ++at) {
        const RequestOutcome& expected = cases[at];
        EXPECT_EQ(OutcomeLines(outputs[at], !expected.report), expected.lines) << requests[at];
        if (expected.report) {
            EXPECT_TRUE(ReadReport(outputs[at]) == expected.report) << outputs[at];
        }
    }
}

std::string JsonEscapedPath(const std::string& path) {
    return std::regex_replace(std::regex_replace(path, std::regex("\\\\"), "\\\\"), std::regex("/"),
                              "\\/");
}

std::wstring FreshDumpFolder() {
    static int count = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dumps = std::wstring(temp) + L"crash-dumps-" +
                         std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    CreateDirectoryW(dumps.c_str(), nullptr);
    return dumps;
}

void ExpectCrashWithOneDump(const std::wstring& request, const std::string& lastLine) {
    std::wstring dumps = FreshDumpFolder();
    ServerLaunch launch;
    launch.dumpDirectory = dumps;
    Session session = RunSession({Utf8FromWide(request), "never-sent.dll"}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    std::string ending = lastLine + "\n";
    ASSERT_GE(session.transcript.size(), ending.size()) << session.transcript;
    EXPECT_EQ(session.transcript.substr(session.transcript.size() - ending.size()), ending);
    EXPECT_EQ(session.transcript.find(">:"), std::string::npos);
    ASSERT_EQ(ListDumps(dumps).size(), 1u);
    std::wstring dump = NewDump(dumps, {});
    std::ifstream file(dump.c_str(), std::ios::binary);
    char magic[4] = {};
    file.read(magic, 4);
    file.close();
    EXPECT_EQ(std::string(magic, 4), "MDMP");
    DeleteFileW(dump.c_str());
    RemoveDirectoryW(dumps.c_str());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

size_t CountLines(const std::string& text, const std::string& line) {
    size_t count = 0;
    for (const std::string& each : SplitLines(text)) count += each == line ? 1 : 0;
    return count;
}

std::string EmptyReportText(const std::string& error) {
    return ">:{\n"
           ">:  \"id\":        \"00000000\",\n"
           ">:  \"name\":      \"\",\n"
           ">:  \"vendor\":    \"\",\n"
           ">:  \"product\":   \"\",\n"
           ">:  \"version\":   \"\",\n"
           ">:  \"error\":     \"" +
           error +
           "\",\n"
           ">:  \"numInputs\": 0,\n"
           ">:  \"numOutputs\":0,\n"
           ">:  \"wantsMidi\":  false,\n"
           ">:  \"sendsMidi\": false,\n"
           ">:  \"platform\":  \"x64\",\n"
           ">:  \"audio64\":   false,\n"
           ">:  \"category\":  -1,\n"
           ">:  \"synthEdit\": false,\n"
           ">:}\n";
}
