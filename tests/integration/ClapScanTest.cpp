// CLAP files through the real server: every line of a scan (after a cached
// VST 2 shell), the report of each kind of file, and the crashes that end the
// server with exit code 9 and a dump.
#include <gtest/gtest.h>

#include <regex>

#include "host/ScanClient.h"
#include "support/ServerSession.h"

namespace {

// What an instance told, as the report shows it; the default is a plugin
// whose instance was not tried.
struct AudioPort {
    std::string name;
    int channels;
    bool main;
    std::string portType;
};
struct NotePort {
    std::string name;
    int dialects;
    int preferred;
};
struct Instance {
    std::string error;
    std::vector<AudioPort> audioInputs, audioOutputs;
    std::vector<NotePort> noteInputs, noteOutputs;
    int parameters = -1;
    int latencySamples = -1;
    std::vector<std::string> extensions;
};

// An instance that failed at its first step.
Instance FailedAt(const std::string& error) {
    Instance instance;
    instance.error = error;
    return instance;
}

std::string AudioPortRows(const std::string& key, const std::vector<AudioPort>& ports) {
    std::string rows = ">:      \"" + key + "\": [\n";
    for (const AudioPort& port : ports) {
        rows += ">:        {\n>:          \"name\":     \"" + port.name +
                "\",\n>:          \"channels\": " + std::to_string(port.channels) +
                ",\n>:          \"main\":     " + (port.main ? "true" : "false") +
                ",\n>:          \"portType\": \"" + port.portType + "\",\n>:        },\n";
    }
    return rows + ">:      ],\n";
}

std::string NotePortRows(const std::string& key, const std::vector<NotePort>& ports) {
    std::string rows = ">:      \"" + key + "\": [\n";
    for (const NotePort& port : ports) {
        rows += ">:        {\n>:          \"name\":      \"" + port.name +
                "\",\n>:          \"dialects\":  " + std::to_string(port.dialects) +
                ",\n>:          \"preferred\": " + std::to_string(port.preferred) +
                ",\n>:        },\n";
    }
    return rows + ">:      ],\n";
}

// A plugin object: its descriptor's rows, then what its instance told.
std::string PluginText(const std::string& descriptorRows, const Instance& instance) {
    std::string text = ">:    {\n" + descriptorRows + ">:      \"instanceError\": \"" +
                       instance.error + "\",\n" +
                       AudioPortRows("audioInputs", instance.audioInputs) +
                       AudioPortRows("audioOutputs", instance.audioOutputs) +
                       NotePortRows("noteInputs", instance.noteInputs) +
                       NotePortRows("noteOutputs", instance.noteOutputs) +
                       ">:      \"parameters\":     " + std::to_string(instance.parameters) +
                       ",\n>:      \"latencySamples\": " + std::to_string(instance.latencySamples) +
                       ",\n>:      \"extensions\": [\n";
    for (const std::string& id : instance.extensions) text += ">:        \"" + id + "\",\n";
    return text + ">:      ],\n>:    },\n";
}

// The layout every CLAP report has.
std::string ReportText(const std::string& fileVersion, bool instances,
                       const std::string& pluginTexts) {
    return R"(>:{
>:  "format":      "clap",
>:  "error":       "",
>:  "platform":    "x64",
>:  "fileVersion": ")" +
           fileVersion + R"(",
>:  "clapVersion": "1.2.0",
>:  "instances":   )" +
           (instances ? "true" : "false") + ",\n>:  \"plugins\": [\n" + pluginTexts +
           ">:  ],\n>:}\n";
}

const std::string kSynthRows = R"(>:      "id":          "org.marlowind.test.synth",
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
)";

const Instance kSynth = {
    "",
    {},
    {{"Main Out", 2, true, "stereo"}, {"Aux Out", 1, false, "mono"}},
    {{"Notes", 7, 1}},
    {},
    4,
    256,
    {"clap.audio-ports", "clap.note-ports", "clap.params", "clap.latency", "clap.state", "clap.gui",
     "clap.note-name", "clap.voice-info", "clap.remote-controls"}};

// The report of several.clap, byte for byte, with its instances or without.
std::string SeveralReportText(const std::string& path, bool instances) {
    const std::string delayRows = R"(>:      "id":          "org.marlowind.test.delay",
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
)";
    const std::string analyzerRows = R"(>:      "id":          "org.marlowind.test.analyzer",
>:      "name":        "Test CLAP Analyzer",
>:      "vendor":      "Marlowind Tests",
>:      "version":     "2.0.0-beta",
>:      "description": ")" + JsonEscapedPath(path) +
                                     R"(",
>:      "url":         "",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:        "analyzer",
>:      ],
)";
    const Instance delay = {
        "",
        {{"Main In", 2, true, "stereo"}, {"Side Chain", 2, false, "stereo"}},
        {{"Main Out", 2, true, "stereo"}},
        {},
        {},
        2,
        64,
        {"clap.audio-ports", "clap.params", "clap.latency", "clap.tail", "clap.audio-ports-config",
         "clap.render", "clap.remote-controls.draft/2"}};
    const Instance analyzer = {"",
                               {{"In", 2, true, ""}},
                               {},
                               {},
                               {{"MIDI Out", 10, 8}},
                               -1,
                               -1,
                               {"clap.audio-ports", "clap.note-ports"}};
    if (!instances) {
        return ReportText(
            "1.4.2.0", false,
            PluginText(kSynthRows, {}) + PluginText(delayRows, {}) + PluginText(analyzerRows, {}));
    }
    return ReportText("1.4.2.0", true,
                      PluginText(kSynthRows, kSynth) + PluginText(delayRows, delay) +
                          PluginText(analyzerRows, analyzer));
}

// The lines of one plugin's instance in several.clap: the host's names and
// threads in its log, its steps, its own log lines.
std::string InstanceLines(int at, const std::string& id, const std::string& steps) {
    std::string plugin = std::to_string(at);
    return "info:Creating plugin " + plugin + " '" + id + "'...\ninfo:Initialising plugin " +
           plugin +
           "...\ninfo:Plugin log: Marlowind 1.0.0 by Vorlix Software (), main thread 1, audio "
           "thread 0\n" +
           steps + "info:Destroying plugin " + plugin + "...\n";
}

// The cached shell is freed first; the ">" id means nothing to a CLAP file,
// whose suffix counts in any letter case. Every descriptor is read before the
// first instance is created.
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
                  "info:Reading plugin descriptor 2...\n" +
                  InstanceLines(0, "org.marlowind.test.synth",
                                "info:Asking plugin 0 for its extensions...\n"
                                "info:Reading audio ports of plugin 0...\n"
                                "info:Reading note ports of plugin 0...\n"
                                "info:Counting parameters of plugin 0...\n"
                                "info:Activating plugin 0...\n"
                                "info:Reading latency of plugin 0...\n"
                                "info:Deactivating plugin 0...\n") +
                  InstanceLines(1, "org.marlowind.test.delay",
                                "info:Plugin log: Delay line\\tready\\n\n"
                                "info:Asking plugin 1 for its extensions...\n"
                                "info:Reading audio ports of plugin 1...\n"
                                "info:Counting parameters of plugin 1...\n"
                                "info:Activating plugin 1...\n"
                                "info:Reading latency of plugin 1...\n"
                                "info:Deactivating plugin 1...\n") +
                  InstanceLines(2, "org.marlowind.test.analyzer",
                                "info:Asking plugin 2 for its extensions...\n"
                                "info:Reading audio ports of plugin 2...\n"
                                "info:Reading note ports of plugin 2...\n") +
                  "info:Calling deinit...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n" +
                  SeveralReportText(path, true));
}

// The texts of odd-texts.clap escaped to ASCII byte for byte (descriptor 1
// leaves every text null), the factory-only request and the instances that
// fail at one step byte for byte too; every other report as the host reads it.
TEST(ClapScan, EachKindOfFileGetsItsReport) {
    std::string longText;
    for (int at = 0; at < 4096 / 16; ++at) longText += "0123456789abcdef";
    const std::string nullTextRows = R"(>:      "id":          "",
>:      "name":        "",
>:      "vendor":      "",
>:      "version":     "",
>:      "description": "",
>:      "url":         "",
>:      "manualUrl":   "",
>:      "supportUrl":  "",
>:      "features": [
>:      ],
)";
    const std::string oddTextRows = R"(>:      "id":          "org.marlowind.test.odd",
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
)";
    // Its one port's name fills the whole field, without a terminator.
    const Instance odd = {
        "", {{longText.substr(0, 256), 1, false, "cv"}}, {}, {}, {}, -1, -1, {"clap.audio-ports"}};
    const std::string oddTexts =
        "warn:Plugin descriptor 0 is NULL, left out\n"
        "warn:Plugin 0: descriptor has no id\n"
        "warn:Plugin log: No \\x1Bcolour\n" +
        ReportText("", true,
                   PluginText(nullTextRows, FailedAt("descriptor has no id")) +
                       PluginText(oddTextRows, odd));
    // One synth descriptor, whose instance fails at one step.
    auto synthOnly = [](const wchar_t* plugin, const Instance& instance) {
        std::string warning =
            instance.error.empty() ? "" : "warn:Plugin 0: " + instance.error + "\n";
        return RequestOutcome{ClapPluginPath(plugin),
                              warning + ReportText("", true, PluginText(kSynthRows, instance)),
                              std::nullopt};
    };
    Instance notActivated = kSynth;
    notActivated.latencySamples = -1;
    Instance noteGetFailed = {"note-ports get returned false for input 0",
                              {},
                              kSynth.audioOutputs,
                              {},
                              {},
                              -1,
                              -1,
                              kSynth.extensions};
    std::string several = Utf8FromWide(ClapPluginPath(L"several"));
    auto failed = [](const wchar_t* plugin, const std::string& error,
                     const std::string& clapVersion) {
        return RequestOutcome{ClapPluginPath(plugin), "error:" + error + "\n",
                              ClapReport{error, "x64", "", clapVersion, false, {}}};
    };
    ExpectOutcomes({
        {ClapPluginPath(L"odd-texts"), oddTexts, std::nullopt},
        {ClapPluginPath(L"several") + L">factory", SeveralReportText(several, false), std::nullopt},
        synthOnly(L"create-null", FailedAt("create_plugin returned NULL")),
        synthOnly(L"plugin-init-false", FailedAt("init returned false")),
        synthOnly(L"activate-false", notActivated),
        synthOnly(L"note-ports-false", noteGetFailed),
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
        {L"crash-audio-ports", "info:Reading audio ports of plugin 0..."},
    };
    for (const auto& each : kCases) {
        SCOPED_TRACE(Utf8FromWide(each.plugin));
        ExpectCrashWithOneDump(ClapPluginPath(each.plugin), each.lastLine);
    }
}

// A plugin that hangs in its init holds the server until the host's time
// limit, the step named on the last line; the factory-only request that
// follows still gives the file's descriptor.
TEST(ClapScan, HangInPluginInitRunsIntoTheTimeLimit) {
    ServerSettings settings;
    settings.serverPath = ServerPath();
    ScanClient client(settings);
    std::string failure;
    ASSERT_TRUE(client.Start(failure)) << failure;
    ScanAnswer hung = client.Scan(ClapPluginPath(L"hang-plugin-init"), 2000);
    EXPECT_EQ(hung.end, ScanEnd::kTimedOut);
    ASSERT_FALSE(hung.lines.info.empty());
    EXPECT_EQ(hung.lines.info.back(), "Initialising plugin 0...");
    ASSERT_TRUE(client.Start(failure)) << failure;
    ScanAnswer factory = client.Scan(ClapPluginPath(L"hang-plugin-init") + L">factory", 120000);
    ASSERT_TRUE(factory.report.has_value());
    const ClapReport& report = std::get<ClapReport>(*factory.report);
    ASSERT_EQ(report.plugins.size(), 1u);
    EXPECT_EQ(report.plugins[0].id, "org.marlowind.test.synth");
}

}  // namespace
