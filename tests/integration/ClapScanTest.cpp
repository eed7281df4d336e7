// CLAP files through the real server: every line of a scan (after a cached
// VST 2 shell), the report of each kind of file, and the crashes that end the
// server with exit code 9 and a dump.
#include <gtest/gtest.h>

#include <regex>

#include "support/ServerSession.h"

namespace {

// The report of several.clap, byte for byte: the layout every CLAP report has.
std::string SeveralReportText(const std::string& path) {
    return R"(>:{
>:  "format":      "clap",
>:  "error":       "",
>:  "platform":    "x64",
>:  "fileVersion": "1.4.2.0",
>:  "clapVersion": "1.2.0",
>:  "plugins": [
>:    {
>:      "id":          "org.marlowind.test.synth",
>:      "name":        "Test CLAP Synth",
>:      "vendor":      "Marlowind Tests",
>:      "version":     "1.4.2",
>:      "description": "A synth with every text",
>:      "url":         "https:\/\/example.com\/synth",
>:      "manualUrl":   "https:\/\/example.com\/synth\/manual",
>:      "supportUrl":  "https:\/\/example.com\/support",
>:      "features": [
>:        "instrument",
>:        "synthesizer",
>:        "stereo",
>:      ],
>:    },
>:    {
>:      "id":          "org.marlowind.test.delay",
>:      "name":        "Test CLAP Delay",
>:      "vendor":      "Marlowind Tests",
>:      "version":     "0.9",
>:      "description": "An echo",
>:      "url":         "https:\/\/example.com\/delay",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:        "audio-effect",
>:        "delay",
>:      ],
>:    },
>:    {
>:      "id":          "org.marlowind.test.analyzer",
>:      "name":        "Test CLAP Analyzer",
>:      "vendor":      "Marlowind Tests",
>:      "version":     "2.0.0-beta",
>:      "description": ")" +
           JsonEscapedPath(path) + R"(",
>:      "url":         "",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:        "analyzer",
>:      ],
>:    },
>:  ],
>:}
)";
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
                  SeveralReportText(path));
}

// The texts of odd-texts.clap escaped to ASCII byte for byte (descriptor 1
// leaves every text null); every other report as the host reads it.
TEST(ClapScan, EachKindOfFileGetsItsReport) {
    std::string longText;
    for (int at = 0; at < 4096 / 16; ++at) longText += "0123456789abcdef";
    const std::string oddTexts = R"(warn:Plugin descriptor 0 is NULL, left out
>:{
>:  "format":      "clap",
>:  "error":       "",
>:  "platform":    "x64",
>:  "fileVersion": "",
>:  "clapVersion": "1.2.0",
>:  "plugins": [
>:    {
>:      "id":          "",
>:      "name":        "",
>:      "vendor":      "",
>:      "version":     "",
>:      "description": "",
>:      "url":         "",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:      ],
>:    },
>:    {
>:      "id":          "org.marlowind.test.odd",
>:      "name":        "Caf\u00e9 \ud834\udd1e",
>:      "vendor":      "Bad \ufffd \ufffd end",
>:      "version":     "\"1\"\t\\2\/",
>:      "description": ")" + longText +
                                 R"(",
>:      "url":         "",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:      ],
>:    },
>:  ],
>:}
)";
    auto failed = [](const wchar_t* plugin, const std::string& error,
                     const std::string& clapVersion) {
        return RequestOutcome{ClapPluginPath(plugin), "error:" + error + "\n",
                              ClapReport{error, "x64", "", clapVersion, {}}};
    };
    ExpectOutcomes({
        {ClapPluginPath(L"odd-texts"), oddTexts, std::nullopt},
        failed(L"init-false", "init returned false", "1.2.0"),
        failed(L"version-0", "Unsupported CLAP version 0.9.1", "0.9.1"),
        failed(L"null-factory", "No plugin factory: get_factory returned NULL", "1.2.0"),
        failed(L"no-such-file", "Failed to load library, err=126", ""),
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
