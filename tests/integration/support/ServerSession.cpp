#include "support/ServerSession.h"

#include <cstdarg>
#include <cstdio>

std::wstring ServerPath() { return ProgramDirectory() + L"ScanServer-x64.exe"; }

std::wstring PluginPath(const std::wstring& name) {
    return ProgramDirectory() + L"plugins\\" + name + L".dll";
}

std::wstring ClapPluginPath(const std::wstring& name) {
    return ProgramDirectory() + L"plugins\\" + name + L".clap";
}

Session RunSession(const std::vector<std::string>& requests, ServerLaunch launch) {
    constexpr DWORD kGenerousWait = 120000;
    if (launch.serverPath.empty()) launch.serverPath = ServerPath();
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

namespace {

const char* Flag(bool value) { return value ? "true" : "false"; }

std::string Printf(const char* format, ...) {
    char buffer[2048];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return buffer;
}

}  // namespace

std::string ReportText(const ExpectedReport& r) {
    std::string text = ">:{\n";
    text += Printf(">:  \"id\":        \"%.8X\",\n", r.id);
    text += ">:  \"name\":      \"" + r.name + "\",\n";
    text += ">:  \"vendor\":    \"" + r.vendor + "\",\n";
    text += ">:  \"product\":   \"" + r.product + "\",\n";
    text += ">:  \"version\":   \"" + r.version + "\",\n";
    text += ">:  \"error\":     \"" + r.error + "\",\n";
    text += Printf(">:  \"numInputs\": %d,\n", r.numInputs);
    text += Printf(">:  \"numOutputs\":%d,\n", r.numOutputs);
    text += Printf(">:  \"wantsMidi\":  %s,\n", Flag(r.wantsMidi));
    text += Printf(">:  \"sendsMidi\": %s,\n", Flag(r.sendsMidi));
    text += ">:  \"platform\":  \"x64\",\n";
    text += Printf(">:  \"audio64\":   %s,\n", Flag(r.audio64));
    text += Printf(">:  \"category\":  %d,\n", r.category);
    text += Printf(">:  \"synthEdit\": %s,\n", Flag(r.synthEdit));
    if (r.category == 10) {
        text += ">:  \"shells\": {\n";
        for (const ExpectedShell& shell : r.shells) {
            text += Printf(">:        \"%.8X\": \"", shell.id) + shell.name + "\",\n";
        }
        text += ">:  },\n";
    }
    text += ">:}\n";
    return text;
}
