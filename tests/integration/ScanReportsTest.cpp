// Whole scans of the test plugins through the real server: every line of a
// plain scan, and the report each kind of plugin gives.
#include <gtest/gtest.h>

#include <regex>

#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

// The module handle differs from run to run; it must be sixteen upper-case
// hexadecimal digits, and is then replaced by a fixed mark.
std::string MaskModuleHandles(const std::string& transcript) {
    static const std::regex handle("(Looking for entry point in module )[0-9A-F]{16}\n");
    return std::regex_replace(transcript, handle, "$1<module>\n");
}

// What the server wrote for each request, from its "Scanning plugin" line up
// to (not including) the next prompt.
std::vector<std::string> RequestOutputs(const std::string& transcript) {
    std::vector<std::string> outputs;
    size_t at = transcript.find(protocol::kPromptLine);
    while (at != std::string::npos) {
        size_t start = at + 7;
        size_t next = transcript.find(protocol::kPromptLine, start);
        if (next == std::string::npos) break;
        outputs.push_back(transcript.substr(start, next - start));
        at = next;
    }
    return outputs;
}

// The error line (if any) and the report lines of one request.
std::string Outcome(const std::string& output) {
    std::string outcome;
    for (const std::string& line : SplitLines(output)) {
        if (line.rfind(">:", 0) == 0 || line.rfind("error:", 0) == 0) outcome += line;
    }
    return outcome;
}

struct Case {
    const wchar_t* plugin;
    ExpectedReport report;
};

std::string ExpectedOutcome(const ExpectedReport& report) {
    return (report.error.empty() ? "" : "error:" + report.error + "\n") + ReportText(report);
}

void ExpectReports(const std::vector<Case>& cases) {
    std::vector<std::string> requests;
    for (const Case& c : cases) requests.push_back(Utf8FromWide(PluginPath(c.plugin)));
    Session session = RunSession(requests);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), cases.size()) << session.transcript;
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(Outcome(outputs[i]), ExpectedOutcome(cases[i].report))
            << "plugin " << Utf8FromWide(cases[i].plugin);
    }
}

ExpectedReport Plugin(uint32_t id, const char* name, const char* product, int category) {
    ExpectedReport report;
    report.id = id;
    report.name = name;
    report.vendor = "Test Vendor";
    report.product = product;
    report.numOutputs = 2;
    report.category = category;
    return report;
}

TEST(ScanReports, PlainScanWritesEveryStepInOrder) {
    std::string path = Utf8FromWide(PluginPath(L"synth"));
    Session session = RunSession({path});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    ExpectedReport report = Plugin(0x5453796E, "Test Synth", "Synth Product", 2);
    report.version = "1.2.3.4";
    report.wantsMidi = true;
    std::string escapedPath = std::regex_replace(path, std::regex("\\\\"), "\\\\");
    EXPECT_EQ(MaskModuleHandles(session.transcript),
              "info:Marlowind Plugin Scan Server (x64)\n" + std::string(protocol::kPromptLine) +
                  "info:Scanning plugin: '" + path +
                  "'\n"
                  "info:Loading library...\n"
                  "info:Looking for entry point in module <module>\n"
                  "info:Found VSTPluginMain()\n"
                  "info:Calling entry point...\n"
                  "info:Dispatching effClose...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n" +
                  ReportText(report) + protocol::kPromptLine);
}

TEST(ScanReports, CategoriesChannelsAndFlags) {
    ExpectedReport effect = Plugin(0x54456666, "Test Effect", "Effect Product", 1);
    effect.version = "1.2.3.0";
    effect.numInputs = 2;
    effect.audio64 = true;
    ExpectedReport noInputs =
        Plugin(0x5443306E, "Category Zero Without Inputs", "Category Product", 2);
    noInputs.version = "1.23.45.678";
    ExpectedReport inputs = Plugin(0x54433069, "Category Zero With Inputs", "Category Product", 1);
    inputs.version = "6.5.5.3";
    inputs.numInputs = 2;
    ExpectedReport odd;
    odd.id = 0xFFFFFFFF;
    odd.version = "-5.0.0.0";
    odd.numInputs = -1;
    odd.category = 5;
    ExpectedReport shellSynth = Plugin(0x54536879, "Synth Flagged Shell", "Shell Product", 2);
    ExpectedReport marked = Plugin(0x54534531, "SynthEdit Marked", "Marker Product", 1);
    marked.version = "1.0.0.0";
    marked.synthEdit = true;
    ExpectedReport decoys = Plugin(0x54534530, "SynthEdit Decoys", "Marker Product", 1);
    decoys.version = "1.0.0.0";
    ExpectReports({{L"effect", effect},
                   {L"category0-no-inputs", noInputs},
                   {L"category0-inputs", inputs},
                   {L"odd-values", odd},
                   {L"shell-synth", shellSynth},
                   {L"synthedit", marked},
                   {L"synthedit-decoys", decoys}});
}

TEST(ScanReports, MidiAbilities) {
    auto midi = [](uint32_t id, const char* name, bool wants, bool sends) {
        ExpectedReport report = Plugin(id, name, "MIDI Product", 1);
        report.wantsMidi = wants;
        report.sendsMidi = sends;
        return report;
    };
    ExpectReports({
        {L"midi-all-zero", midi(0x544D6130, "MIDI All Zero", true, true)},
        {L"midi-want-in-entry", midi(0x544D7765, "MIDI Wanted In Entry Point", true, false)},
        {L"midi-want-late", midi(0x544D776C, "MIDI Wanted Late", false, false)},
        {L"midi-receive-first", midi(0x544D7231, "MIDI First Receive Query", true, true)},
        {L"midi-receive-second", midi(0x544D7232, "MIDI Second Receive Query", true, true)},
        {L"midi-upper-bits", midi(0x544D7562, "MIDI Upper Bits", false, true)},
    });
}

TEST(ScanReports, SecondMidiQueryIsSentOnlyAfterNo) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"midi-receive-first")),
                                  Utf8FromWide(PluginPath(L"midi-receive-second"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 2u);
    const std::string receiveEvents = "query=receiveVstEvents'";
    const std::string sendEvents = "query=sendVstEvents'";
    EXPECT_EQ(outputs[0].find(receiveEvents), std::string::npos);
    EXPECT_NE(outputs[0].find(sendEvents), std::string::npos);
    EXPECT_NE(outputs[1].find(receiveEvents), std::string::npos);
    EXPECT_EQ(outputs[1].find(sendEvents), std::string::npos);
}

TEST(ScanReports, TextsAreEscapedAndCutAt512Bytes) {
    ExpectedReport special;
    special.id = 0x54547370;
    special.name = "Quote \\\" Backslash \\\\ Slash \\/ Tab \\t End";
    special.vendor = "Caf\\u00e9 \\u0001\\u001f\\u007f ~";
    special.product = "\\u00c3\\u00a9 \\b\\f\\n\\r";
    special.version = "1.0.0.0";
    special.numOutputs = 2;
    special.category = 1;
    ExpectedReport unterminated;
    unterminated.id = 0x54547575;
    unterminated.name = "Unterminated Texts";
    for (int i = 0; i < 32; ++i) {
        unterminated.vendor += "0123456789abcdef";
        unterminated.product += "ABCDEFGHIJKLMNOP";
    }
    unterminated.version = "1.0.0.0";
    unterminated.numOutputs = 2;
    unterminated.category = 1;
    ExpectReports({{L"special-texts", special}, {L"unterminated-texts", unterminated}});
}

TEST(ScanReports, VersionFallsBackToTheLibraryResource) {
    auto versioned = [](uint32_t id, const char* name, const char* version) {
        ExpectedReport report = Plugin(id, name, "Version Product", 1);
        report.version = version;
        return report;
    };
    ExpectReports({
        {L"version-product", versioned(0x54567031, "Product Version", "1.2.3.4")},
        {L"version-product-low", versioned(0x54567032, "Product Version Low Half", "0.0.0.7")},
        {L"version-file", versioned(0x54567066, "File Version", "2.0.0.1")},
        {L"version-zero", versioned(0x5456707A, "Zero Version Resource", "")},
        {L"version-none", versioned(0x5456706E, "No Version Resource", "")},
    });
}

TEST(ScanReports, LibrariesThatAreNotUsablePlugins) {
    ExpectedReport null;
    null.error = "Entry point returned NULL";
    null.version = "3.1.4.1";
    ExpectedReport badMagic;
    badMagic.error = "Bad magic";
    ExpectedReport bridge;
    bridge.error = "Module is a jBridge bootstrap, ignoring";
    ExpectedReport noEntry;
    noEntry.error = "Entry point not found, not a VST plugin";
    noEntry.version = "65535.32768.40000.1";
    ExpectedReport mainOnly = Plugin(0x54456D6E, "Entered via main", "Entry Product", 1);
    ExpectedReport both = Plugin(0x54456262, "Entered via VSTPluginMain", "Entry Product", 1);
    ExpectReports({{L"entry-null", null},
                   {L"bad-magic", badMagic},
                   {L"jbridge", bridge},
                   {L"no-entry", noEntry},
                   {L"main-only", mainOnly},
                   {L"both-entry-points", both}});
}

TEST(ScanReports, RejectedRecordsAndBridgesGetNoFurtherCalls) {
    Session session =
        RunSession({Utf8FromWide(PluginPath(L"bad-magic")), Utf8FromWide(PluginPath(L"jbridge"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 2u);
    // Both plugins trace every call they receive through the host's canDo log.
    EXPECT_NE(outputs[0].find("'entry VSTPluginMain'"), std::string::npos);
    EXPECT_EQ(outputs[0].find("'dispatcher"), std::string::npos);
    EXPECT_EQ(outputs[0].find("Dispatching effClose"), std::string::npos);
    EXPECT_EQ(outputs[1].find("'entry"), std::string::npos);
    EXPECT_EQ(outputs[1].find("Calling entry point"), std::string::npos);
}

TEST(ScanReports, LoadFailureReportsAnEmptyResultWithoutFinishing) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"does-not-exist"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 1u);
    std::smatch code;
    ASSERT_TRUE(std::regex_search(outputs[0], code,
                                  std::regex("error:Failed to load library, err=(-?[0-9]+)\n")));
    ExpectedReport failed;
    failed.error = "Failed to load library, err=" + code[1].str();
    EXPECT_EQ(outputs[0], "info:Scanning plugin: '" + Utf8FromWide(PluginPath(L"does-not-exist")) +
                              "'\ninfo:Loading library...\n" + ExpectedOutcome(failed));
}

}  // namespace
