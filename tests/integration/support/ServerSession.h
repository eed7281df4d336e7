// What the integration tests share: where the server and the test plugins
// are, one whole session with the server, and the report a result should give.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "host/AnyReport.h"
#include "host/ServerProcess.h"
#include "host/Text.h"

std::wstring ServerPath();
std::wstring PluginPath(const std::wstring& name);
// bin/plugins/<name>.clap
std::wstring ClapPluginPath(const std::wstring& name);
// bin/plugins/<name>.vst3, a module file or a bundle folder
std::wstring Vst3PluginPath(const std::wstring& name);

struct Session {
    std::string transcript;
    DWORD exitCode = 0;
    bool exited = false;
};

// Starts the server, sends each request after its "ready:", closes the input
// after the last prompt and waits for the end of the process.
Session RunSession(const std::vector<std::string>& requests, ServerLaunch launch = {});

// What the server wrote for each request, up to (not including) the next prompt.
std::vector<std::string> RequestOutputs(const std::string& transcript);
struct RequestOutcome {
    std::wstring path;
    // The warn and error lines of the answer, and its report lines too when
    // `report` is none.
    std::string lines;
    // The report as the host's reader of its format reads it.
    std::optional<AnyReport> report;
};
// Sends the paths to one server, which must answer each with its outcome and
// end with exit code 0.
void ExpectOutcomes(const std::vector<RequestOutcome>& cases);
// An ASCII path as a JSON string body.
std::string JsonEscapedPath(const std::string& path);
// A new, empty folder for the dumps of one server.
std::wstring FreshDumpFolder();
// Sends the request, after which the server must crash: exit code 9 right
// after the last line given, no report, one minidump in a folder of its own.
void ExpectCrashWithOneDump(const std::wstring& request, const std::string& lastLine);

std::vector<std::string> SplitLines(const std::string& text);
size_t CountLines(const std::string& text, const std::string& line);

// The VST 2 report of a request that was not scanned, around its error.
std::string EmptyReportText(const std::string& error);
