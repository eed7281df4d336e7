// CLAP files through the real server: every line of a scan (after a cached
// VST 2 shell), the report of each kind of file, and the crashes that end the
// server with exit code 9 and a dump.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "host/DumpFolder.h"
#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

struct ExpectedClapPlugin {
    std::string id, name, vendor, version, description, url, manualUrl, supportUrl;
    std::vector<std::string> features;
};

// A CLAP report as the server prints it; texts are given already escaped.
struct ExpectedClapReport {
    std::string error, fileVersion, clapVersion;
    std::vector<ExpectedClapPlugin> plugins;
};

std::string ClapReportText(const ExpectedClapReport& r) {
    std::string text = ">:{\n>:  \"format\":      \"clap\",\n";
    text += ">:  \"error\":       \"" + r.error + "\",\n";
    text += ">:  \"platform\":    \"x64\",\n";
    text += ">:  \"fileVersion\": \"" + r.fileVersion + "\",\n";
    text += ">:  \"clapVersion\": \"" + r.clapVersion + "\",\n";
    text += ">:  \"plugins\": [\n";
    for (const ExpectedClapPlugin& p : r.plugins) {
        text += ">:    {\n";
        text += ">:      \"id\":          \"" + p.id + "\",\n";
        text += ">:      \"name\":        \"" + p.name + "\",\n";
        text += ">:      \"vendor\":      \"" + p.vendor + "\",\n";
        text += ">:      \"version\":     \"" + p.version + "\",\n";
        text += ">:      \"description\": \"" + p.description + "\",\n";
        text += ">:      \"url\":         \"" + p.url + "\",\n";
        text += ">:      \"manualUrl\":   \"" + p.manualUrl + "\",\n";
        text += ">:      \"supportUrl\":  \"" + p.supportUrl + "\",\n";
        text += ">:      \"features\": [\n";
        for (const std::string& feature : p.features) text += ">:        \"" + feature + "\",\n";
        text += ">:      ],\n>:    },\n";
    }
    return text + ">:  ],\n>:}\n";
}

// An ASCII path as a JSON string body.
std::string Escaped(const std::string& path) {
    return std::regex_replace(std::regex_replace(path, std::regex("\\\\"), "\\\\"), std::regex("/"),
                              "\\/");
}

// What the server wrote for each request, up to (not including) the next prompt.
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

ExpectedClapReport Several(const std::string& initPath) {
    return {"",
            "1.4.2.0",
            "1.2.0",
            {{"org.marlowind.test.synth",
              "Test CLAP Synth",
              "Marlowind Tests",
              "1.4.2",
              "A synth with every text",
              "https:\\/\\/example.com\\/synth",
              "https:\\/\\/example.com\\/synth\\/manual",
              "https:\\/\\/example.com\\/support",
              {"instrument", "synthesizer", "stereo"}},
             {"org.marlowind.test.delay",
              "Test CLAP Delay",
              "Marlowind Tests",
              "0.9",
              "An echo",
              "https:\\/\\/example.com\\/delay",
              "",
              "",
              {"audio-effect", "delay"}},
             {"org.marlowind.test.analyzer",
              "Test CLAP Analyzer",
              "Marlowind Tests",
              "2.0.0-beta",
              Escaped(initPath),
              "",
              "",
              "",
              {"analyzer"}}}};
}

// The cached shell is freed first; the ">" id means nothing to a CLAP file,
// whose suffix counts in any letter case.
TEST(ClapScan, EveryStepIsWrittenAfterTheCachedShellIsFreed) {
    std::string path = Utf8FromWide(ProgramDirectory()) + "plugins\\SEVERAL.CLAP";
    Session session = RunSession({Utf8FromWide(PluginPath(L"shell")), path + ">5"});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 2u) << session.transcript;
    static const std::regex handle("(Looking for clap_entry in module )[0-9A-F]{16}\n");
    EXPECT_EQ(std::regex_replace(outputs[1], handle, "$1<module>\n"),
              "info:Scanning plugin: '" + path +
                  ">5'\n"
                  "info:Freeing cached library...\n"
                  "info:Freed\n"
                  "info:Loading library...\n"
                  "info:Looking for clap_entry in module <module>\n"
                  "info:Found clap_entry, CLAP version 1.2.0\n"
                  "info:Calling init...\n"
                  "info:Getting plugin factory...\n"
                  "info:Counting plugins...\n"
                  "info:Plugin count: 3\n"
                  "info:Reading plugin descriptor 0...\n"
                  "info:Reading plugin descriptor 1...\n"
                  "info:Reading plugin descriptor 2...\n"
                  "info:Calling deinit...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n" +
                  ClapReportText(Several(path)));
}

// The warn, error and report lines of one request.
std::string Outcome(const std::string& output) {
    std::string outcome;
    for (const std::string& line : SplitLines(output)) {
        if (line.rfind(">:", 0) == 0 || line.rfind("error:", 0) == 0 ||
            line.rfind("warn:", 0) == 0) {
            outcome += line;
        }
    }
    return outcome;
}

TEST(ClapScan, EachKindOfFileGetsItsReport) {
    std::string longText;
    for (int at = 0; at < 4096 / 16; ++at) longText += "0123456789abcdef";
    ExpectedClapPlugin odd = {"org.marlowind.test.odd",
                              "Caf\\u00e9 \\ud834\\udd1e",
                              "Bad \\ufffd \\ufffd end",
                              "\\\"1\\\"\\t\\\\2\\/",
                              longText,
                              "",
                              "",
                              "",
                              {}};
    auto failed = [](const std::string& error, const std::string& clapVersion) {
        return "error:" + error + "\n" + ClapReportText({error, "", clapVersion, {}});
    };
    const struct {
        std::wstring path;
        std::string outcome;
    } kCases[] = {
        {ClapPluginPath(L"odd-texts"),
         "warn:Plugin descriptor 0 is NULL, left out\n" +
             ClapReportText({"", "", "1.2.0", {ExpectedClapPlugin{}, odd}})},
        {ClapPluginPath(L"init-false"), failed("init returned false", "1.2.0")},
        {ClapPluginPath(L"version-0"), failed("Unsupported CLAP version 0.9.1", "0.9.1")},
        {ClapPluginPath(L"null-factory"),
         failed("No plugin factory: get_factory returned NULL", "1.2.0")},
        {ClapPluginPath(L"no-such-file"), failed("Failed to load library, err=126", "")},
    };
    std::vector<std::string> requests;
    for (const auto& each : kCases) requests.push_back(Utf8FromWide(each.path));
    Session session = RunSession(requests);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), requests.size()) << session.transcript;
    for (size_t at = 0; at < requests.size(); ++at) {
        EXPECT_EQ(Outcome(outputs[at]), kCases[at].outcome) << requests[at];
    }
}

struct CrashCase {
    const wchar_t* plugin;
    // The last line the server wrote before the plugin brought it down.
    const char* lastLine;
};

class ClapCrash : public testing::TestWithParam<CrashCase> {};

TEST_P(ClapCrash, EndsWithExitCodeNineAndOneDump) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dumps = std::wstring(temp) + L"clap-crash-" + GetParam().plugin + L"-" +
                         std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dumps.c_str(), nullptr);
    ServerLaunch launch;
    launch.dumpDirectory = dumps;
    Session session =
        RunSession({Utf8FromWide(ClapPluginPath(GetParam().plugin)), "never-sent.clap"}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    std::string ending = std::string(GetParam().lastLine) + "\n";
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

INSTANTIATE_TEST_SUITE_P(Plugins, ClapCrash,
                         testing::Values(CrashCase{L"crash-init", "info:Calling init..."},
                                         CrashCase{L"crash-descriptor",
                                                   "info:Reading plugin descriptor 1..."},
                                         CrashCase{L"crash-deinit", "info:Calling deinit..."}),
                         [](const testing::TestParamInfo<CrashCase>& info) {
                             std::string name;
                             for (const wchar_t* c = info.param.plugin; *c; ++c) {
                                 name += *c == L'-' ? '_' : static_cast<char>(*c);
                             }
                             return name;
                         });

}  // namespace
