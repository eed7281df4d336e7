// CLAP files through the real server: every line of a scan (after a cached
// VST 2 shell), the report of each kind of file, and the crashes that end the
// server with exit code 9 and a dump.
#include <gtest/gtest.h>

#include <regex>

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
              JsonEscapedPath(initPath),
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
    ExpectOutcomes({
        {ClapPluginPath(L"odd-texts"),
         "warn:Plugin descriptor 0 is NULL, left out\n" +
             ClapReportText({"", "", "1.2.0", {ExpectedClapPlugin{}, odd}})},
        {ClapPluginPath(L"init-false"), failed("init returned false", "1.2.0")},
        {ClapPluginPath(L"version-0"), failed("Unsupported CLAP version 0.9.1", "0.9.1")},
        {ClapPluginPath(L"null-factory"),
         failed("No plugin factory: get_factory returned NULL", "1.2.0")},
        {ClapPluginPath(L"no-such-file"), failed("Failed to load library, err=126", "")},
    });
}

TEST(ClapScan, CrashesEndWithExitCodeNineAndOneDump) {
    const struct {
        const wchar_t* plugin;
        // The last line the server wrote before the plugin brought it down.
        const char* lastLine;
    } kCases[] = {
        {L"crash-init", "info:Calling init..."},
        {L"crash-descriptor", "info:Reading plugin descriptor 1..."},
        {L"crash-deinit", "info:Calling deinit..."},
    };
    for (const auto& each : kCases) {
        SCOPED_TRACE(Utf8FromWide(each.plugin));
        ExpectCrashWithOneDump(ClapPluginPath(each.plugin), each.lastLine);
    }
}

}  // namespace
